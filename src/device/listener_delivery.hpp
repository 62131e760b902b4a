// Calling the application's event listeners from the library's tasks.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::CameraController {
class CameraEventListener;
}

namespace Corvane::CameraController::Impl {

using ListenerCall = std::function<void(CameraEventListener& listener)>;

/// Calls `call` on each listener of `listeners` in order, synchronously, skipping null entries.
/// Pass a copy of the device's list (CameraDeviceBaseImpl::copyEventListeners()), never the
/// live one. A listener that throws does not stop the delivery or the calling task: the
/// exception is caught and reported as one diagnostic line naming `eventName`. Must be called
/// without any library lock held.
void deliverToListeners(const std::vector<std::shared_ptr<CameraEventListener>>& listeners,
                        const std::string& eventName, const ListenerCall& call);

}  // namespace Corvane::CameraController::Impl
