// Camera codes of the capture settings: camera code to catalogue singleton and back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "corvane/camera_controller/capture_settings.hpp"

namespace Corvane::CameraController::Impl {

/// An immutable table of (camera code, singleton) pairs. Reading looks a code up; writing looks
/// a singleton up by identity, so a setting that merely holds an equal value is not found.
template <class Code>
class SettingCodeTable {
public:
    using Entry = std::pair<Code, const CaptureSetting*>;

    explicit SettingCodeTable(std::vector<Entry> entries) : entries(std::move(entries)) {}

    /// The singleton of `code`, or null.
    const CaptureSetting* find(Code code) const {
        for (const auto& [entryCode, singleton] : entries) {
            if (entryCode == code) {
                return singleton;
            }
        }
        return nullptr;
    }
    /// The code of `singleton` (its first entry when several codes share it), if it has one.
    std::optional<Code> codeOf(const CaptureSetting* singleton) const {
        for (const auto& [code, entrySingleton] : entries) {
            if (entrySingleton == singleton) {
                return code;
            }
        }
        return std::nullopt;
    }
    const std::vector<Entry>& getEntries() const { return entries; }

private:
    std::vector<Entry> entries;
};

/// Shutter speeds travel as a numerator and a denominator; as one number they are
/// numerator + denominator * 2^32, the eight wire bytes read little-endian.
constexpr uint64_t shutterCode(uint32_t numerator, uint32_t denominator) {
    return static_cast<uint64_t>(numerator) | (static_cast<uint64_t>(denominator) << 32);
}

// Every table is built on first use (thread-safe) and read-only afterwards.
const SettingCodeTable<uint16_t>& fNumberCodes();              ///< f-number x 100; Null is 0
const SettingCodeTable<int16_t>& exposureCompensationCodes();  ///< EV x 1000
const SettingCodeTable<uint32_t>& isoCodes();                  ///< sensitivity; Auto is 0
const SettingCodeTable<uint16_t>& whiteBalanceCodes();
const SettingCodeTable<uint64_t>& shutterSpeedCodes();  ///< see shutterCode
const SettingCodeTable<uint8_t>& stillImageCaptureFormatCodes();
const SettingCodeTable<uint8_t>& stillImageQualityCodes();  ///< 3 x size + grade
const SettingCodeTable<uint8_t>& captureMethodCodes();
const SettingCodeTable<uint8_t>& userCaptureSettingsModeCodes();
const SettingCodeTable<uint32_t>& exposureProgramCodes();       ///< by exposure-mode code
const SettingCodeTable<uint32_t>& agileOperationEnableCodes();  ///< by exposure-mode code

/// Model class for the setting rules: 2 for the two-slot bodies, 1 for the one-slot bodies,
/// 0 for any other model name (names compared exactly).
uint32_t settingModelClass(const std::string& model);

/// Parses a catalogue value text of the form [-]digits[.digit] into value x `scale`; used to
/// derive the numeric codes from the singletons' texts without touching the C locale.
std::optional<int64_t> parseScaledDecimal(const std::string& text, int64_t scale);
/// The (numerator, denominator) pair a ShutterSpeed text stands for ("1/8000", "1/2.5", "0.3",
/// "30", "Bulb", "auto").
std::optional<uint64_t> shutterCodeFromText(const std::string& text);

}  // namespace Corvane::CameraController::Impl
