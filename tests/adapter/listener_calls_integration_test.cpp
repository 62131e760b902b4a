// Public calls made from inside listeners, and waits that only another task could end, against
// the emulated camera. Calls that used to deadlock run under a watchdog, so that a regression
// fails the run instead of hanging it.
#include <gtest/gtest.h>

#include "corvane/camera_controller/capture_settings.hpp"
#include "emulator_fixture.hpp"
#include "support/watchdog.hpp"

namespace Corvane::CameraController::Testing {
namespace {

size_t countOf(const std::vector<Emulator::TransactionRecord>& records, uint16_t code) {
    return static_cast<size_t>(std::count_if(
        records.begin(), records.end(), [code](const auto& r) { return r.operationCode == code; }));
}

constexpr uint16_t kLiveViewFrame = 0x9006;
constexpr uint16_t kTetherImageTransfer = 0x900B;
constexpr uint16_t kMovieStop = 0x9012;
constexpr uint16_t kDeviceBusy = 0x2019;

class FrameListener : public RecordingListener {
public:
    void liveViewFrameUpdated(const std::shared_ptr<const CameraDevice>& device,
                              const std::shared_ptr<const unsigned char>&, uint64_t) override {
        if (calls++ != 0) {
            return;
        }
        firstFrame = true;
        if (!eventually([this] { return proceed.load(); }, 20s)) {
            return;
        }
        auto* writable = const_cast<CameraDevice*>(device.get());
        disconnected = writable->disconnect(DeviceInterface::USB).getResult() == Result::Ok;
    }
    std::atomic<int> calls{0};
    std::atomic<bool> firstFrame{false};
    std::atomic<bool> proceed{false};
    std::atomic<bool> disconnected{false};
};

TEST_F(EmulatorTest, FrameListenerDisconnectsWhileTheApplicationStopsLiveView) {
    const auto frames = std::make_shared<FrameListener>();
    start(fast(), frames);
    ASSERT_EQ(device->startLiveView().getResult(), Result::Ok);
    ASSERT_TRUE(eventually([&] { return frames->firstFrame.load(); }));
    finishesWithin(30s, "stopLiveView against a disconnecting frame listener", [&] {
        std::thread stopper([&] { device->stopLiveView(); });
        // Let the stop take the live-view lock and wait for the frame task, then disconnect.
        std::this_thread::sleep_for(200ms);
        frames->proceed = true;
        stopper.join();
    });
    ASSERT_TRUE(eventually([&] { return frames->disconnected.load(); }));
    EXPECT_FALSE(device->isConnected(DeviceInterface::USB));
    EXPECT_FALSE(camera->snapshot().liveView);
}

TEST_F(EmulatorTest, RefusedFramesAreAskedForAtTheFrameCadence) {
    start(fast());
    camera->failAlways(kLiveViewFrame, kDeviceBusy);
    ASSERT_EQ(device->startLiveView().getResult(), Result::Ok);
    camera->clearTransactions();
    std::this_thread::sleep_for(500ms);
    const size_t asked = countOf(camera->transactions(), kLiveViewFrame);
    ASSERT_EQ(device->stopLiveView().getResult(), Result::Ok);
    // 15 in half a second at the cadence; without a pause it was thousands.
    EXPECT_GT(asked, 0u);
    EXPECT_LT(asked, 100u);
}

class DisconnectOnStore : public RecordingListener {
public:
    void imageStored(const std::shared_ptr<const CameraDevice>& device,
                     const std::shared_ptr<const CameraImage>& image) override {
        RecordingListener::imageStored(device, image);
        if (calls++ == 0) {
            auto* writable = const_cast<CameraDevice*>(device.get());
            result = writable->disconnect(DeviceInterface::USB).getResult();
            returned = true;
        }
    }
    std::atomic<int> calls{0};
    std::atomic<Result> result{Result::Error};
    std::atomic<bool> returned{false};
};

TEST_F(EmulatorTest, DisconnectFromAnEventListenerDoesNotWaitForItsOwnTask) {
    const auto disconnecting = std::make_shared<DisconnectOnStore>();
    start(fast(), disconnecting);
    ASSERT_EQ(device->setCaptureSettings({StillImageCaptureFormat::QRWAndJPEG}).getResult(),
              Result::Ok);
    afterTwoPasses();
    // Two files per shot: the first one's imageStored comes while the capture is pending.
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    finishesWithin(30s, "disconnect from imageStored", [&] {
        EXPECT_TRUE(eventually([&] { return disconnecting->returned.load(); }, 20s));
    });
    EXPECT_EQ(disconnecting->result.load(), Result::Ok);
    EXPECT_EQ(capture->getState(), CaptureState::Unknown);
    EXPECT_FALSE(device->isConnected(DeviceInterface::USB));
    EXPECT_FALSE(camera->snapshot().tetherMode);
}

TEST_F(EmulatorTest, DisconnectEndsACaptureThatNeverCompletesWithinItsBound) {
    CameraConfig config;
    config.timeScale = 1.0;
    start(config);
    camera->setShutterSpeed(30, 1);  // the file comes after half a minute
    afterTwoPasses();
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    // Disconnect's one-second polls pass at once: its wait must still end by itself.
    adapter()->setTimingForTesting(nullptr, [](std::chrono::milliseconds) {});
    finishesWithin(25s, "disconnect with a pending capture", [&] {
        EXPECT_EQ(device->disconnect(DeviceInterface::USB).getResult(), Result::Ok);
    });
    EXPECT_EQ(capture->getState(), CaptureState::Unknown);
}

/// Starts one capture from the first call of the chosen kind and records its outcome.
class StartingListener : public RecordingListener {
public:
    void captureSettingsChanged(
        const std::shared_ptr<const CameraDevice>& device,
        const std::vector<std::shared_ptr<const CaptureSetting>>& settings) override {
        RecordingListener::captureSettingsChanged(device, settings);
        if (onSettingsChanged) {
            startOnce(device);
        }
    }
    void captureComplete(const std::shared_ptr<const CameraDevice>& device,
                         const std::shared_ptr<const Capture>& capture) override {
        RecordingListener::captureComplete(device, capture);
        if (!onSettingsChanged) {
            startOnce(device);
        }
    }
    bool onSettingsChanged = false;
    std::atomic<bool> started{false};
    std::shared_ptr<const Capture> capture;
    Result result = Result::Error;
    std::string message;

private:
    void startOnce(const std::shared_ptr<const CameraDevice>& device) {
        if (tried.exchange(true)) {
            return;
        }
        const auto response = const_cast<CameraDevice*>(device.get())->startCapture(false);
        result = response.getResult();
        capture = response.getCapture();
        message = messageOf(response);
        started = true;
    }
    std::atomic<bool> tried{false};
};

TEST_F(EmulatorTest, MovieStartedFromAListenerRecordsStopsAndCompletes) {
    const auto starter = std::make_shared<StartingListener>();
    starter->onSettingsChanged = true;
    start(fast(), starter);
    camera->setMovieMode(true);
    afterTwoPasses();
    camera->setExposureMode(8);
    ASSERT_TRUE(eventually([&] { return starter->started.load(); }, 30s));
    ASSERT_EQ(starter->result, Result::Ok) << starter->message;
    EXPECT_TRUE(camera->snapshot().recording);
    camera->clearTransactions();
    ASSERT_EQ(device->stopCapture().getResult(), Result::Ok);
    EXPECT_EQ(countOf(camera->transactions(), kMovieStop), 1u);
    ASSERT_TRUE(eventually([&] { return starter->capture->getState() == CaptureState::Complete; }));
    EXPECT_FALSE(camera->snapshot().recording);
}

TEST_F(EmulatorTest, StillStartedFromCaptureCompleteWithoutTransferBufferCompletes) {
    CameraConfig config = fast();
    config.operations = CameraConfig::operationsWithout({0x900B, 0x900C, 0x900D, 0x900E});
    const auto starter = std::make_shared<StartingListener>();
    start(config, starter);
    const auto first = device->startCapture(false).getCapture();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(eventually([&] { return starter->started.load(); }, 40s));
    ASSERT_EQ(starter->result, Result::Ok) << starter->message;
    ASSERT_TRUE(eventually([&] { return starter->capture->getState() == CaptureState::Complete; }));
    EXPECT_EQ(first->getState(), CaptureState::Complete);
}

TEST_F(EmulatorTest, DialTurnedWhileAHandlerReadsSettingsOrJustBeforeAWriteIsReported) {
    // The dial turns, and a setting is read, while the first change report is delivered.
    const auto turning = std::make_shared<ActingListener>();
    turning->act = [this] {
        camera->setShutterSpeed(1, 250);
        ISO iso;
        device->getCaptureSettings({&iso});
    };
    start(fast(), turning);
    camera->setExposureMode(8);
    ASSERT_TRUE(eventually(
        [&] { return startsWith(listener->events(), "captureSettingsChanged ShutterSpeed"); }));

    camera->setFNumber(800);
    ASSERT_EQ(device->setCaptureSettings({ISO::ISO400}).getResult(), Result::Ok);
    ASSERT_TRUE(eventually(
        [&] { return startsWith(listener->events(), "captureSettingsChanged FNumber"); }));
}

TEST_F(EmulatorTest, MovieShortOfFilesCompletesWithTheFilesItGot) {
    CameraConfig config = fast();
    CardSlotConfig tiny;
    tiny.capacity = 512 * 1024;  // too small for any movie file
    config.slots = {CardSlotConfig{}, tiny};
    start(config);
    camera->setMovieMode(true);
    afterTwoPasses();
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(device->stopCapture().getResult(), Result::Ok);
    ASSERT_TRUE(eventually([&] { return startsWith(listener->events(), "imageStored"); }));
    afterTwoPasses();
    EXPECT_EQ(capture->getState(), CaptureState::Executing);
    adapter()->setTimingForTesting([] { return std::chrono::system_clock::now() + 15s; }, nullptr);
    ASSERT_TRUE(eventually([&] { return capture->getState() != CaptureState::Executing; }));
    EXPECT_EQ(capture->getState(), CaptureState::Complete);
    ASSERT_TRUE(eventually([&] { return startsWith(listener->events(), "captureComplete"); }));
    // The camera takes the next movie.
    afterTwoPasses();
    const auto next = device->startCapture(false);
    EXPECT_EQ(next.getResult(), Result::Ok);
    device->stopCapture();
}

TEST_F(EmulatorTest, UnreadableTetherPictureIsStillAddedAsNull) {
    CameraConfig config = fast();
    config.slots = {emptySlot(), emptySlot()};
    start(config);
    camera->failNext(kTetherImageTransfer, kDeviceBusy);
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    ASSERT_TRUE(completed(*capture, *listener));
    EXPECT_EQ(listener->events(),
              (std::vector<std::string>{"imageAdded null", "captureComplete " + capture->getId()}));
}

TEST_F(EmulatorTest, DeletingAnImageOfAReleasedDeviceAnswersLikeReadingIt) {
    CameraConfig config = fast();
    CardSlotConfig withFile;
    withFile.files = {{"DCIM/100QUORN/QRN_0001.JPG", 0, false}};
    config.slots = {withFile, emptySlot()};
    start(config);
    ASSERT_TRUE(eventually(
        [&] { return device->getStorages().get(0)->getListingState() == ListingState::Complete; }));
    ASSERT_EQ(device->getImages().size(), 1u);
    const auto image = device->getImages().get(0);
    device->removeEventListener(listener);
    device.reset();
    CameraDeviceDetector::detect(DeviceInterface::USB);  // prunes the released device
    ASSERT_TRUE(eventually([&] { return image->getStorage() == nullptr; }));

    std::ostringstream out;
    const Response read = image->getData(out);
    const Response deleted = image->deleteData();
    ASSERT_EQ(read.getResult(), Result::Error);
    ASSERT_EQ(deleted.getResult(), Result::Error);
    EXPECT_EQ(read.getErrors().at(0)->getMessage(), "camera object is deleted");
    EXPECT_EQ(deleted.getErrors().at(0)->getMessage(), "camera object is deleted");
    EXPECT_FALSE(camera->objectData(static_cast<uint32_t>(std::stoul(image->getId()))).empty());
    EXPECT_TRUE(image->isValid());
}

TEST_F(EmulatorTest, ReplugNoticedByDetectionIsALossOfTheConnection) {
    CameraConfig config;
    config.timeScale = 1.0;
    start(config);
    camera->setShutterSpeed(30, 1);
    afterTwoPasses();
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    camera->unplug();
    camera->replug();
    CameraDeviceDetector::detect(DeviceInterface::USB);
    EXPECT_FALSE(device->isConnected(DeviceInterface::USB));
    EXPECT_EQ(capture->getState(), CaptureState::Unknown);
    ASSERT_TRUE(eventually([&] { return !listener->events().empty(); }));

    ASSERT_EQ(device->connect(DeviceInterface::USB).getResult(), Result::Ok);
    EXPECT_TRUE(camera->snapshot().tetherMode);
    afterTwoPasses();
    EXPECT_EQ(listener->events(), (std::vector<std::string>{"deviceDisconnected"}));
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
