// Capture, images and events through the whole stack against the emulated camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "corvane/emulator/emulated_camera.hpp"
#include "device/camera_device_base_impl.hpp"
#include "emulator_fixture.hpp"

namespace Corvane::CameraController::Testing {
namespace {

TEST_F(EmulatorTest, StillCapturesWithACardAreStoredThenCompleted) {
    start(fast());
    const auto started = device->startCapture(false);
    ASSERT_EQ(started.getResult(), Result::Ok);
    const auto capture = started.getCapture();
    ASSERT_TRUE(completed(*capture, *listener));
    auto events = without(listener->events(), "imageAdded");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].rfind("imageStored ", 0), 0u);
    EXPECT_EQ(events[1], "captureComplete " + capture->getId());
    const auto image = listener->images().back();
    EXPECT_EQ(image->getFormat(), ImageFormat::JPEG);
    EXPECT_NE(image->getStorage(), nullptr);
    EXPECT_EQ(downloaded(*image).size(), image->getSize());
    EXPECT_EQ(device->getImages().size(), 1u);

    // Raw and JPEG: two files for one shot, each downloaded as the camera holds it.
    ASSERT_EQ(device->setCaptureSettings({StillImageCaptureFormat::QRWAndJPEG}).getResult(),
              Result::Ok);
    afterTwoPasses();
    const auto both = device->startCapture(false).getCapture();
    ASSERT_NE(both, nullptr);
    ASSERT_TRUE(completed(*both, *listener));
    events = without(listener->events(), "imageAdded");
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[4], "captureComplete " + both->getId());
    std::vector<ImageFormat> formats;
    for (const auto& each : listener->images()) {
        formats.push_back(each->getFormat());
        EXPECT_TRUE(downloaded(*each) == onCamera(*each));
    }
    std::sort(formats.begin(), formats.end());
    EXPECT_EQ(formats,
              (std::vector<ImageFormat>{ImageFormat::JPEG, ImageFormat::JPEG, ImageFormat::QRW}));
}

TEST_F(EmulatorTest, WithoutACardThePictureArrivesAsATetherImage) {
    CameraConfig config = fast();
    config.slots = {emptySlot(), emptySlot()};
    const auto downloader = std::make_shared<DownloadingListener>();
    start(config, downloader);
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    ASSERT_TRUE(completed(*capture, *downloader));

    EXPECT_EQ(downloader->events().size(), 2u);
    const auto image = downloader->images().at(0);
    EXPECT_EQ(image->getStorage(), nullptr);
    EXPECT_TRUE(downloader->dataOk);
    EXPECT_TRUE(downloader->thumbnailOk);
    ASSERT_GE(downloader->data.size(), 4u);
    EXPECT_EQ(downloader->data.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(downloader->data.substr(downloader->data.size() - 2), "\xFF\xD9");
    EXPECT_EQ(downloader->thumbnail.substr(0, 2), "\xFF\xD8");
    // Once released from the buffer, the tether image can no longer be fetched.
    EXPECT_FALSE(image->isValid());
    EXPECT_EQ(device->getImages().size(), 0u);
}

TEST_F(EmulatorTest, MovieStartsAndStops) {
    start(fast());
    camera->setMovieMode(true);
    afterTwoPasses();
    const auto started = device->startCapture(false);
    ASSERT_EQ(started.getResult(), Result::Ok);
    const auto capture = started.getCapture();
    EXPECT_EQ(capture->getMethod(), CaptureMethod::Movie);
    EXPECT_TRUE(camera->snapshot().recording);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(device->stopCapture().getResult(), Result::Ok);
    ASSERT_TRUE(completed(*capture, *listener));
    const auto events = listener->events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].rfind("imageAdded ", 0), 0u);
    EXPECT_EQ(events[1].rfind("imageStored ", 0), 0u);
    EXPECT_EQ(listener->images().at(0)->getType(), ImageType::Movie);
}

TEST_F(EmulatorTest, CameraSideDialChangesAreReportedOutsideAutomaticModes) {
    start(fast());
    camera->setExposureMode(8);
    ASSERT_TRUE(eventually(
        [&] { return startsWith(listener->events(), "captureSettingsChanged ExposureProgram"); }));
    camera->setShutterSpeed(1, 250);
    ASSERT_TRUE(eventually(
        [&] { return startsWith(listener->events(), "captureSettingsChanged ShutterSpeed"); }));
    camera->setFNumber(800);
    camera->setExposureCompensation(-700);
    camera->setWhiteBalance(0x8002);
    ASSERT_TRUE(eventually([&] { return listener->events().size() >= 3; }));
    afterTwoPasses();
    // However the three were split over passes, each report keeps the fixed class order.
    for (const auto& event : listener->events()) {
        const auto wb = event.find("WhiteBalance");
        const auto fn = event.find("FNumber");
        const auto ec = event.find("ExposureCompensation");
        if (wb != std::string::npos && fn != std::string::npos) {
            EXPECT_LT(wb, fn);
        }
        if (fn != std::string::npos && ec != std::string::npos) {
            EXPECT_LT(fn, ec);
        }
    }

    camera->setExposureMode(0);
    ASSERT_TRUE(eventually([&] { return listener->events().size() >= 4; }));
    afterTwoPasses();
    const size_t before = listener->events().size();
    camera->setShutterSpeed(1, 1000);
    afterTwoPasses();
    EXPECT_EQ(listener->events().size(), before);
}

class ExpiryTest : public EmulatorTest {
protected:
    /// Starts a slow still capture and moves the library's clock past the expiry.
    std::shared_ptr<const Capture> captureAndJumpTwoMinutes() {
        const auto capture = device->startCapture(false).getCapture();
        EXPECT_NE(capture, nullptr);
        adapter()->setTimingForTesting(
            [] { return std::chrono::system_clock::now() + std::chrono::seconds(121); }, nullptr);
        return capture;
    }
};

TEST_F(ExpiryTest, CaptureWhoseFilesDoNotComeExpiresWithTheTransferBuffer) {
    CameraConfig config;
    config.timeScale = 1.0;
    start(config);
    camera->setShutterSpeed(4, 1);  // a four-second exposure: the file comes late
    afterTwoPasses();
    const auto capture = captureAndJumpTwoMinutes();
    ASSERT_TRUE(eventually([&] { return capture->getState() != CaptureState::Executing; }, 3000ms));
    EXPECT_EQ(capture->getState(), CaptureState::Unknown);
}

TEST_F(ExpiryTest, WithoutTheTransferBufferCapturesNeverExpire) {
    CameraConfig config;
    config.timeScale = 1.0;
    config.operations = CameraConfig::operationsWithout({0x900B, 0x900C, 0x900D, 0x900E});
    start(config);
    camera->setShutterSpeed(1, 1);
    afterTwoPasses();
    const auto capture = captureAndJumpTwoMinutes();
    ASSERT_NE(capture, nullptr);
    ASSERT_TRUE(eventually([&] { return capture->getState() != CaptureState::Executing; }));
    EXPECT_EQ(capture->getState(), CaptureState::Complete);
}

TEST_F(EmulatorTest, UnplugDuringACaptureEndsItUnknownWithOneReport) {
    CameraConfig config;
    config.timeScale = 1.0;
    start(config);
    camera->setShutterSpeed(2, 1);
    afterTwoPasses();
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    camera->unplug();
    ASSERT_TRUE(eventually([&] { return !listener->events().empty(); }));
    afterTwoPasses();
    EXPECT_EQ(listener->events(), (std::vector<std::string>{"deviceDisconnected"}));
    EXPECT_EQ(capture->getState(), CaptureState::Unknown);
    EXPECT_FALSE(device->isConnected(DeviceInterface::USB));
}

TEST_F(EmulatorTest, DeletedImageLeavesBothListsAndBecomesInvalid) {
    CameraConfig config = fast();
    CardSlotConfig withFiles;
    withFiles.files = {{"DCIM/100QUORN/QRN_0001.JPG", 0, false},
                       {"DCIM/100QUORN/QRN_0002.JPG", 0, false}};
    config.slots = {withFiles, emptySlot()};
    start(config);
    ASSERT_TRUE(eventually([&] { return device->getImages().size() == 2; }));
    const auto storage = device->getStorages().get(0);
    ASSERT_EQ(storage->getImages().size(), 2u);
    const auto image = device->getImages().get(0);
    EXPECT_TRUE(downloaded(*image) == onCamera(*image));

    ASSERT_EQ(image->deleteData().getResult(), Result::Ok);
    EXPECT_FALSE(image->isValid());
    EXPECT_EQ(device->getImages().size(), 1u);
    EXPECT_EQ(storage->getImages().size(), 1u);
    EXPECT_EQ(camera->objectData(static_cast<uint32_t>(std::stoul(image->getId()))).size(), 0u);
    std::ostringstream out;
    EXPECT_EQ(image->getData(out).getErrors().at(0)->getCode(), ErrorCode::ImageNotFound);

    // The card goes away: the remaining image reports an error instead of crashing.
    const auto other = device->getImages().get(0);
    ASSERT_TRUE(camera->removeCard(1));
    EXPECT_EQ(other->getData(out).getResult(), Result::Error);
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
