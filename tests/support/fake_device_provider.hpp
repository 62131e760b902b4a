// A device provider for tests: cameras are attached and detached by key, and every open makes
// a new ScriptedMtpDevice, the way a real binding makes a new object per opening.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "mtp/mtp_device_provider.hpp"
#include "support/scripted_mtp_device.hpp"

namespace Corvane::CameraController::Testing {

/// What a fake camera reports when opened.
struct FakeCamera {
    std::string manufacturer = "Quorin";
    std::string model = "QUORIN Alto";
    std::string firmware = "1.00";
    std::string serial = "0001";
    std::vector<uint16_t> operations = {0x1001, 0x1002, 0x9001};
    bool opens = true;
};

class FakeDeviceProvider : public Impl::MtpDeviceProvider {
public:
    /// Adds (or replaces) the camera listed under `key`, after those attached before it.
    void attachCamera(const std::string& key, FakeCamera camera) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto listed = std::find_if(attached_.begin(), attached_.end(),
                                         [&](const auto& entry) { return entry.first == key; });
        if (listed != attached_.end()) {
            listed->second = std::move(camera);
        } else {
            attached_.emplace_back(key, std::move(camera));
        }
    }
    void detach(const std::string& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        attached_.erase(std::remove_if(attached_.begin(), attached_.end(),
                                       [&](const auto& entry) { return entry.first == key; }),
                        attached_.end());
    }

    /// The device made by the latest successful open of `key` (null if none).
    std::shared_ptr<ScriptedMtpDevice> lastOpened(const std::string& key) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = lastOpened_.find(key);
        return found == lastOpened_.end() ? nullptr : found->second.lock();
    }
    int openCount(const std::string& key) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = openCounts_.find(key);
        return found == openCounts_.end() ? 0 : found->second;
    }
    int listCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return listCount_;
    }

    std::vector<Impl::MtpDeviceCandidate> listDevices() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++listCount_;
        std::vector<Impl::MtpDeviceCandidate> candidates;
        for (const auto& [key, camera] : attached_) {
            candidates.push_back(
                {key, [this, key = key, camera = camera] { return open(key, camera); }});
        }
        return candidates;
    }

private:
    std::shared_ptr<Impl::MtpDevice> open(const std::string& key, const FakeCamera& camera) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++openCounts_[key];
        if (!camera.opens) {
            return nullptr;
        }
        auto device = std::make_shared<ScriptedMtpDevice>(camera.manufacturer, camera.model,
                                                          camera.firmware, camera.serial);
        device->setSupportedOperations(camera.operations);
        lastOpened_[key] = device;
        return device;
    }

    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, FakeCamera>> attached_;
    std::map<std::string, std::weak_ptr<ScriptedMtpDevice>> lastOpened_;
    std::map<std::string, int> openCounts_;
    int listCount_ = 0;
};

/// Registers a provider for the lifetime of the scope.
class ScopedDeviceProvider {
public:
    explicit ScopedDeviceProvider(std::shared_ptr<Impl::MtpDeviceProvider> provider)
        : provider_(std::move(provider)) {
        Impl::registerDeviceProvider(provider_);
    }
    ~ScopedDeviceProvider() { Impl::unregisterDeviceProvider(provider_); }
    ScopedDeviceProvider(const ScopedDeviceProvider&) = delete;
    ScopedDeviceProvider& operator=(const ScopedDeviceProvider&) = delete;

private:
    std::shared_ptr<Impl::MtpDeviceProvider> provider_;
};

}  // namespace Corvane::CameraController::Testing
