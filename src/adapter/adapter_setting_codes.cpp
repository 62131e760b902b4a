// The capture setting code tables. The numeric codes follow from the singletons' texts, so
// the tables cannot drift from the catalogue.
#include "adapter/adapter_setting_codes.hpp"
#include "adapter/camera_model_profile.hpp"

#include <string>

#include "model/capture_setting_access.hpp"

namespace Corvane::CameraController::Impl {

namespace {

template <class Code>
std::vector<typename SettingCodeTable<Code>::Entry> entriesFromTexts(
    const std::string& name, std::optional<Code> (*codeFromText)(const std::string&)) {
    std::vector<typename SettingCodeTable<Code>::Entry> entries;
    for (const CaptureSetting* singleton : CaptureSettingAccess::singletons(name)) {
        const std::optional<Code> code = codeFromText(singleton->getValue().toString());
        if (code) {
            entries.emplace_back(*code, singleton);
        }
    }
    return entries;
}

std::optional<uint16_t> fNumberFromText(const std::string& text) {
    if (text == "null") {
        return 0;
    }
    const auto value = parseScaledDecimal(text, 100);
    if (!value || *value < 0 || *value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(*value);
}

std::optional<int16_t> compensationFromText(const std::string& text) {
    const auto value = parseScaledDecimal(text, 1000);
    if (!value || *value < -32768 || *value > 32767) {
        return std::nullopt;
    }
    return static_cast<int16_t>(*value);
}

std::optional<uint32_t> isoFromText(const std::string& text) {
    if (text == "Auto") {
        return 0;
    }
    const auto value = parseScaledDecimal(text, 1);
    if (!value || *value < 0 || *value > 0xFFFFFFFFLL) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*value);
}

bool allDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::optional<uint32_t> parseDigits(const std::string& text) {
    if (!allDigits(text) || text.size() > 9) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// "a.b" stands for ab/10: the digits without the point over ten.
std::optional<uint64_t> tenthsFraction(const std::string& text) {
    const auto point = text.find('.');
    if (point == std::string::npos) {
        return std::nullopt;
    }
    const auto digits = parseDigits(text.substr(0, point) + text.substr(point + 1));
    if (!digits) {
        return std::nullopt;
    }
    return shutterCode(*digits, 10);
}

}  // namespace

uint32_t settingModelClass(const std::string& model) {
    return modelProfile(model).settingClass;
}

std::optional<int64_t> parseScaledDecimal(const std::string& text, int64_t scale) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string body = negative ? text.substr(1) : text;
    const auto point = body.find('.');
    const std::string whole = body.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : body.substr(point + 1);
    if (!allDigits(whole) || whole.size() > 9 ||
        (point != std::string::npos && !allDigits(fraction))) {
        return std::nullopt;
    }
    int64_t value = static_cast<int64_t>(*parseDigits(whole)) * scale;
    int64_t unit = scale;
    for (const char c : fraction) {
        unit /= 10;
        value += (c - '0') * unit;
    }
    return negative ? -value : value;
}

std::optional<uint64_t> shutterCodeFromText(const std::string& text) {
    if (text == "Bulb") {
        return shutterCode(0xFFFFFFFF, 0xFFFFFFFF);
    }
    if (text == "auto") {
        return shutterCode(0, 0);
    }
    if (text.rfind("1/", 0) == 0) {
        const std::string denominator = text.substr(2);
        if (const auto digits = parseDigits(denominator)) {
            return shutterCode(1, *digits);
        }
        // "1/2.5" is 10/25.
        const auto tenths = tenthsFraction(denominator);
        if (!tenths) {
            return std::nullopt;
        }
        return shutterCode(10, static_cast<uint32_t>(*tenths));
    }
    if (const auto seconds = parseDigits(text)) {
        return shutterCode(*seconds, 1);
    }
    return tenthsFraction(text);
}

const SettingCodeTable<uint16_t>& fNumberCodes() {
    static const SettingCodeTable<uint16_t> table(
        entriesFromTexts<uint16_t>("FNumber", &fNumberFromText));
    return table;
}

const SettingCodeTable<int16_t>& exposureCompensationCodes() {
    static const SettingCodeTable<int16_t> table(
        entriesFromTexts<int16_t>("ExposureCompensation", &compensationFromText));
    return table;
}

const SettingCodeTable<uint32_t>& isoCodes() {
    static const SettingCodeTable<uint32_t> table(entriesFromTexts<uint32_t>("ISO", &isoFromText));
    return table;
}

const SettingCodeTable<uint64_t>& shutterSpeedCodes() {
    static const SettingCodeTable<uint64_t> table(
        entriesFromTexts<uint64_t>("ShutterSpeed", &shutterCodeFromText));
    return table;
}

const SettingCodeTable<uint16_t>& whiteBalanceCodes() {
    static const SettingCodeTable<uint16_t> table({
        {0x0000, WhiteBalance::Undefined},
        {0x0002, WhiteBalance::Auto},
        {0x0004, WhiteBalance::Daylight},
        {0x0006, WhiteBalance::Tungsten},
        {0x0007, WhiteBalance::Flash},
        {0x8002, WhiteBalance::Shade},
        {0x8003, WhiteBalance::Cloudy},
        {0x8004, WhiteBalance::FluorescentDaylight},
        {0x8005, WhiteBalance::FluorescentDaylightWhite},
        {0x8006, WhiteBalance::FluorescentCoolWhite},
        {0x800D, WhiteBalance::FluorescentWarmWhite},
        {0x8007, WhiteBalance::Manual},
        {0x8008, WhiteBalance::Manual2},
        {0x8009, WhiteBalance::Manual3},
        {0x800A, WhiteBalance::ColorTemperature},
        {0x800B, WhiteBalance::ColorTemperature2},
        {0x800C, WhiteBalance::ColorTemperature3},
        {0x800E, WhiteBalance::CTE},
        {0x800F, WhiteBalance::MultiAuto},
    });
    return table;
}

const SettingCodeTable<uint8_t>& stillImageCaptureFormatCodes() {
    static const SettingCodeTable<uint8_t> table({
        {0, StillImageCaptureFormat::JPEG},
        {1, StillImageCaptureFormat::QRW},
        {2, StillImageCaptureFormat::DNG},
        {3, StillImageCaptureFormat::QRWAndJPEG},
        {4, StillImageCaptureFormat::DNGAndJPEG},
        {5, StillImageCaptureFormat::TIFF},
    });
    return table;
}

const SettingCodeTable<uint8_t>& stillImageQualityCodes() {
    static const SettingCodeTable<uint8_t> table({
        {0, StillImageQuality::LargeBest},
        {1, StillImageQuality::LargeBetter},
        {2, StillImageQuality::LargeGood},
        {3, StillImageQuality::MediumBest},
        {4, StillImageQuality::MediumBetter},
        {5, StillImageQuality::MediumGood},
        {6, StillImageQuality::SmallBest},
        {7, StillImageQuality::SmallBetter},
        {8, StillImageQuality::SmallGood},
        {9, StillImageQuality::ExtraSmallBest},
        {10, StillImageQuality::ExtraSmallBetter},
        {11, StillImageQuality::ExtraSmallGood},
    });
    return table;
}

const SettingCodeTable<uint8_t>& captureMethodCodes() {
    static const SettingCodeTable<uint8_t> table({
        {0, CaptureMethod::StillImage},
        {1, CaptureMethod::Movie},
    });
    return table;
}

const SettingCodeTable<uint8_t>& userCaptureSettingsModeCodes() {
    static const SettingCodeTable<uint8_t> table({
        {0, UserCaptureSettingsMode::None},
        {1, UserCaptureSettingsMode::None},
        {2, UserCaptureSettingsMode::User},
        {3, UserCaptureSettingsMode::User2},
        {4, UserCaptureSettingsMode::User3},
        {5, UserCaptureSettingsMode::User4},
        {6, UserCaptureSettingsMode::User5},
    });
    return table;
}

const SettingCodeTable<uint32_t>& exposureProgramCodes() {
    using P = ExposureProgram;
    static const SettingCodeTable<uint32_t> table({
        {0, P::Program},
        {1, P::Auto},
        {2, P::Program},
        {3, P::Auto},
        {4, P::ShutterSpeedPriority},
        {5, P::AperturePriority},
        {6, P::ShutterSpeedPriority},
        {7, P::AperturePriority},
        {8, P::Manual},
        {9, P::Bulb},
        {10, P::AperturePriority},
        {11, P::Manual},
        {12, P::Bulb},
        {13, P::ShutterSpeedAndAperturePriority},
        {14, P::ShutterSpeedAndAperturePriority},
        {15, P::ISOPriority},
        {16, P::FlashXSyncSpeed},
        {17, P::FlashXSyncSpeed},
        {18, P::LensShutter},
        {19, P::Auto},
        {20, P::Skyglide},
        {21, P::Auto},
    });
    return table;
}

const SettingCodeTable<uint32_t>& agileOperationEnableCodes() {
    static const SettingCodeTable<uint32_t> table = [] {
        std::vector<SettingCodeTable<uint32_t>::Entry> entries;
        for (uint32_t mode = 0; mode <= 21; ++mode) {
            const bool agile = mode == 6 || mode == 7;
            entries.emplace_back(mode,
                                 agile ? AgileOperationEnable::True : AgileOperationEnable::False);
        }
        return SettingCodeTable<uint32_t>(std::move(entries));
    }();
    return table;
}

}  // namespace Corvane::CameraController::Impl
