// Where the library's diagnostic lines go.
//
// The library reports what it cannot return through a Response (a value the camera sent that
// it does not know, a failed background transfer) as one diagnostic line each. By default every
// line goes to the process's standard output, flushed. An application with output of its own
// can send them elsewhere:
//
// - CORVANE_LOG in the environment, read at the first line: "stdout" (the default), "stderr",
//   or "off" (nothing is written). Any other value means "stdout".
// - Diagnostics::setCallback(), which takes precedence over CORVANE_LOG while set.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "corvane/camera_controller/export.hpp"

namespace Corvane::CameraController {

/// The kind of a diagnostic line: Warning for the lines that begin "[warning] " (values and
/// settings the library does not know; the operation goes on), Error for every other line
/// (failed background transactions).
enum class DiagnosticLevel : uint32_t {
    Error = 0,
    Warning = 1,
};

/// Receives one diagnostic line, without its line end.
using DiagnosticCallback = std::function<void(DiagnosticLevel level, const std::string& line)>;

/// The library's diagnostic output.
class CORVANE_API Diagnostics {
public:
    Diagnostics() = delete;

    /// Sends every later diagnostic line to `callback` instead of the standard stream;
    /// an empty callback restores the default (CORVANE_LOG, else standard output). Returns at
    /// once; may be called from any thread, including from inside the callback.
    ///
    /// The callback runs on whichever library thread (or application thread inside a library
    /// call) reports the line, possibly on several at once, so it must be thread-safe and
    /// should return quickly. An exception it throws is dropped. A line being delivered while
    /// setCallback runs may still reach the previous callback.
    static void setCallback(DiagnosticCallback callback);
};

}  // namespace Corvane::CameraController
