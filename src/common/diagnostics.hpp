// The library's only way of reporting what it cannot return: one line to the diagnostic sink,
// standard output unless the application redirects it (see the public diagnostics.hpp).
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "corvane/camera_controller/diagnostics.hpp"

namespace Corvane::CameraController::Impl {

/// Hands `line` to the sink: the application's callback if set, else the stream CORVANE_LOG
/// names (standard output by default), written with its newline as one write and flushed, so
/// lines from several threads never interleave. Thread-safe; never throws.
void writeDiagnostic(const std::string& line);

/// The stream a CORVANE_LOG value selects: stderr for "stderr", none (null) for "off",
/// stdout for anything else, unset included.
std::FILE* diagnosticStreamNamed(const char* choice);

/// The level of a line: Warning when it begins "[warning] ", else Error.
DiagnosticLevel diagnosticLevelOf(const std::string& line);

/// For tests: routes every later diagnostic line to `sink`, ahead of the application's
/// callback. Passing an empty function restores the normal sink. Returns the previous one.
using DiagnosticSink = std::function<void(const std::string& line)>;
DiagnosticSink setDiagnosticSink(DiagnosticSink sink);

}  // namespace Corvane::CameraController::Impl
