// Command line of camemu-usb: the camera to emulate, the host controller, the program to run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "corvane/emulator/camera_config.hpp"
#include "usb_camera_host.hpp"

namespace Corvane::CameraController::Emulator::Usb {

struct CamemuUsbOptions {
    CameraConfig camera;
    UsbHostOptions host;
    /// Pull the cable this many milliseconds after the program started (and plug it back
    /// in `replugAfterMs` later), to try a program's handling of an unplug.
    std::optional<unsigned> unplugAfterMs;
    std::optional<unsigned> replugAfterMs;
    /// The program is stopped after this long.
    unsigned timeoutSeconds = 600;
    std::vector<std::string> command;
};

/// Parses `camemu-usb [options] -- COMMAND [ARGS...]`. nullopt with `error` set on a bad
/// line; `error` empty and nullopt for --help.
std::optional<CamemuUsbOptions> parseCamemuUsbOptions(const std::vector<std::string>& args,
                                                      std::string& error);

const char* camemuUsbUsage();

}  // namespace Corvane::CameraController::Emulator::Usb
