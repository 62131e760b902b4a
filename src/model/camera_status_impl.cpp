#include "model/camera_status_impl.hpp"

namespace Corvane::CameraController::Impl {

std::shared_ptr<const Capture> CameraStatusImpl::getCurrentCapture() const {
    return std::atomic_load(&currentCapture);
}

void CameraStatusImpl::setCurrentCapture(const std::shared_ptr<const Capture>& capture) {
    std::atomic_store(&currentCapture, capture);
}

}  // namespace Corvane::CameraController::Impl
