#pragma once

#include "corvane/camera_controller/export.hpp"

namespace Corvane::CameraController {

/// A position in the frame as fractions of its width (x) and height (y), each 0.0 to 1.0.
/// The centre is (0.5, 0.5).
struct CORVANE_API Point {
    float x = 0.5f;
    float y = 0.5f;
};

}  // namespace Corvane::CameraController
