// The device type of Quorin cameras.
#pragma once

#include "device/camera_device_base_impl.hpp"

namespace Corvane::CameraController::Impl {

/// Adds nothing to CameraDeviceBaseImpl; its dynamic type names the brand.
class QuorinCameraDevice : public CameraDeviceBaseImpl {
public:
    QuorinCameraDevice() = default;
};

}  // namespace Corvane::CameraController::Impl
