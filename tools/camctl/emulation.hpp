// Attaching an emulated camera, so every command can be tried without hardware.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace camctl {

struct EmulationOptions {
    std::string model;  ///< empty: no emulation
    bool withCard = true;
    /// Extra controls as KEY=VALUE (see emulationHelp()).
    std::vector<std::string> controls;
};

/// "Alto" -> "QUORIN Alto" for the brand's model names; any other text is used as given.
std::string fullModelName(const std::string& model);

/// What --emulate-with accepts, for the help text.
std::string emulationHelp();

/// Attaches an emulated camera that detection finds from now on; it stays attached while the
/// returned handle lives. Throws UsageError for a malformed control, or when this build has no
/// emulator.
std::shared_ptr<void> attachEmulatedCamera(const EmulationOptions& options);

}  // namespace camctl
