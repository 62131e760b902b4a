// Capture settings as plain Python values: a name, the value text, the accepted texts.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding.hpp"

namespace corvane_python {

struct SettingSnapshot {
    std::string name;
    std::optional<std::string> value;  ///< empty when the camera reported none
    std::vector<std::string> available;
};

SettingSnapshot snapshotOf(const cc::CaptureSetting& setting);

/// Reads `names` (all of them when empty) in one camera call.
std::vector<SettingSnapshot> readSettings(cc::CameraDevice& camera,
                                          const std::vector<std::string>& names);
/// Writes (name, value text) pairs in one camera call; the texts must be catalogue texts.
void writeSettings(cc::CameraDevice& camera,
                   const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace corvane_python
