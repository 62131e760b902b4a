// Finding the attached cameras.
#pragma once

#include <memory>
#include <vector>

#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController {

class CameraDevice;

class CORVANE_API CameraDeviceDetector {
public:
    /// The Quorin cameras attached now through `deviceInterface`, in the transport's listing
    /// order; empty for an interface other than USB or when nothing is attached.
    ///
    /// A camera already handed out and still held by the application comes back as the very
    /// same object (with its listeners, images and connection state); detection never
    /// connects. Opens newly attached cameras (a few transactions each), so it may block for
    /// a moment. Safe to call from several threads at once; calls run one after another.
    static std::vector<std::shared_ptr<CameraDevice>> detect(DeviceInterface deviceInterface);
};

}  // namespace Corvane::CameraController
