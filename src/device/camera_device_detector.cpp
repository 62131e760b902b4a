#include "corvane/camera_controller/camera_device_detector.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "adapter/camera_device_mtp_usb_adapter.hpp"
#include "common/guarded_mutex.hpp"
#include "device/camera_discovery.hpp"
#include "device/quorin_camera_device.hpp"
#include "mtp/mtp_device_provider.hpp"

namespace Corvane::CameraController {
namespace Impl {
namespace {

constexpr uint16_t kOperationTetherMode = 0x9001;
const char* const kBrandWord = "QUORIN";

struct RegisteredCamera {
    std::shared_ptr<CameraDeviceMtpUsbAdapter> adapter;
    std::shared_ptr<QuorinCameraDevice> device;
};

/// The cameras handed out so far, process-wide.
struct DeviceRegistry {
    Mutex mutex;
    std::vector<RegisteredCamera> cameras GUARDED_BY(mutex);
};

DeviceRegistry& deviceRegistry() {
    static DeviceRegistry registry;
    return registry;
}

bool isQuorinCamera(MtpDevice& transport, const std::string& model) {
    if (model.find(kBrandWord) == std::string::npos) {
        return false;
    }
    const auto operations = transport.getSupportedOperations();
    return std::find(operations.begin(), operations.end(), kOperationTetherMode) !=
           operations.end();
}

// Moves the cameras nobody else holds out of the registry; the caller releases them.
std::vector<RegisteredCamera> takeUnheldCameras(std::vector<RegisteredCamera>& registry) {
    std::vector<RegisteredCamera> unheld;
    auto kept = registry.begin();
    for (auto& entry : registry) {
        if (entry.device.use_count() == 1) {
            unheld.push_back(std::move(entry));
        } else {
            *kept++ = std::move(entry);
        }
    }
    registry.erase(kept, registry.end());
    return unheld;
}

bool sameCamera(const CameraDeviceBaseImpl& device, const std::string& model,
                const std::string& serial) {
    return device.getModel() == model && device.getSerialNumber() == serial;
}

RegisteredCamera* findRegistered(std::vector<RegisteredCamera>& registry, const std::string& model,
                                 const std::string& serial) {
    for (auto& entry : registry) {
        if (sameCamera(*entry.device, model, serial)) {
            return &entry;
        }
    }
    return nullptr;
}

RegisteredCamera createCamera(const std::shared_ptr<MtpDevice>& transport, const std::string& model,
                              const std::string& serial) {
    RegisteredCamera camera;
    camera.device = std::make_shared<QuorinCameraDevice>();
    camera.device->setRediscovery([] { enumerateCameras(); });
    camera.adapter = createQuorinAdapter(std::weak_ptr<AdapterHost>(camera.device));
    camera.device->addAdapter(DeviceInterface::USB, camera.adapter);
    camera.adapter->setMtpDevice(transport);
    camera.device->setManufacturer(transport->getManufacturer());
    camera.device->setModel(model);
    camera.device->setFirmwareVersion(transport->getFirmwareVersion());
    camera.device->setSerialNumber(serial);
    return camera;
}

void rebind(RegisteredCamera& camera, const std::shared_ptr<MtpDevice>& transport) {
    camera.device->setManufacturer(transport->getManufacturer());
    camera.device->setFirmwareVersion(transport->getFirmwareVersion());
    camera.adapter->rebindTransport(transport);
}

std::vector<std::shared_ptr<QuorinCameraDevice>> enumerateLocked(
    std::vector<RegisteredCamera>& registry) {
    std::vector<std::shared_ptr<QuorinCameraDevice>> result;
    for (const auto& transport : getDevices()) {
        if (!transport) {
            continue;
        }
        const std::string model = transport->getModel();
        if (!isQuorinCamera(*transport, model)) {
            continue;
        }
        const std::string serial = transport->getSerialNumber();
        const bool listedTwice = std::any_of(result.begin(), result.end(), [&](const auto& d) {
            return sameCamera(*d, model, serial);
        });
        if (listedTwice) {
            continue;
        }
        if (RegisteredCamera* known = findRegistered(registry, model, serial)) {
            rebind(*known, transport);
            result.push_back(known->device);
        } else {
            registry.push_back(createCamera(transport, model, serial));
            result.push_back(registry.back().device);
        }
    }
    return result;
}

}  // namespace

std::vector<std::shared_ptr<QuorinCameraDevice>> enumerateCameras() {
    // Released after the lock: an adapter's destructor waits for its tasks.
    std::vector<RegisteredCamera> released;
    DeviceRegistry& registry = deviceRegistry();
    const MutexLock lock(registry.mutex);
    released = takeUnheldCameras(registry.cameras);
    return enumerateLocked(registry.cameras);
}

}  // namespace Impl

std::vector<std::shared_ptr<CameraDevice>> CameraDeviceDetector::detect(
    DeviceInterface deviceInterface) {
    if (deviceInterface != DeviceInterface::USB) {
        return {};
    }
    const auto cameras = Impl::enumerateCameras();
    return std::vector<std::shared_ptr<CameraDevice>>(cameras.begin(), cameras.end());
}

}  // namespace Corvane::CameraController
