// Live view shared by every viewer: started for the first, stopped after the last, and started
// again for those still watching when the camera comes back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include <corvane/camera_controller.hpp>

namespace camctl::serve {

namespace cc = Corvane::CameraController;

struct LiveFrame {
    std::shared_ptr<const unsigned char> data;
    uint64_t size = 0;
    uint64_t sequence = 0;  ///< counts frames since the server started
};

class LiveViewHub : public cc::CameraEventListener {
public:
    /// Counts a viewer in; the first one starts live view on `camera`. Returns the library's
    /// failure when that start fails (the viewer is then not counted).
    cc::Response join(cc::CameraDevice& camera);
    /// Counts a viewer out; the last one stops live view on `camera`. Never call it from a
    /// frame listener.
    void leave(cc::CameraDevice& camera);
    /// Starts live view again on a camera that came back, when anyone still watches. Called
    /// from the server's reconnect thread, never from a listener.
    cc::Response resume(cc::CameraDevice& camera);

    /// The newest frame after `sequence`, waiting up to `timeout`; nothing on timeout or after
    /// wake() (the server stops).
    std::optional<LiveFrame> nextAfter(uint64_t sequence, std::chrono::milliseconds timeout);
    /// Ends every wait in nextAfter() at once.
    void wake();

    unsigned viewers() const;

    void liveViewFrameUpdated(const std::shared_ptr<const cc::CameraDevice>& device,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override;

private:
    // Start and stop go to the camera under their own lock, so frames keep flowing meanwhile.
    mutable std::mutex viewerMutex;
    unsigned viewerCount = 0;

    std::mutex frameMutex;
    std::condition_variable frameArrived;
    LiveFrame latest;
    uint64_t wakeCount = 0;
};

}  // namespace camctl::serve
