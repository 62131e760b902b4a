// The camera the server drives, with the server's listeners registered for as long as it serves.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <corvane/camera_controller.hpp>

namespace camctl::serve {

namespace cc = Corvane::CameraController;

class CameraSession {
public:
    /// Registers `listeners` on `camera` (connected by the caller); `lost` is called on the
    /// library's event thread when the camera goes away.
    CameraSession(std::shared_ptr<cc::CameraDevice> camera,
                  std::vector<std::shared_ptr<cc::CameraEventListener>> listeners,
                  std::function<void()> lost);
    /// Removes the listeners.
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    /// The camera; calls on it fail with NotConnected once it is gone.
    std::shared_ptr<cc::CameraDevice> camera() const { return device; }
    /// False once the camera was reported gone (its handle may still read as connected).
    bool present() const { return !loss->gone; }

private:
    struct LossListener : cc::CameraEventListener {
        explicit LossListener(std::function<void()> lost) : lost(std::move(lost)) {}
        void deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>&,
                                cc::DeviceInterface) override {
            gone = true;
            lost();
        }
        std::function<void()> lost;
        std::atomic<bool> gone{false};
    };

    const std::shared_ptr<cc::CameraDevice> device;
    std::shared_ptr<LossListener> loss;
    std::vector<std::shared_ptr<cc::CameraEventListener>> listeners;
};

}  // namespace camctl::serve
