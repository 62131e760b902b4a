// The benchmark tables own standard output; the library's diagnostic lines (a camera that
// fails on purpose in a fault benchmark, say) go to standard error instead.
#include <cstdio>
#include <string>

#include "corvane/camera_controller/diagnostics.hpp"

namespace {

[[maybe_unused]] const bool diagnosticsOnStderr = [] {
    Corvane::CameraController::Diagnostics::setCallback(
        [](Corvane::CameraController::DiagnosticLevel, const std::string& line) {
            std::fprintf(stderr, "%s\n", line.c_str());
        });
    return true;
}();

}  // namespace
