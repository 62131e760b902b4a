// getDevices() over the registered providers, with the registry that hands out the same
// MtpDevice object for the same attached device.
#include <algorithm>
#include <exception>
#include <map>
#include <mutex>
#include <utility>

#include "common/diagnostics.hpp"
#include "mtp/mtp_device_provider.hpp"

namespace Corvane::CameraController::Impl {
namespace {

struct ProviderEntry {
    uint64_t id = 0;
    std::shared_ptr<MtpDeviceProvider> provider;
    // Held while one provider is listed and its new devices opened: providers are never
    // called from two threads at once, and one attached device is never opened twice.
    std::shared_ptr<std::mutex> enumerationMutex;
};

using DeviceKey = std::pair<uint64_t, std::string>;

class DeviceRegistry {
public:
    void add(const std::shared_ptr<MtpDeviceProvider>& provider) {
        std::lock_guard<std::mutex> lock(mutex_);
        providers_.push_back({++lastId_, provider, std::make_shared<std::mutex>()});
    }

    void remove(const std::shared_ptr<MtpDeviceProvider>& provider) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = providers_.begin(); it != providers_.end();) {
            if (it->provider == provider) {
                forgetDevicesOf(it->id);
                it = providers_.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::vector<ProviderEntry> providers() {
        std::lock_guard<std::mutex> lock(mutex_);
        pruneExpired();
        return providers_;
    }

    // The registered device for `key` if it is still held and connected.
    std::shared_ptr<MtpDevice> findLive(const DeviceKey& key) {
        std::shared_ptr<MtpDevice> device;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto found = devices_.find(key);
            if (found != devices_.end()) {
                device = found->second.lock();
            }
        }
        // Outside the lock: isConnected() belongs to the binding.
        return device && device->isConnected() ? device : nullptr;
    }

    void remember(const DeviceKey& key, const std::shared_ptr<MtpDevice>& device) {
        std::lock_guard<std::mutex> lock(mutex_);
        // A provider unregistered meanwhile must not leave entries behind.
        const bool registered = std::any_of(providers_.begin(), providers_.end(),
                                            [&](const auto& p) { return p.id == key.first; });
        if (registered) {
            devices_[key] = device;
        }
    }

private:
    void forgetDevicesOf(uint64_t providerId) {
        for (auto it = devices_.begin(); it != devices_.end();) {
            it = it->first.first == providerId ? devices_.erase(it) : std::next(it);
        }
    }

    void pruneExpired() {
        for (auto it = devices_.begin(); it != devices_.end();) {
            it = it->second.expired() ? devices_.erase(it) : std::next(it);
        }
    }

    std::mutex mutex_;
    uint64_t lastId_ = 0;
    std::vector<ProviderEntry> providers_;
    std::map<DeviceKey, std::weak_ptr<MtpDevice>> devices_;
};

DeviceRegistry& registry() {
    static DeviceRegistry instance;
    return instance;
}

std::vector<MtpDeviceCandidate> listCandidates(MtpDeviceProvider& provider) {
    try {
        return provider.listDevices();
    } catch (const std::exception& e) {
        writeDiagnostic(std::string("[error][getDevices] device listing failed: ") + e.what());
    } catch (...) {
        writeDiagnostic("[error][getDevices] device listing failed");
    }
    return {};
}

std::shared_ptr<MtpDevice> openCandidate(const MtpDeviceCandidate& candidate) {
    if (!candidate.open) {
        return nullptr;
    }
    try {
        return candidate.open();
    } catch (const std::exception& e) {
        writeDiagnostic("[error][getDevices] opening " + candidate.key + " failed: " + e.what());
    } catch (...) {
        writeDiagnostic("[error][getDevices] opening " + candidate.key + " failed");
    }
    return nullptr;
}

void collectDevicesOf(const ProviderEntry& entry,
                      std::vector<std::shared_ptr<MtpDevice>>& devices) {
    std::lock_guard<std::mutex> serialise(*entry.enumerationMutex);
    for (const auto& candidate : listCandidates(*entry.provider)) {
        const DeviceKey key{entry.id, candidate.key};
        std::shared_ptr<MtpDevice> device = registry().findLive(key);
        if (!device) {
            device = openCandidate(candidate);
            if (!device) {
                continue;
            }
            registry().remember(key, device);
        }
        // A provider that lists one key twice still yields the device once.
        if (std::find(devices.begin(), devices.end(), device) == devices.end()) {
            devices.push_back(std::move(device));
        }
    }
}

}  // namespace

void registerDeviceProvider(const std::shared_ptr<MtpDeviceProvider>& provider) {
    if (provider) {
        registry().add(provider);
    }
}

void unregisterDeviceProvider(const std::shared_ptr<MtpDeviceProvider>& provider) {
    registry().remove(provider);
}

std::vector<std::shared_ptr<MtpDevice>> getDevices() {
    std::vector<std::shared_ptr<MtpDevice>> devices;
    for (const auto& entry : registry().providers()) {
        collectDevicesOf(entry, devices);
    }
    return devices;
}

}  // namespace Corvane::CameraController::Impl
