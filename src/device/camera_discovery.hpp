// Turning the attached MTP devices into camera device handles.
#pragma once

#include <memory>
#include <vector>

namespace Corvane::CameraController::Impl {

class QuorinCameraDevice;

/// The Quorin cameras attached now, in the transport's listing order: devices whose model
/// contains "QUORIN" and that list vendor operation 0x9001. A camera (same model and serial
/// number) still held by anyone gets the same device and adapter back, re-bound to its current
/// transport object; new ones get a new device with a disconnected adapter.
///
/// Serialised process-wide: concurrent calls run one after another. Blocks while new devices
/// are opened. Must not be called with an adapter or device lock held.
std::vector<std::shared_ptr<QuorinCameraDevice>> enumerateCameras();

}  // namespace Corvane::CameraController::Impl
