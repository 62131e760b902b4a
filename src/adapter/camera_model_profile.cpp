#include "adapter/camera_model_profile.hpp"

#include <algorithm>
#include <cctype>

namespace Corvane::CameraController::Impl {

namespace {

constexpr FirmwareVersion kAnyFirmware{0, 0};

// clang-format off
const CameraModelProfile kProfiles[] = {
    // model              code     slots class movie  from firmware  lv-stop focus-lv tether flash qualities
    {"QUORIN Alto",       0x13092, 2,    2,    true,  {1, 410000},   true,   true,    false, false, 12},
    {"QUORIN Alto II",    0x13240, 2,    2,    true,  kAnyFirmware,  true,   true,    false, false, 12},
    {"QUORIN Grande",     0x13010, 2,    2,    false, kAnyFirmware,  true,   false,   true,  true,  12},
    {"QUORIN Brio",       0x12FC0, 2,    2,    false, kAnyFirmware,  true,   false,   true,  true,  9},
    {"QUORIN Cresta",     0x13222, 1,    1,    true,  kAnyFirmware,  false,  false,   false, false, 12},
    {"QUORIN Delta",      0x1322C, 1,    1,    true,  kAnyFirmware,  false,  false,   false, false, 12},
    {"QUORIN Delta X",    0x13235, 1,    1,    true,  kAnyFirmware,  false,  false,   false, false, 12},
};
const CameraModelProfile kUnknown =
    {"",                  0,       0,    0,    true,  kAnyFirmware,  false,  false,   false, false, 12};
// clang-format on

std::optional<uint32_t> parseDigits(const std::string& digits, size_t maxLength) {
    if (digits.empty() || digits.size() > maxLength) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

}  // namespace

std::optional<FirmwareVersion> FirmwareVersion::parse(const std::string& text) {
    const size_t point = text.find('.');
    const auto major = parseDigits(text.substr(0, point), 9);
    if (!major) {
        return std::nullopt;
    }
    if (point == std::string::npos) {
        return FirmwareVersion{*major, 0};
    }
    // What follows the fraction's digits (a build suffix, a third number) does not order.
    std::string fraction = text.substr(point + 1);
    fraction = fraction.substr(0, std::min<size_t>(6, fraction.find_first_not_of("0123456789")));
    const auto digits = parseDigits(fraction, 6);
    if (!digits) {
        return std::nullopt;
    }
    uint32_t millionths = *digits;
    for (size_t i = fraction.size(); i < 6; ++i) {
        millionths *= 10;
    }
    return FirmwareVersion{*major, millionths};
}

bool CameraModelProfile::recordsMovie(const std::string& firmware) const {
    if (!movieUnderRemoteControl) {
        return false;
    }
    const auto version = FirmwareVersion::parse(firmware);
    return !version || !(*version < movieFromFirmware);
}

const CameraModelProfile& modelProfile(const std::string& model) {
    for (const auto& profile : kProfiles) {
        if (model == profile.model) {
            return profile;
        }
    }
    return kUnknown;
}

}  // namespace Corvane::CameraController::Impl
