// Capture through the whole stack against the emulated camera: what the adapter reads from the
// condition must agree with what the camera writes.
#include <gtest/gtest.h>

#include "corvane/camera_controller/capture_settings.hpp"
#include "emulator_fixture.hpp"

namespace Corvane::CameraController::Testing {
namespace {

TEST_F(EmulatorTest, RawAndJpegShotIsStoredAsTwoFilesThenCompleted) {
    start(fast());
    ASSERT_EQ(device->setCaptureSettings({StillImageCaptureFormat::QRWAndJPEG}).getResult(),
              Result::Ok);
    afterTwoPasses();
    const auto capture = device->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    ASSERT_TRUE(completed(*capture, *listener));
    auto events = listener->events();
    events.erase(std::remove_if(events.begin(), events.end(),
                                [](const std::string& e) { return e.rfind("imageAdded", 0) == 0; }),
                 events.end());
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].rfind("imageStored ", 0), 0u);
    EXPECT_EQ(events[1].rfind("imageStored ", 0), 0u);
    EXPECT_EQ(events[2], "captureComplete " + capture->getId());
    std::vector<ImageFormat> formats;
    for (const auto& image : listener->images()) {
        formats.push_back(image->getFormat());
        EXPECT_NE(image->getStorage(), nullptr);
        const std::string data = downloaded(*image);
        EXPECT_TRUE(data == onCamera(*image));
        EXPECT_EQ(data.size(), image->getSize());
    }
    std::sort(formats.begin(), formats.end());
    EXPECT_EQ(formats, (std::vector<ImageFormat>{ImageFormat::JPEG, ImageFormat::QRW}));
    EXPECT_EQ(device->getImages().size(), 2u);
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
