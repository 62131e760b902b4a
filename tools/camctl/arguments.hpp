// Parsing of the argument forms that CLI11 does not know: points and times.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>
#include <corvane/camera_controller.hpp>

namespace camctl {

namespace cc = Corvane::CameraController;

/// A number from `min` to `max`. Unlike CLI::Range it refuses NaN, which fails every
/// comparison and so would pass any range, and infinities.
CLI::Validator finiteRange(double min, double max);

/// A text that is not empty, for folders and values where "" would mean something else.
CLI::Validator nonEmpty();

/// "X,Y" with both coordinates fractions of the frame from 0 to 1. Throws UsageError otherwise.
cc::Point parsePoint(const std::string& text);

/// "now" (the host's clock) or whole seconds since 1970-01-01 UTC. Throws UsageError otherwise.
int64_t parseTimeArgument(const std::string& text, int64_t now);

}  // namespace camctl
