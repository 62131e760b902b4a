#include "settings_catalog.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "errors.hpp"

namespace camctl {

namespace {

template <typename T>
SettingKind kind(const char* name, bool writable) {
    return SettingKind{name, writable, [] { return std::make_unique<T>(); }};
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The whole text as a decimal number; false for anything else ("1/250", "Auto").
bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

}  // namespace

const std::vector<SettingKind>& settingKinds() {
    static const std::vector<SettingKind> kinds = {
        kind<cc::ExposureProgram>("ExposureProgram", false),
        kind<cc::CaptureMethod>("CaptureMethod", false),
        kind<cc::FNumber>("FNumber", true),
        kind<cc::ShutterSpeed>("ShutterSpeed", true),
        kind<cc::ISO>("ISO", true),
        kind<cc::ExposureCompensation>("ExposureCompensation", true),
        kind<cc::WhiteBalance>("WhiteBalance", true),
        kind<cc::StillImageCaptureFormat>("StillImageCaptureFormat", true),
        kind<cc::StillImageQuality>("StillImageQuality", true),
        kind<cc::StorageWriting>("StorageWriting", true),
        kind<cc::UserCaptureSettingsMode>("UserCaptureSettingsMode", false),
        kind<cc::AgileOperationEnable>("AgileOperationEnable", false),
    };
    return kinds;
}

const SettingKind* findSettingKind(const std::string& name) {
    for (const auto& kind : settingKinds()) {
        if (equalsIgnoringCase(kind.name, name)) {
            return &kind;
        }
    }
    return nullptr;
}

std::string settingNames(bool writableOnly) {
    std::string names;
    for (const auto& kind : settingKinds()) {
        if (writableOnly && !kind.writable) {
            continue;
        }
        names += (names.empty() ? "" : ", ") + kind.name;
    }
    return names;
}

std::vector<std::string> acceptedTexts(const cc::CaptureSetting& setting) {
    std::vector<std::string> texts;
    for (const auto* candidate : setting.getAvailableSettings()) {
        if (candidate != nullptr && candidate->hasValue()) {
            texts.push_back(candidate->getValue().toString());
        }
    }
    return texts;
}

const cc::CaptureSetting* matchAvailable(const cc::CaptureSetting& setting,
                                         const std::string& text) {
    const auto& available = setting.getAvailableSettings();
    const auto find = [&](auto&& same) -> const cc::CaptureSetting* {
        for (const auto* candidate : available) {
            if (candidate != nullptr && candidate->hasValue() &&
                same(candidate->getValue().toString())) {
                return candidate;
            }
        }
        return nullptr;
    };
    if (const auto* exact = find([&](const std::string& t) { return t == text; })) {
        return exact;
    }
    if (const auto* loose =
            find([&](const std::string& t) { return equalsIgnoringCase(t, text); })) {
        return loose;
    }
    double wanted = 0;
    if (!parseNumber(text, wanted)) {
        return nullptr;
    }
    return find([&](const std::string& t) {
        double offered = 0;
        return parseNumber(t, offered) && offered == wanted;
    });
}

std::pair<std::string, std::string> splitAssignment(const std::string& argument) {
    const size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError("expected NAME=VALUE, got \"" + argument + "\"");
    }
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

}  // namespace camctl
