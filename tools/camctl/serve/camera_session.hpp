// The camera the server drives, and getting it back after it was unplugged and plugged in again.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <corvane/camera_controller.hpp>

namespace camctl::serve {

namespace cc = Corvane::CameraController;

class CameraSession {
public:
    /// Registers `listeners` on `camera` (connected by the caller). `changed(true/false)` is
    /// called on the session's own thread when the camera comes back or is found gone.
    CameraSession(std::shared_ptr<cc::CameraDevice> camera,
                  std::vector<std::shared_ptr<cc::CameraEventListener>> listeners,
                  std::function<void(bool connected)> changed);
    /// Removes the listeners; disconnects a camera this session reconnected.
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    /// The camera now; calls on it fail with NotConnected while it is away.
    std::shared_ptr<cc::CameraDevice> camera() const;

private:
    void watch();
    bool tryReconnect();

    const std::string serial;
    const std::vector<std::shared_ptr<cc::CameraEventListener>> listeners;
    const std::function<void(bool)> changed;
    const std::shared_ptr<cc::CameraDevice> original;

    mutable std::mutex mutex;
    std::condition_variable stopRequested;
    std::shared_ptr<cc::CameraDevice> current;
    bool stopping = false;
    std::thread watcher;
};

}  // namespace camctl::serve
