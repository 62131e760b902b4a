// The camera the server drives, with the server's listeners registered for as long as it serves,
// and a thread that connects it again when it comes back after being unplugged.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
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
    /// Registers `listeners` on `camera` (connected by the caller). Once the camera is reported
    /// gone, a thread of the session's own looks for it every `retryInterval` and connects it
    /// again; `back` is then called on that thread (never from a listener).
    CameraSession(std::shared_ptr<cc::CameraDevice> camera,
                  std::vector<std::shared_ptr<cc::CameraEventListener>> listeners,
                  std::function<void()> back, std::chrono::milliseconds retryInterval);
    /// Stops looking for the camera (waits for a connect under way, which the library bounds)
    /// and removes the listeners.
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    /// The camera; calls on it fail with NotConnected while it is gone.
    std::shared_ptr<cc::CameraDevice> camera() const { return device; }
    /// False from the report of a loss until the camera is connected again (its handle may
    /// read as connected in between).
    bool present() const;

private:
    // Shared with the listener, which the library may still call after it was removed.
    struct LossState {
        std::mutex mutex;
        std::condition_variable changed;
        uint64_t losses = 0;
        bool present = true;
        bool stopping = false;
    };
    struct LossListener : cc::CameraEventListener {
        explicit LossListener(std::shared_ptr<LossState> state) : state(std::move(state)) {}
        void deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>&,
                                cc::DeviceInterface) override;
        const std::shared_ptr<LossState> state;
    };

    void watchForReturn();
    bool reconnect() const;

    const std::shared_ptr<cc::CameraDevice> device;
    const std::shared_ptr<LossState> loss;
    std::vector<std::shared_ptr<cc::CameraEventListener>> listeners;
    const std::function<void()> back;
    const std::chrono::milliseconds retryInterval;
    std::thread watcher;
};

}  // namespace camctl::serve
