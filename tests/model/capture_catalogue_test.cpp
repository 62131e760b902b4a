#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "corvane/camera_controller/capture_settings.hpp"
#include "model/capture_setting_access.hpp"

namespace Corvane::CameraController {
namespace {

using Impl::CaptureSettingAccess;

// Read during this file's static initialisation, which may run before the catalogue's own.
const CaptureSetting* const earlyFNumber = FNumber::F5_6;
const CaptureSetting* const earlyShutter = ShutterSpeed::Bulb;

TEST(CatalogueTest, SingletonPointersExistDuringStaticInitialisation) {
    EXPECT_EQ(earlyFNumber, FNumber::F5_6);
    EXPECT_EQ(earlyShutter, ShutterSpeed::Bulb);
    ASSERT_NE(earlyFNumber, nullptr);
    EXPECT_EQ(earlyFNumber->toString(), "FNumber: 5.6");
}

TEST(CatalogueTest, EveryClassHasItsSingletonsWithDistinctTexts) {
    for (const std::string& name : CaptureSettingAccess::names()) {
        SCOPED_TRACE(name);
        const auto& singletons = CaptureSettingAccess::singletons(name);
        EXPECT_GE(singletons.size(), 2u);
        std::set<std::string> distinct;
        for (const CaptureSetting* singleton : singletons) {
            ASSERT_NE(singleton, nullptr);
            EXPECT_EQ(singleton->getName(), name);
            EXPECT_TRUE(singleton->getAvailableSettings().empty());
            const std::string text = singleton->getValue().toString();
            EXPECT_EQ(singleton->toString(), name + ": " + text);
            EXPECT_TRUE(distinct.insert(text).second) << "duplicate text " << text;
        }
    }
    EXPECT_TRUE(CaptureSettingAccess::singletons("Bogus").empty());
    // Every class the catalogue names can be made empty by that name.
    for (const std::string& name : CaptureSettingAccess::names()) {
        auto setting = CaptureSettingAccess::create(name);
        ASSERT_NE(setting, nullptr) << name;
        EXPECT_FALSE(setting->hasValue());
        EXPECT_EQ(typeid(*setting), typeid(*CaptureSettingAccess::singletons(name).front()));
    }
    EXPECT_EQ(CaptureSettingAccess::create("Bogus"), nullptr);
}

TEST(CaptureSettingAccessTest, CopiesAndAvailableListsKeepToTheSameClass) {
    auto clone = CaptureSettingAccess::clone(*FNumber::F5_6);
    ASSERT_NE(dynamic_cast<FNumber*>(clone.get()), nullptr);
    EXPECT_TRUE(*clone == *FNumber::F5_6);
    EXPECT_FALSE(CaptureSettingAccess::clone(ISO())->hasValue());

    WhiteBalance setting;
    CaptureSettingAccess::copyValue(setting, *WhiteBalance::Shade);
    EXPECT_TRUE(setting == *WhiteBalance::Shade);
    EXPECT_EQ(typeid(setting.getValue()), typeid(WhiteBalanceValue));
    EXPECT_THROW(CaptureSettingAccess::copyValue(setting, *ISO::Auto), std::invalid_argument);
    EXPECT_THROW(CaptureSettingAccess::copyValue(setting, WhiteBalance()), std::logic_error);
    EXPECT_TRUE(setting == *WhiteBalance::Shade);

    class ForeignValue : public CaptureSettingValue {
    public:
        bool operator==(const CaptureSettingValue&) const override { return false; }
        std::string toString() const override { return "foreign"; }
    };
    EXPECT_THROW(CaptureSettingAccess::cloneValue(ForeignValue()), std::invalid_argument);
    auto copy = CaptureSettingAccess::cloneValue(ExposureProgramValue("Manual"));
    EXPECT_TRUE(*copy == ExposureProgram::Manual->getValue());

    // The list of what is available takes only singletons of the same class.
    WhiteBalance offered;
    CaptureSettingAccess::appendAvailable(offered, WhiteBalance::Flash);
    CaptureSettingAccess::appendAvailable(offered, WhiteBalance::Auto);
    CaptureSettingAccess::appendAvailable(offered, WhiteBalance::Flash);
    EXPECT_THROW(CaptureSettingAccess::appendAvailable(offered, ISO::Auto), std::invalid_argument);
    EXPECT_THROW(CaptureSettingAccess::appendAvailable(offered, nullptr), std::invalid_argument);

    EXPECT_TRUE(CaptureSettingAccess::removeFirstAvailable(offered, WhiteBalance::Flash));
    const std::vector<const CaptureSetting*> expected = {WhiteBalance::Auto, WhiteBalance::Flash};
    EXPECT_EQ(offered.getAvailableSettings(), expected);
    EXPECT_FALSE(CaptureSettingAccess::removeFirstAvailable(offered, WhiteBalance::Shade));
}

}  // namespace
}  // namespace Corvane::CameraController
