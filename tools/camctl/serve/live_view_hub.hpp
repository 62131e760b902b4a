// Live view shared by every viewer: started for the first, stopped after the last.
#pragma once

#include <atomic>
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
    /// failure when that start fails (the viewer is then not counted). `ticket` is set for
    /// leave().
    cc::Response join(cc::CameraDevice& camera, uint64_t& ticket);
    /// Counts a viewer out; the last one stops live view on `camera`. A ticket from before
    /// reset() counts for nothing. Never call it from a frame listener.
    void leave(cc::CameraDevice& camera, uint64_t ticket);

    /// The newest frame after `sequence`, waiting up to `timeout`; nothing on timeout or after
    /// wake() (the camera left, the server stops).
    std::optional<LiveFrame> nextAfter(uint64_t sequence, std::chrono::milliseconds timeout);
    /// Ends every wait in nextAfter() at once.
    void wake();

    unsigned viewers() const;
    /// False once reset() made `ticket` stale.
    bool isCurrent(uint64_t ticket) const;
    /// Forgets that live view runs (the camera left; a new one starts without it). Safe from a
    /// listener: it takes no lock that a library call is made under.
    void reset();

    void liveViewFrameUpdated(const std::shared_ptr<const cc::CameraDevice>& device,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override;

private:
    // Start and stop go to the camera under their own lock, so frames keep flowing meanwhile.
    mutable std::mutex viewerMutex;
    unsigned viewerCount = 0;
    uint64_t countGeneration = 0;  ///< the generation viewerCount belongs to
    std::atomic<uint64_t> generation{0};

    std::mutex frameMutex;
    std::condition_variable frameArrived;
    LiveFrame latest;
    uint64_t wakeCount = 0;
};

}  // namespace camctl::serve
