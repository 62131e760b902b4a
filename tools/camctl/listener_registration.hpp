// Keeps an event listener registered on a camera for the length of a scope.
#pragma once

#include <memory>

#include <corvane/camera_controller.hpp>

namespace camctl {

class ListenerRegistration {
public:
    ListenerRegistration(Corvane::CameraController::CameraDevice& camera,
                         std::shared_ptr<Corvane::CameraController::CameraEventListener> listener)
        : camera(camera), listener(std::move(listener)) {
        camera.addEventListener(this->listener);
    }
    ~ListenerRegistration() { camera.removeEventListener(listener); }
    ListenerRegistration(const ListenerRegistration&) = delete;
    ListenerRegistration& operator=(const ListenerRegistration&) = delete;

private:
    Corvane::CameraController::CameraDevice& camera;
    std::shared_ptr<Corvane::CameraController::CameraEventListener> listener;
};

}  // namespace camctl
