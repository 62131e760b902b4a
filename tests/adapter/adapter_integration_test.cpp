// The adapter over the whole stack: public API, discovery, PTP over USB, emulated camera.
#include <gtest/gtest.h>

#include <set>

#include "corvane/camera_controller/camera_image_list.hpp"
#include "corvane/camera_controller/camera_status.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "corvane/camera_controller/camera_storage_list.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "corvane/camera_controller/device_settings.hpp"
#include "emulator_fixture.hpp"
#include "support/application_environment.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using Emulator::FileSpec;

TEST_F(EmulatorTest, ConnectDisconnectAndReconnect) {
    CameraConfig config = fast();
    config.batteryLevel = 64;
    start(config);
    EXPECT_TRUE(camera->snapshot().tetherMode);
    EXPECT_TRUE(camera->snapshot().writeToCard);
    EXPECT_EQ(device->getStatus().getBatteryLevel(), 64u);
    EXPECT_EQ(device->getStorages().size(), 2u);

    camera->clearTransactions();
    ASSERT_EQ(device->connect(DeviceInterface::USB).getResult(), Result::Ok);
    EXPECT_TRUE(camera->transactions().empty());

    ASSERT_EQ(device->disconnect(DeviceInterface::USB).getResult(), Result::Ok);
    EXPECT_FALSE(device->isConnected(DeviceInterface::USB));
    EXPECT_FALSE(camera->snapshot().tetherMode);
    EXPECT_EQ(codeOf(device->startLiveView()), ErrorCode::NotConnected);

    ASSERT_EQ(device->connect(DeviceInterface::USB).getResult(), Result::Ok);
    EXPECT_TRUE(camera->snapshot().tetherMode);
    EXPECT_EQ(device->getStorages().size(), 2u);
}

TEST_F(EmulatorTest, LiveViewDeliversJpegFrames) {
    start(fast());
    ASSERT_EQ(device->startLiveView().getResult(), Result::Ok);
    ASSERT_EQ(device->startLiveView().getResult(), Result::Ok);
    ASSERT_TRUE(eventually([&] { return listener->receivedFrames().size() >= 3; }));
    ASSERT_EQ(device->stopLiveView().getResult(), Result::Ok);
    EXPECT_FALSE(camera->snapshot().liveView);
    for (const auto& frame : listener->receivedFrames()) {
        ASSERT_GE(frame.size(), 4u);
        EXPECT_EQ((std::vector<uint8_t>{frame[0], frame[1], frame[frame.size() - 2], frame.back()}),
                  (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9}));
    }
}

TEST_F(EmulatorTest, SettingsClockAndFocusPointReadBack) {
    // Set up before any library thread runs, and restored after they ended: the clock is set
    // in summer time under a zone with daylight saving.
    const ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    start(fast());
    camera->setExposureMode(8);
    afterTwoPasses();
    const Response written =
        device->setCaptureSettings({ISO::ISO800, ShutterSpeed::SS1_250, FNumber::F5_6});
    ASSERT_EQ(written.getResult(), Result::Ok) << messageOf(written);
    ISO iso;
    ShutterSpeed shutter;
    FNumber fNumber;
    ExposureProgram program;
    ASSERT_EQ(device->getCaptureSettings({&iso, &shutter, &fNumber, &program}).getResult(),
              Result::Ok);
    EXPECT_TRUE(iso == *ISO::ISO800 && shutter == *ShutterSpeed::SS1_250 &&
                fNumber == *FNumber::F5_6 && program == *ExposureProgram::Manual);
    EXPECT_FALSE(iso.getAvailableSettings().empty());
    EXPECT_EQ(camera->snapshot().iso, 800u);

    const CameraTime summer(1719828000);
    ASSERT_EQ(device->setCameraDeviceSettings({&summer}).getResult(), Result::Ok);
    CameraTime read;
    LiveViewSpecification liveView;
    ASSERT_EQ(device->getCameraDeviceSettings({&read, &liveView}).getResult(), Result::Ok);
    EXPECT_LE(std::abs(dynamic_cast<const CameraTimeValue&>(read.getValue()).get() - 1719828000),
              2);
    EXPECT_EQ(dynamic_cast<const LiveViewSpecificationValue&>(liveView.getValue()).get().width,
              640);

    ASSERT_EQ(device->focus(Point{0.25f, 0.5f}).getResult(), Result::Ok);
    EXPECT_EQ(camera->snapshot().focusPointX, 160);
    EXPECT_EQ(camera->snapshot().focusPointY, 240);
    EXPECT_EQ(messageOf(device->focus(Point{1.5f, 0.5f})), "Out of range");
}

constexpr uint16_t kGetObjectPropValue = 0x9803;

/// Connects to a camera whose first card holds `files` and waits for the card's listing.
class CardFilesTest : public EmulatorTest {
protected:
    void startWithCard(std::vector<FileSpec> files,
                       std::vector<uint16_t> operations = CameraConfig::allOperations()) {
        CameraConfig config;
        config.timeScale = 0.01;
        config.operations = std::move(operations);
        Emulator::CardSlotConfig slot;
        slot.files = std::move(files);
        config.slots = {slot};
        ASSERT_NO_FATAL_FAILURE(start(config));
        ASSERT_EQ(device->getStorages().size(), 1u);
        const auto storage = device->getStorages().get(0);
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (storage->getListingState() != ListingState::Complete &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_EQ(storage->getListingState(), ListingState::Complete);
    }

    std::shared_ptr<const CameraImage> imageNamed(const std::string& name) const {
        const auto& images = device->getImages();
        for (size_t i = 0; i < images.size(); ++i) {
            if (images.get(i)->getName() == name) {
                return images.get(i);
            }
        }
        return nullptr;
    }

    std::string onCamera(const CameraImage& image, uint64_t offset, uint64_t size) const {
        const auto bytes =
            camera->objectData(static_cast<uint32_t>(std::stoul(image.getId())), offset, size);
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(CardFilesTest, FileAnnouncedAsEmptyIsReadUntilItsDataEnds) {
    FileSpec file{"DCIM/100QUORN/MVI_0002.MOV", 5000000};
    file.sizeAnnouncedAsZero = true;
    // Without the size property the size stays unknown, but the download is whole.
    ASSERT_NO_FATAL_FAILURE(
        startWithCard({file}, CameraConfig::operationsWithout({kGetObjectPropValue})));
    const auto movie = imageNamed("MVI_0002.MOV");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->getSize(), 0u);
    std::ostringstream out;
    ASSERT_EQ(movie->getData(out).getResult(), Result::Ok);
    EXPECT_EQ(out.str().size(), 5000000u);
    EXPECT_TRUE(out.str() == onCamera(*movie, 0, 5000000));
    TearDown();

    // With it, the image carries its real size.
    ASSERT_NO_FATAL_FAILURE(startWithCard({file}));
    EXPECT_EQ(imageNamed("MVI_0002.MOV")->getSize(), 5000000u);
}

TEST_F(CardFilesTest, ConnectToAFullCardReportsNoFileAsNewAndListsEachOnce) {
    std::vector<FileSpec> files;
    for (int i = 1; i <= 150; ++i) {
        files.push_back({"DCIM/100QUORN/IMG_" + std::to_string(1000 + i) + ".MOV", 1000});
    }
    ASSERT_NO_FATAL_FAILURE(startWithCard(files));
    const auto listed = device->getImages().clone();
    std::set<std::string> ids;
    for (size_t i = 0; i < listed->size(); ++i) {
        ids.insert(listed->get(i)->getId());
    }
    EXPECT_EQ(listed->size(), 150u);
    EXPECT_EQ(ids.size(), 150u);
    EXPECT_FALSE(startsWith(listener->events(), "imageStored"));
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
