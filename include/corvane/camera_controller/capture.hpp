// Handle of one capture started by the application.
#pragma once

#include <string>

#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/image_types.hpp"

namespace Corvane::CameraController {

class CaptureMethod;

/// A capture (still image, bulb exposure or movie). It outlives the capture itself: its state
/// moves from Executing to Complete or Unknown, never back.
class CORVANE_API Capture {
public:
    Capture() = default;
    Capture(const Capture&) = default;
    Capture& operator=(const Capture&) = default;
    virtual ~Capture() = default;

    /// The capture id; it begins with the UTC start time as "YYYYMMDDhhmmss".
    virtual const std::string& getId() const = 0;
    /// CaptureMethod::StillImage or CaptureMethod::Movie; never null.
    virtual const CaptureMethod* getMethod() const = 0;
    /// The current state (safe to poll from any thread).
    virtual CaptureState getState() const = 0;
};

}  // namespace Corvane::CameraController
