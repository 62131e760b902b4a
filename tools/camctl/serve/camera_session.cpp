#include "serve/camera_session.hpp"

namespace camctl::serve {

CameraSession::CameraSession(std::shared_ptr<cc::CameraDevice> camera,
                             std::vector<std::shared_ptr<cc::CameraEventListener>> listeners,
                             std::function<void()> back, std::chrono::milliseconds retryInterval)
    : device(std::move(camera)),
      loss(std::make_shared<LossState>()),
      listeners(std::move(listeners)),
      back(std::move(back)),
      retryInterval(retryInterval) {
    this->listeners.push_back(std::make_shared<LossListener>(loss));
    for (const auto& listener : this->listeners) {
        device->addEventListener(listener);
    }
    watcher = std::thread([this] { watchForReturn(); });
}

CameraSession::~CameraSession() {
    {
        std::lock_guard<std::mutex> lock(loss->mutex);
        loss->stopping = true;
    }
    loss->changed.notify_all();
    watcher.join();
    for (const auto& listener : listeners) {
        device->removeEventListener(listener);
    }
}

bool CameraSession::present() const {
    std::lock_guard<std::mutex> lock(loss->mutex);
    return loss->present;
}

void CameraSession::LossListener::deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>&,
                                                     cc::DeviceInterface) {
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        ++state->losses;
        state->present = false;
    }
    state->changed.notify_all();
}

void CameraSession::watchForReturn() {
    uint64_t handled = 0;
    std::unique_lock<std::mutex> lock(loss->mutex);
    while (true) {
        loss->changed.wait(lock, [&] { return loss->stopping || loss->losses != handled; });
        if (loss->stopping) {
            return;
        }
        const uint64_t target = loss->losses;
        lock.unlock();
        const bool connected = reconnect();
        lock.lock();
        if (!connected) {
            loss->changed.wait_for(lock, retryInterval, [&] { return loss->stopping; });
            continue;
        }
        handled = target;
        // A loss reported while connecting is handled by the next round.
        if (loss->losses == target) {
            loss->present = true;
            lock.unlock();
            back();
            lock.lock();
        }
    }
}

bool CameraSession::reconnect() const {
    // Detection re-binds the held camera object to the camera's new USB device.
    for (const auto& found : cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB)) {
        if (found == device) {
            return device->connect(cc::DeviceInterface::USB).getResult() == cc::Result::Ok;
        }
    }
    return false;
}

}  // namespace camctl::serve
