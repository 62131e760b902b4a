// Capture settings by name, and matching the user's value texts against what the camera accepts.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>

namespace camctl {

namespace cc = Corvane::CameraController;

struct SettingKind {
    std::string name;
    bool writable;
    std::function<std::unique_ptr<cc::CaptureSetting>()> make;
};

/// Every capture setting class, in the order `get` prints them.
const std::vector<SettingKind>& settingKinds();

/// The kind whose name matches `name` (case-insensitive); nullptr when there is none.
const SettingKind* findSettingKind(const std::string& name);

/// Names of all kinds (or only the writable ones) joined with ", ", for error messages.
std::string settingNames(bool writableOnly);

/// Value texts of a setting's available list, in the camera's order.
std::vector<std::string> acceptedTexts(const cc::CaptureSetting& setting);

/// The singleton of `setting`'s available list whose text matches `text`: exactly, else ignoring
/// case, else as the same number ("8" for "8.0", "+1.3" for "1.3"). nullptr when none matches.
const cc::CaptureSetting* matchAvailable(const cc::CaptureSetting& setting,
                                         const std::string& text);

/// Splits "NAME=VALUE"; throws UsageError when there is no '=' or the name is empty.
std::pair<std::string, std::string> splitAssignment(const std::string& argument);

}  // namespace camctl
