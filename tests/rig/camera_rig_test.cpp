// One host, six emulated cameras: every shot's files arrive named by serial, and a camera that
// fails or vanishes is reported without holding back the others.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <corvane/emulator/emulated_camera.hpp>

#include "rig/rig_cameras.hpp"
#include "support/watchdog.hpp"

namespace {

namespace cc = Corvane::CameraController;
namespace emu = Corvane::CameraController::Emulator;
namespace fs = std::filesystem;
using namespace camctl::rig;

constexpr size_t kCameras = 6;

std::vector<uint8_t> contentsOf(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class CameraRigTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("rig-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        for (size_t i = 0; i < kCameras; ++i) {
            emu::CameraConfig config;
            config.timeScale = 0.01;
            config.serialNumber = "RIG" + std::to_string(100 + i);
            serials.push_back(config.serialNumber);
            emulated.push_back(emu::EmulatedCamera::create(config));
            emulated.back()->attach();
        }
        cameras = std::make_unique<ConnectedCameras>(
            cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB), serials);
        ASSERT_EQ(cameras->cameras().size(), kCameras);
    }
    void TearDown() override {
        cameras.reset();
        fs::remove_all(folder);
    }

    std::vector<uint8_t> servedBytes(size_t index, const std::string& name) const {
        for (const auto& object : emulated[index]->objects()) {
            if (fs::path(object.path).filename() == name) {
                return emulated[index]->objectData(object.handle);
            }
        }
        return {};
    }

    fs::path folder;
    std::vector<std::string> serials;
    std::vector<std::shared_ptr<emu::EmulatedCamera>> emulated;
    std::unique_ptr<ConnectedCameras> cameras;
};

TEST_F(CameraRigTest, SixCamerasTwentyShotsDeliverEveryFileNamedBySerial) {
    constexpr unsigned kShots = 20;
    Corvane::CameraController::Testing::finishesWithin(std::chrono::seconds(240), "20 shots", [&] {
        CameraRig rig(cameras->cameras());
        for (unsigned shot = 1; shot <= kShots; ++shot) {
            const ShotReport report = rig.fire(folder / std::to_string(shot), {});
            ASSERT_TRUE(report.complete()) << "shot " << shot;
            ASSERT_TRUE(report.spread().has_value());
            for (size_t i = 0; i < kCameras; ++i) {
                const auto& files = report.cameras[i].files;
                ASSERT_EQ(files.size(), 1u) << "shot " << shot << " camera " << i;
                const std::string name = files[0].path.filename().string();
                const std::string serial = report.cameras[i].serial;
                ASSERT_EQ(name.rfind(serial + "_", 0), 0u) << name;
                EXPECT_EQ(contentsOf(files[0].path), servedBytes(i, name.substr(serial.size() + 1)))
                    << name;
            }
            // Only the files of the shot: no staging folder of a camera is left behind.
            EXPECT_EQ(
                std::distance(fs::directory_iterator(report.folder), fs::directory_iterator()),
                static_cast<long>(kCameras));
        }
    });
    for (const auto& camera : emulated) {
        EXPECT_EQ(camera->releaseTimes().size(), kShots);
    }
}

TEST_F(CameraRigTest, AFailingAndAVanishedCameraAreReportedAndTheOthersDeliver) {
    constexpr uint16_t kShutterPress = 0x9011;
    constexpr uint16_t kDeviceBusy = 0x2019;
    emulated[1]->failNext(kShutterPress, kDeviceBusy);
    emulated[4]->unplug();
    Corvane::CameraController::Testing::finishesWithin(std::chrono::seconds(120), "a shot", [&] {
        CameraRig rig(cameras->cameras());
        const ShotReport report = rig.fire(folder, {});
        EXPECT_FALSE(report.complete());
        for (size_t i = 0; i < kCameras; ++i) {
            const auto& camera = report.cameras[i];
            const bool faulty = i == 1 || i == 4;
            EXPECT_EQ(camera.files.empty(), faulty) << camera.serial;
            EXPECT_EQ(camera.errors.empty(), !faulty) << camera.serial;
        }
        EXPECT_EQ(report.cameras[1].serial, "RIG101");
        // The failed camera takes part again in the next shot.
        const ShotReport next = rig.fire(folder / "next", {});
        EXPECT_EQ(next.cameras[1].files.size(), 1u);
    });
}

}  // namespace
