#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "corvane/camera_controller/device_settings.hpp"
#include "model/camera_device_setting_access.hpp"
#include "support/application_environment.hpp"

namespace Corvane::CameraController {
namespace {

using Impl::CameraDeviceSettingAccess;
using Testing::TimeZoneGuard;

LiveViewImage middleHalf() {
    LiveViewImage image;
    image.width = 720;
    image.height = 480;
    image.focusArea = {Point{0.25f, 0.25f}, Point{0.75f, 0.25f}, Point{0.75f, 0.75f},
                       Point{0.25f, 0.75f}};
    return image;
}

// The local zone's part is checked under an application's environment below.
TEST(CameraTimeTest, TextIsTheCtimeRendering) {
    const TimeZoneGuard utc("UTC");
    EXPECT_EQ(CameraTime(0).toString(), "CameraTime: Thu Jan  1 00:00:00 1970\n");
    EXPECT_EQ(CameraTimeValue(1700000000).toString(), "Tue Nov 14 22:13:20 2023\n");
#if defined(_WIN32)
    // The Windows C runtime converts no time before 1970 to local time.
    EXPECT_EQ(CameraTimeValue(-1).toString(), "");
#else
    EXPECT_EQ(CameraTimeValue(-1).toString(), "Wed Dec 31 23:59:59 1969\n");
#endif
    // Year 10000 does not fit the 26-byte form.
    EXPECT_EQ(CameraTimeValue(253402300800).toString(), "");
    EXPECT_EQ(CameraTimeValue(INT64_MAX).toString(), "");
    EXPECT_EQ(CameraTime(INT64_MIN).toString(), "CameraTime: ");
}

// The ordinary text is checked under an application's locale below.
TEST(LiveViewSpecificationTest, TextOfExtremeSizesAndCorners) {
    LiveViewImage odd;
    odd.width = -1;
    odd.height = 2147483647;
    odd.focusArea = {Point{1e30f, -0.5f}, Point{0, 0}, Point{0, 0}, Point{0, 0}};
    const std::string text = LiveViewSpecificationValue(odd).toString();
    EXPECT_EQ(
        text.rfind("Image: -1x2147483647,FocusArea:   (1000000015047466219876688855040.000000,"
                   "-0.500000)",
                   0),
        0u)
        << text;
}

TEST(DeviceSettingTextTest, ReadTheSameUnderAnApplicationsLocaleAndTimeZone) {
    const Testing::ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    // A comma decimal point would make x and y impossible to split.
    EXPECT_EQ(LiveViewSpecificationValue(middleHalf()).toString(),
              "Image: 720x480,FocusArea:   (0.250000,0.250000)  (0.750000,0.250000)  "
              "(0.750000,0.750000)  (0.250000,0.750000)");
    LiveViewImage large = middleHalf();
    large.width = 1234567;
    large.focusArea[0] = Point{-1234.5f, 0.125f};
    EXPECT_EQ(LiveViewSpecificationValue(large).toString().substr(0, 52),
              "Image: 1234567x480,FocusArea:   (-1234.500000,0.1250");
    // English names and daylight saving in summer, whatever the locale.
    EXPECT_EQ(CameraTimeValue(0).toString(), "Thu Jan  1 01:00:00 1970\n");
    EXPECT_EQ(CameraTimeValue(1719828000).toString(), "Mon Jul  1 12:00:00 2024\n");
}

TEST(DeviceSettingValueTest, TimesEqualByTimeASpecificationOnlyItselfAndCopiesKeepTheClass) {
    EXPECT_TRUE(CameraTime(42) == CameraTime(42));
    EXPECT_TRUE(CameraTime(42) != CameraTime(43));
    EXPECT_FALSE(CameraTimeValue(7) == LiveViewSpecificationValue(middleHalf()));
    const LiveViewSpecificationValue first(middleHalf());
    EXPECT_TRUE(first == first);
    EXPECT_FALSE(first == LiveViewSpecificationValue(middleHalf()));
    EXPECT_TRUE(first != LiveViewSpecificationValue(middleHalf()));
    LiveViewSpecificationValue copy = first;
    EXPECT_FALSE(copy == first);
    EXPECT_EQ(copy.get().focusArea[2].x, 0.75f);

    auto setting = CameraDeviceSettingAccess::makeLiveViewSpecification(middleHalf());
    ASSERT_TRUE(setting->hasValue());
    EXPECT_FALSE(*setting == *CameraDeviceSettingAccess::makeLiveViewSpecification(middleHalf()));

    EXPECT_TRUE(*CameraDeviceSettingAccess::cloneValue(CameraTimeValue(5)) == CameraTimeValue(5));
    auto clone = CameraDeviceSettingAccess::cloneValue(first);
    ASSERT_NE(dynamic_cast<LiveViewSpecificationValue*>(clone.get()), nullptr);
    class OtherValue : public CameraDeviceSettingValue {
    public:
        bool operator==(const CameraDeviceSettingValue&) const override { return false; }
        std::string toString() const override { return {}; }
    };
    EXPECT_THROW(CameraDeviceSettingAccess::cloneValue(OtherValue()), std::invalid_argument);
}

}  // namespace
}  // namespace Corvane::CameraController
