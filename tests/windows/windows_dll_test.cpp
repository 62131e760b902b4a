#include <gtest/gtest.h>

#include <corvane/camera_controller.hpp>

#include <future>
#include <stdexcept>
#include <string>
#include <vector>

namespace Corvane::CameraController {
namespace {

TEST(WindowsDll, StaticValuesAreTheLibrarysOwnObjects) {
    // Data members reach the executable through MinGW's automatic import of DLL data.
    ASSERT_NE(ISO::ISO100, nullptr);
    EXPECT_EQ(ISO::ISO100->toString(), "ISO: 100");
    EXPECT_TRUE(*ISO::ISO100 == *ISO::ISO100);
    EXPECT_FALSE(*ISO::ISO100 == *ISO::Auto);
    EXPECT_EQ(CameraTime(0).getName(), "CameraTime");
    EXPECT_EQ(ISO().toString(), "ISO: no value");
}

TEST(WindowsDll, ResponsesAndExceptionsCrossTheBoundary) {
    const CameraTime empty;
    EXPECT_THROW(empty.getValue(), std::logic_error);
    EXPECT_TRUE(CameraDeviceDetector::detect(static_cast<DeviceInterface>(7)).empty());
}

// Wine has no Windows Portable Devices: the device manager cannot be created. Detection must
// still return (empty there) from threads that never initialised COM, several at once.
TEST(WindowsDll, DetectionReturnsFromThreadsWithoutCom) {
    std::vector<std::future<std::vector<std::shared_ptr<CameraDevice>>>> runs;
    for (int i = 0; i < 4; ++i) {
        runs.push_back(std::async(
            std::launch::async, [] { return CameraDeviceDetector::detect(DeviceInterface::USB); }));
    }
    for (auto& run : runs) {
        for (const auto& device : run.get()) {
            ASSERT_NE(device, nullptr);
            EXPECT_NE(device->getModel().find("QUORIN"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace Corvane::CameraController
