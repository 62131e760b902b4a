// What every command works with: the global options, the output and the selected camera.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>

#include "emulation.hpp"
#include "errors.hpp"
#include "output.hpp"

namespace camctl {

namespace cc = Corvane::CameraController;

struct GlobalOptions {
    EmulationOptions emulation;
    std::string serial;
    bool json = false;
};

class Context {
public:
    Context(const GlobalOptions& options, Output& output);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    /// Disconnects the camera if this context connected it.
    ~Context();

    const GlobalOptions& options() const { return globalOptions; }
    Output& out() { return output; }

    /// The cameras attached now (with the emulated one, if asked for).
    std::vector<std::shared_ptr<cc::CameraDevice>> detect();
    /// The one camera the options select, connected. Throws CameraError when there is none,
    /// UsageError when several are attached and --serial does not pick one.
    cc::CameraDevice& camera();
    std::shared_ptr<cc::CameraDevice> cameraPointer();

    /// The camera was connected and no longer is, or failed to connect and is no longer
    /// attached (unplugged, or its transport died).
    bool cameraGone();
    /// The plain-words reason for a failure of the camera (see failureReason).
    std::string reasonFor(const CameraError& error);
    /// "code: message (reason)" for a failure of one item of a command.
    std::string describe(const CameraError& error);
    /// The JSON form of a failure of one item of a command.
    Json errorJson(const CameraError& error);

private:
    std::shared_ptr<cc::CameraDevice> select();
    std::vector<std::shared_ptr<cc::CameraDevice>> matchingCameras();

    GlobalOptions globalOptions;
    Output& output;
    std::shared_ptr<void> emulator;
    std::shared_ptr<cc::CameraDevice> selected;  ///< chosen, perhaps not yet connected
    std::shared_ptr<cc::CameraDevice> device;    ///< chosen and connected
    bool connectedHere = false;
};

}  // namespace camctl
