// Lets the examples run without hardware: "--emulate" as the first argument attaches an emulated
// camera before the example looks for cameras. Not needed in your own program.
#pragma once

#include <cstring>
#include <iostream>
#include <memory>

#ifdef CORVANE_EXAMPLES_WITH_EMULATOR
#include <corvane/emulator/emulated_camera.hpp>
#endif

namespace corvane_examples {

/// Removes a leading "--emulate" from the arguments and attaches an emulated camera (with a
/// card and fast timing). The camera stays attached while the returned handle lives.
inline std::shared_ptr<void> attachEmulatorIfAsked(int& argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--emulate") != 0) {
        return nullptr;
    }
    for (int i = 1; i + 1 < argc; ++i) {
        argv[i] = argv[i + 1];
    }
    --argc;
#ifdef CORVANE_EXAMPLES_WITH_EMULATOR
    namespace emu = Corvane::CameraController::Emulator;
    emu::CameraConfig config;
    config.timeScale = 0.05;
    auto camera = emu::EmulatedCamera::create(config);
    camera->attach();
    return std::shared_ptr<void>(camera.get(), [camera](void*) { camera->detach(); });
#else
    std::cerr << "This build has no camera emulator; looking for a real camera.\n";
    return nullptr;
#endif
}

}  // namespace corvane_examples
