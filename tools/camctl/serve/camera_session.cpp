#include "serve/camera_session.hpp"

namespace camctl::serve {

namespace {

// How often a lost camera is looked for.
constexpr auto reconnectInterval = std::chrono::milliseconds(500);

}  // namespace

CameraSession::CameraSession(std::shared_ptr<cc::CameraDevice> camera,
                             std::vector<std::shared_ptr<cc::CameraEventListener>> listeners,
                             std::function<void(bool)> changed)
    : serial(camera->getSerialNumber()),
      listeners(std::move(listeners)),
      changed(std::move(changed)),
      original(camera),
      current(std::move(camera)) {
    for (const auto& listener : this->listeners) {
        current->addEventListener(listener);
    }
    watcher = std::thread([this] { watch(); });
}

CameraSession::~CameraSession() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    stopRequested.notify_all();
    watcher.join();
    for (const auto& listener : listeners) {
        current->removeEventListener(listener);
    }
    if (current != original && current->isConnected(cc::DeviceInterface::USB)) {
        current->disconnect(cc::DeviceInterface::USB);
    }
}

std::shared_ptr<cc::CameraDevice> CameraSession::camera() const {
    std::lock_guard<std::mutex> lock(mutex);
    return current;
}

void CameraSession::watch() {
    bool wasConnected = true;
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopRequested.wait_for(lock, reconnectInterval, [this] { return stopping; })) {
        const auto device = current;
        lock.unlock();
        const bool connected = device->isConnected(cc::DeviceInterface::USB) || tryReconnect();
        if (connected != wasConnected) {
            wasConnected = connected;
            changed(connected);
        }
        lock.lock();
    }
}

// A camera with the same serial number, connected and given the listeners, replaces the lost one.
bool CameraSession::tryReconnect() {
    for (const auto& candidate : cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB)) {
        if (candidate->getSerialNumber() != serial) {
            continue;
        }
        if (!candidate->isConnected(cc::DeviceInterface::USB) &&
            candidate->connect(cc::DeviceInterface::USB).getResult() != cc::Result::Ok) {
            return false;
        }
        std::shared_ptr<cc::CameraDevice> previous;
        {
            std::lock_guard<std::mutex> lock(mutex);
            previous = current;
            current = candidate;
        }
        for (const auto& listener : listeners) {
            previous->removeEventListener(listener);
            candidate->addEventListener(listener);
        }
        if (previous != original && previous->isConnected(cc::DeviceInterface::USB)) {
            previous->disconnect(cc::DeviceInterface::USB);
        }
        return true;
    }
    return false;
}

}  // namespace camctl::serve
