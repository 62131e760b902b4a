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

std::vector<std::string> textsOf(const std::string& className) {
    std::vector<std::string> texts;
    for (const CaptureSetting* singleton : CaptureSettingAccess::singletons(className)) {
        texts.push_back(singleton->getValue().toString());
    }
    return texts;
}

// Seconds of a shutter speed text: "1/250", "1/2.5", "0.3", "30".
double shutterSeconds(const std::string& text) {
    if (text.rfind("1/", 0) == 0) {
        return 1.0 / std::stod(text.substr(2));
    }
    return std::stod(text);
}

void expectStrictlyAscending(const std::vector<double>& numbers, const std::string& what) {
    for (size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_LT(numbers[i - 1], numbers[i]) << what << " at position " << i;
    }
}

TEST(CatalogueTest, SingletonPointersExistDuringStaticInitialisation) {
    EXPECT_EQ(earlyFNumber, FNumber::F5_6);
    EXPECT_EQ(earlyShutter, ShutterSpeed::Bulb);
    ASSERT_NE(earlyFNumber, nullptr);
    EXPECT_EQ(earlyFNumber->toString(), "FNumber: 5.6");
}

TEST(CatalogueTest, EveryClassHasItsSingletonsWithDistinctTexts) {
    ASSERT_EQ(CaptureSettingAccess::names().size(), 12u);
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

TEST(CatalogueTest, NumericSeriesAreInAscendingOrder) {
    auto fnumbers = textsOf("FNumber");
    ASSERT_EQ(fnumbers.front(), "null");
    std::vector<double> values;
    for (size_t i = 1; i < fnumbers.size(); ++i) {
        const std::string& text = fnumbers[i];
        const bool belowTen = std::stod(text) < 10;
        // One decimal below ten ("1.0"), whole numbers from ten up ("10").
        if (belowTen) {
            EXPECT_TRUE(text.size() == 3 && text[1] == '.') << text;
        } else {
            EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos) << text;
        }
        values.push_back(std::stod(text));
    }
    expectStrictlyAscending(values, "FNumber");

    auto isos = textsOf("ISO");
    ASSERT_EQ(isos.front(), "Auto");
    values.clear();
    for (size_t i = 1; i < isos.size(); ++i) {
        values.push_back(std::stod(isos[i]));
    }
    expectStrictlyAscending(values, "ISO");
    EXPECT_EQ(values.front(), 100);
    EXPECT_EQ(values.back(), 819200);

    values.clear();
    for (const std::string& text : textsOf("ExposureCompensation")) {
        EXPECT_NE(text.front(), '+') << text;
        values.push_back(std::stod(text));
    }
    expectStrictlyAscending(values, "ExposureCompensation");
    EXPECT_EQ(values.front(), -5.0);
    EXPECT_EQ(values.back(), 5.0);

    auto shutters = textsOf("ShutterSpeed");
    ASSERT_GE(shutters.size(), 2u);
    EXPECT_EQ(shutters[shutters.size() - 2], "Bulb");
    EXPECT_EQ(shutters.back(), "auto");
    // Neighbouring marks such as "1/3" and "0.3" name the same stop, so the series only has to
    // climb to within a quarter stop.
    for (size_t i = 1; i + 2 < shutters.size(); ++i) {
        EXPECT_GT(shutterSeconds(shutters[i]), shutterSeconds(shutters[i - 1]) * 0.85)
            << shutters[i - 1] << " then " << shutters[i];
    }
}

// One member per way the text departs from the member's name.
TEST(CatalogueTest, TextsThatDifferFromTheMemberName) {
    const std::pair<const CaptureSetting*, const char*> cases[] = {
        {ShutterSpeed::Auto, "auto"},
        {FNumber::Null, "null"},
        {ExposureCompensation::ECNegative0_7, "-0.7"},
        {ShutterSpeed::SS10_25, "1/2.5"},
        {ShutterSpeed::SS3_10, "0.3"},
        {WhiteBalance::FluorescentDaylight, "Fluorescent Light Daylight Color"},
        {StillImageCaptureFormat::QRWAndJPEG, "QRW and JPEG"},
        {StillImageQuality::ExtraSmallGood, "Extra Small Good"},
    };
    for (const auto& [setting, text] : cases) {
        EXPECT_EQ(setting->getValue().toString(), text);
    }
}

TEST(CatalogueTest, ValuesCompareByClassAndExactText) {
    EXPECT_TRUE(ISOValue("100") == ISO::ISO100->getValue());
    EXPECT_FALSE(ISOValue("0100") == ISO::ISO100->getValue());
    EXPECT_FALSE(ISOValue("auto") == ISO::Auto->getValue());
    EXPECT_FALSE(ShutterSpeedValue("Auto") == ShutterSpeed::Auto->getValue());

    const auto& on = dynamic_cast<const StorageWritingValue&>(StorageWriting::True->getValue());
    EXPECT_TRUE(on.get());
    StorageWritingValue copy = on;
    copy = StorageWritingValue(false);
    EXPECT_FALSE(copy.get());
    EXPECT_TRUE(copy == StorageWriting::False->getValue());
    EXPECT_EQ(AgileOperationEnable::True->toString(), "AgileOperationEnable: true");
}

TEST(CaptureSettingAccessTest, CopiesAreIndependentAndOfTheSameClass) {
    auto clone = CaptureSettingAccess::clone(*FNumber::F5_6);
    ASSERT_NE(dynamic_cast<FNumber*>(clone.get()), nullptr);
    EXPECT_TRUE(*clone == *FNumber::F5_6);
    clone->setValue(std::make_unique<FNumberValue>("8.0"));
    EXPECT_EQ(FNumber::F5_6->getValue().toString(), "5.6");
    EXPECT_TRUE(*clone == *FNumber::F8_0);
    EXPECT_FALSE(CaptureSettingAccess::clone(ISO())->hasValue());

    WhiteBalance setting;
    CaptureSettingAccess::copyValue(setting, *WhiteBalance::Shade);
    EXPECT_TRUE(setting == *WhiteBalance::Shade);
    EXPECT_NE(&setting.getValue(), &WhiteBalance::Shade->getValue());
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
}

TEST(CaptureSettingAccessTest, AvailableListIsFilledOnlyWithSameClassSingletons) {
    WhiteBalance setting;
    CaptureSettingAccess::appendAvailable(setting, WhiteBalance::Flash);
    CaptureSettingAccess::appendAvailable(setting, WhiteBalance::Auto);
    CaptureSettingAccess::appendAvailable(setting, WhiteBalance::Flash);
    EXPECT_THROW(CaptureSettingAccess::appendAvailable(setting, ISO::Auto), std::invalid_argument);
    EXPECT_THROW(CaptureSettingAccess::appendAvailable(setting, nullptr), std::invalid_argument);

    EXPECT_TRUE(CaptureSettingAccess::removeFirstAvailable(setting, WhiteBalance::Flash));
    const std::vector<const CaptureSetting*> expected = {WhiteBalance::Auto, WhiteBalance::Flash};
    EXPECT_EQ(setting.getAvailableSettings(), expected);
    EXPECT_FALSE(CaptureSettingAccess::removeFirstAvailable(setting, WhiteBalance::Shade));

    CaptureSettingAccess::clearAvailable(setting);
    EXPECT_TRUE(setting.getAvailableSettings().empty());
}

}  // namespace
}  // namespace Corvane::CameraController
