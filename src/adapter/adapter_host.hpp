// What an adapter may reach of the camera device that owns it.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace Corvane::CameraController {
class CameraDevice;
class CameraEventListener;
}  // namespace Corvane::CameraController

namespace Corvane::CameraController::Impl {

class CameraStatusImpl;
class CameraStorageListImpl;
class CameraImageListImpl;

/// The device as its adapters see it: identity, the lists they keep up to date and the listener
/// delivery. The device implements it; the adapter holds it weakly and knows no device class,
/// so calls only go from the device down to the adapter and events come back through here.
class AdapterHost {
public:
    /// What deliverEvent() calls once per listener, with the device that sends the event.
    using EventCall = std::function<void(CameraEventListener& listener,
                                         const std::shared_ptr<const CameraDevice>& device)>;

    virtual ~AdapterHost() = default;

    virtual const std::string& getModel() const = 0;
    virtual const std::string& getFirmwareVersion() const = 0;
    virtual CameraStatusImpl& getStatusImpl() = 0;
    virtual CameraStorageListImpl& getStoragesImpl() = 0;
    virtual CameraImageListImpl& getImagesImpl() = 0;
    /// Calls `call` on every listener in order, on the calling thread, over a copy of the list;
    /// a listener that throws is logged under `eventName`. Never call it with a lock held.
    virtual void deliverEvent(const std::string& eventName, const EventCall& call) const = 0;
    /// Runs discovery, which re-binds this device's adapters to the camera's current transport
    /// objects (after a replug). Blocks while new devices are opened; call it with no lock held.
    virtual void rediscover() const = 0;
};

}  // namespace Corvane::CameraController::Impl
