// Random public calls from two application threads and from inside every kind of listener,
// against one emulated camera, for a few seconds. Run under ThreadSanitizer by
// scripts/sanitize; a deadlock trips the watchdog instead of hanging the suite.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "corvane/camera_controller/capture_settings.hpp"
#include "emulator_fixture.hpp"
#include "support/watchdog.hpp"

namespace Corvane::CameraController::Testing {
namespace {

constexpr auto kRunTime = 3s;

/// One random public operation on `device`. Results are not checked: many calls fail for good
/// reasons (busy, not connected) while the others run; what matters is that each returns.
void randomCall(CameraDevice& device, std::mt19937& random, std::atomic<int>& calls) {
    ++calls;
    const auto readListings = [&] {
        // The listings the connect started, read while they fill.
        const size_t storages = device.getStorages().size();
        for (size_t i = 0; i < storages; ++i) {
            try {
                const auto storage = device.getStorages().get(i);
                storage->getImages().clone()->size();
                storage->getListingState();
            } catch (const std::out_of_range&) {
                // The list changed between size() and get(): allowed.
            }
        }
    };
    const auto readOrDeleteAnImage = [&] {
        const auto images = device.getImages().clone();
        if (images->size() > 0) {
            const auto image = images->get(random() % images->size());
            std::ostringstream out;
            if (random() % 4 == 0) {
                image->deleteData();
            } else {
                image->getData(out);
            }
        }
    };
    // Images are read twice as often as anything else.
    const std::function<void()> operations[] = {
        [&] { device.startCapture(false); },
        [&] { device.stopCapture(); },
        [&] { device.startLiveView(); },
        [&] { device.stopLiveView(); },
        [&] {
            ISO iso;
            ShutterSpeed shutter;
            device.getCaptureSettings({&iso, &shutter});
        },
        [&] { device.setCaptureSettings({random() % 2 == 0 ? ISO::ISO400 : ISO::ISO200}); },
        readListings,
        readOrDeleteAnImage,
        readOrDeleteAnImage,
        [&] { device.disconnect(DeviceInterface::USB); },
        [&] { device.connect(DeviceInterface::USB); },
        [&] { device.isConnected(DeviceInterface::USB); },
    };
    operations[std::uniform_int_distribution<size_t>(0, 11)(random)]();
}

/// Makes a random call from inside every kind of listener call, about one call in three.
class CallingListener : public RecordingListener {
public:
    std::atomic<bool> active{true};
    std::atomic<int> calls{0};

private:
    void heard(const std::shared_ptr<const CameraDevice>& device) override {
        thread_local std::mt19937 random{7};
        if (!active || random() % 3 != 0) {
            return;
        }
        randomCall(*const_cast<CameraDevice*>(device.get()), random, calls);
    }
};

TEST_F(EmulatorTest, RandomCallsFromApplicationThreadsAndListenersAllReturn) {
    CameraConfig config = fast();
    CardSlotConfig withFiles;
    for (int i = 1001; i <= 1012; ++i) {
        withFiles.files.push_back({"DCIM/100QUORN/QRN_" + std::to_string(i) + ".JPG", 0, false});
    }
    config.slots = {withFiles, CardSlotConfig{}};
    const auto calling = std::make_shared<CallingListener>();
    start(config);
    device->addEventListener(calling);

    std::atomic<int> applicationCalls{0};
    finishesWithin(240s, "random calls from two threads and every listener", [&] {
        const auto until = std::chrono::steady_clock::now() + kRunTime;
        auto caller = [&](unsigned seed) {
            std::mt19937 random(seed);
            while (std::chrono::steady_clock::now() < until) {
                randomCall(*device, random, applicationCalls);
                if (random() % 8 == 0) {
                    camera->setShutterSpeed(1, random() % 2 == 0 ? 250 : 500);
                }
            }
        };
        std::thread first(caller, 1u);
        std::thread second(caller, 2u);
        first.join();
        second.join();
        calling->active = false;
        device->disconnect(DeviceInterface::USB);
    });
    EXPECT_GT(applicationCalls.load(), 0);
    // The camera still answers as usual afterwards.
    ASSERT_EQ(device->connect(DeviceInterface::USB).getResult(), Result::Ok);
    EXPECT_TRUE(camera->snapshot().tetherMode);
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
