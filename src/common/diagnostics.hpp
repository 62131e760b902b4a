// The library's only way of reporting what it cannot return: one flushed line on stdout.
#pragma once

#include <functional>
#include <string>

namespace Corvane::CameraController::Impl {

/// Writes `line` and a newline to standard output and flushes, as one write, so lines from
/// several threads never interleave. Thread-safe.
void writeDiagnostic(const std::string& line);

/// For tests: routes every later diagnostic line to `sink` instead of standard output.
/// Passing an empty function restores standard output. Returns the previous sink.
using DiagnosticSink = std::function<void(const std::string& line)>;
DiagnosticSink setDiagnosticSink(DiagnosticSink sink);

}  // namespace Corvane::CameraController::Impl
