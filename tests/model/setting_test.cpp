#include <gtest/gtest.h>

#include <stdexcept>

#include "corvane/camera_controller/capture_settings.hpp"
#include "corvane/camera_controller/device_settings.hpp"
#include "model/capture_setting_access.hpp"

namespace Corvane::CameraController {
namespace {

using Impl::CaptureSettingAccess;

TEST(SettingValueTest, SetValueTakesOwnershipAndReplaces) {
    ISO iso;
    EXPECT_EQ(iso.toString(), "ISO: no value");
    EXPECT_EQ(LiveViewSpecification().toString(), "LiveViewSpecification: no value");
    EXPECT_EQ(StorageWriting(true).toString(), "StorageWriting: true");
    auto value = std::make_unique<ISOValue>("200");
    iso.setValue(std::move(value));
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(iso.toString(), "ISO: 200");

    iso.setValue(std::make_unique<ISOValue>("400"));
    EXPECT_EQ(iso.getValue().toString(), "400");

    iso.setValue(nullptr);
    EXPECT_FALSE(iso.hasValue());
    EXPECT_EQ(iso.toString(), "ISO: no value");
}

TEST(SettingEqualityTest, NamesAndValuesMustMatch) {
    FNumber fnumber;
    fnumber.setValue(std::make_unique<FNumberValue>("5.6"));
    ISO iso;
    iso.setValue(std::make_unique<ISOValue>("5.6"));

    EXPECT_FALSE(fnumber == iso);
    EXPECT_TRUE(fnumber != iso);
    EXPECT_TRUE(fnumber == *FNumber::F5_6);
    EXPECT_FALSE(fnumber != *FNumber::F5_6);
    EXPECT_FALSE(fnumber == *FNumber::F5_8);

    // Same class and exactly the same text.
    EXPECT_TRUE(ISOValue("100") == ISO::ISO100->getValue());
    EXPECT_FALSE(ISOValue("0100") == ISO::ISO100->getValue());
    EXPECT_FALSE(ShutterSpeedValue("Auto") == ShutterSpeed::Auto->getValue());
    EXPECT_FALSE(FNumberValue("5.6") == ISOValue("5.6"));
    EXPECT_TRUE(FNumberValue("5.6") != ISOValue("5.6"));
    EXPECT_FALSE(StorageWritingValue(true) == AgileOperationEnableValue(true));
    EXPECT_TRUE(StorageWriting(true) == *StorageWriting::True);
    EXPECT_TRUE(StorageWriting(false) != *StorageWriting::True);

    // Available lists are ignored.
    ISO withList;
    CaptureSettingAccess::copyValue(withList, *ISO::ISO100);
    CaptureSettingAccess::appendAvailable(withList, ISO::ISO100);
    CaptureSettingAccess::appendAvailable(withList, ISO::ISO200);
    EXPECT_TRUE(withList == *ISO::ISO100);
    EXPECT_TRUE(*ISO::ISO100 == withList);

    // A missing value is an error, not a crash.
    const ISO empty;
    EXPECT_THROW(empty.getValue(), std::logic_error);
    EXPECT_THROW((void)(empty == *ISO::Auto), std::logic_error);
    EXPECT_THROW((void)(*ISO::Auto != empty), std::logic_error);
    // Different names decide without looking at values.
    EXPECT_FALSE(empty == *FNumber::F5_6);

    const CameraTime noTime;
    EXPECT_THROW(noTime.getValue(), std::logic_error);
    EXPECT_THROW((void)(noTime == CameraTime(0)), std::logic_error);
    EXPECT_FALSE(noTime == LiveViewSpecification());
}

}  // namespace
}  // namespace Corvane::CameraController
