#include "serve/camera_session.hpp"

namespace camctl::serve {

CameraSession::CameraSession(std::shared_ptr<cc::CameraDevice> camera,
                             std::vector<std::shared_ptr<cc::CameraEventListener>> listeners,
                             std::function<void()> lost)
    : device(std::move(camera)),
      loss(std::make_shared<LossListener>(std::move(lost))),
      listeners(std::move(listeners)) {
    this->listeners.push_back(loss);
    for (const auto& listener : this->listeners) {
        device->addEventListener(listener);
    }
}

CameraSession::~CameraSession() {
    for (const auto& listener : listeners) {
        device->removeEventListener(listener);
    }
}

}  // namespace camctl::serve
