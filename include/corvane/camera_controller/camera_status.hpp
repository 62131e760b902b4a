// Handle of the camera's state as last read.
#pragma once

#include <cstdint>
#include <memory>

#include "corvane/camera_controller/export.hpp"

namespace Corvane::CameraController {

class Capture;

/// The camera's state, refreshed by the library in the background while connected.
class CORVANE_API CameraStatus {
public:
    CameraStatus() = default;
    CameraStatus(const CameraStatus&) = default;
    CameraStatus& operator=(const CameraStatus&) = default;
    virtual ~CameraStatus() = default;

    /// The battery level as last read from the camera; 0 before the first reading.
    virtual uint32_t getBatteryLevel() const = 0;
    /// The capture started last (it stays after the capture completes); empty before any.
    virtual std::shared_ptr<const Capture> getCurrentCapture() const = 0;
};

}  // namespace Corvane::CameraController
