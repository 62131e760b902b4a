#include <gtest/gtest.h>

#include "adapter/camera_model_profile.hpp"

namespace Corvane::CameraController::Impl {
namespace {

TEST(CameraModelProfileTest, FirmwareVersionsOrderAsDecimals) {
    const auto version = [](const char* text) { return FirmwareVersion::parse(text).value(); };
    EXPECT_TRUE(version("1.40") < version("1.41"));
    EXPECT_TRUE(version("1.41") < version("1.5"));  // 1.50, not 1.05
    EXPECT_FALSE(version("1.4") < version("1.40"));
    EXPECT_FALSE(version("1.40") < version("1.4"));
    EXPECT_TRUE(version("1.99") < version("10"));
    EXPECT_TRUE(version("1.40.9") < version("1.41"));  // only the first fraction counts
    EXPECT_FALSE(version("1.41b") < version("1.41"));
    for (const char* text : {"", ".41", "v1.41", "1.", "1.x", "99999999999.1"}) {
        EXPECT_FALSE(FirmwareVersion::parse(text)) << text;
    }
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
