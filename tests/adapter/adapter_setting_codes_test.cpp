#include <gtest/gtest.h>

#include <set>

#include "adapter/adapter_setting_codes.hpp"

namespace Corvane::CameraController::Impl {
namespace {

// Reading a code back and writing its setting must give the same pair: a code shared by two
// values, or a value listed twice, would read back as the wrong setting.
template <class Code>
void expectOneCodePerSingleton(const SettingCodeTable<Code>& table) {
    std::set<Code> codes;
    std::set<const CaptureSetting*> singletons;
    for (const auto& [code, singleton] : table.getEntries()) {
        ASSERT_NE(singleton, nullptr);
        codes.insert(code);
        singletons.insert(singleton);
        EXPECT_EQ(table.codeOf(singleton), code);
        EXPECT_EQ(table.find(code), singleton);
    }
    EXPECT_EQ(codes.size(), table.getEntries().size());
    EXPECT_EQ(singletons.size(), table.getEntries().size());
}

TEST(SettingCodes, EveryCatalogueValueHasItsOwnCode) {
    expectOneCodePerSingleton(fNumberCodes());
    expectOneCodePerSingleton(exposureCompensationCodes());
    expectOneCodePerSingleton(isoCodes());
    expectOneCodePerSingleton(whiteBalanceCodes());
    expectOneCodePerSingleton(shutterSpeedCodes());
    expectOneCodePerSingleton(stillImageCaptureFormatCodes());
    expectOneCodePerSingleton(stillImageQualityCodes());
}

TEST(SettingCodes, ShutterSpeedsAreNumeratorAndDenominator) {
    const auto& table = shutterSpeedCodes();
    EXPECT_EQ(table.codeOf(ShutterSpeed::SS10_25), shutterCode(10, 25));
    EXPECT_EQ(table.codeOf(ShutterSpeed::SS10_16), shutterCode(10, 16));
    EXPECT_EQ(table.codeOf(ShutterSpeed::SS3_10), shutterCode(3, 10));
    EXPECT_EQ(table.codeOf(ShutterSpeed::SS13_10), shutterCode(13, 10));
    EXPECT_EQ(table.codeOf(ShutterSpeed::SS32_10), shutterCode(32, 10));
    EXPECT_EQ(table.codeOf(ShutterSpeed::SS1), shutterCode(1, 1));
    EXPECT_EQ(table.codeOf(ShutterSpeed::SS1200), shutterCode(1200, 1));
    EXPECT_EQ(table.codeOf(ShutterSpeed::Auto), shutterCode(0, 0));
}

TEST(SettingCodes, DecimalTextsParseWithoutTheLocale) {
    EXPECT_EQ(parseScaledDecimal("5.6", 100), 560);
    EXPECT_EQ(parseScaledDecimal("-0.7", 1000), -700);
    EXPECT_EQ(parseScaledDecimal("256", 100), 25600);
    EXPECT_EQ(parseScaledDecimal("", 100), std::nullopt);
    EXPECT_EQ(parseScaledDecimal("5,6", 100), std::nullopt);
    EXPECT_EQ(parseScaledDecimal("null", 100), std::nullopt);
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
