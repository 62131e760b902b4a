#include "serve/live_view_hub.hpp"

namespace camctl::serve {

cc::Response LiveViewHub::join(cc::CameraDevice& camera) {
    std::lock_guard<std::mutex> lock(viewerMutex);
    if (viewerCount == 0) {
        cc::Response response = camera.startLiveView();
        if (response.getResult() != cc::Result::Ok) {
            return response;
        }
    }
    ++viewerCount;
    return cc::Response(cc::Result::Ok);
}

void LiveViewHub::leave(cc::CameraDevice& camera) {
    std::lock_guard<std::mutex> lock(viewerMutex);
    if (viewerCount > 0 && --viewerCount == 0) {
        camera.stopLiveView();  // fails harmlessly while the camera is away
    }
}

cc::Response LiveViewHub::resume(cc::CameraDevice& camera) {
    std::lock_guard<std::mutex> lock(viewerMutex);
    return viewerCount > 0 ? camera.startLiveView() : cc::Response(cc::Result::Ok);
}

unsigned LiveViewHub::viewers() const {
    std::lock_guard<std::mutex> lock(viewerMutex);
    return viewerCount;
}

std::optional<LiveFrame> LiveViewHub::nextAfter(uint64_t sequence,
                                                std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(frameMutex);
    const uint64_t wakes = wakeCount;
    const bool arrived = frameArrived.wait_for(
        lock, timeout, [&] { return latest.sequence > sequence || wakeCount != wakes; });
    if (!arrived || wakeCount != wakes) {
        return std::nullopt;
    }
    return latest;
}

void LiveViewHub::wake() {
    {
        std::lock_guard<std::mutex> lock(frameMutex);
        ++wakeCount;
    }
    frameArrived.notify_all();
}

void LiveViewHub::liveViewFrameUpdated(const std::shared_ptr<const cc::CameraDevice>&,
                                       const std::shared_ptr<const unsigned char>& data,
                                       uint64_t size) {
    if (!data || size == 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(frameMutex);
        latest = LiveFrame{data, size, latest.sequence + 1};
    }
    frameArrived.notify_all();
}

}  // namespace camctl::serve
