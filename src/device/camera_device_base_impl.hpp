// The library's camera device: identity, status, lists, listeners and one adapter per interface.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adapter/adapter_host.hpp"
#include "common/guarded_mutex.hpp"
#include "corvane/camera_controller/camera_device.hpp"
#include "adapter/camera_device_adapter.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_list_impl.hpp"

namespace Corvane::CameraController::Impl {

/// Forwards connection operations to the adapter of the named interface and every camera
/// operation to the first connected adapter; does no camera work itself. Created by discovery
/// and always owned by a shared_ptr.
class CameraDeviceBaseImpl : public CameraDevice,
                             public AdapterHost,
                             public std::enable_shared_from_this<CameraDeviceBaseImpl> {
public:
    using AdapterHost::EventCall;

    CameraDeviceBaseImpl() = default;
    CameraDeviceBaseImpl(const CameraDeviceBaseImpl&) = delete;
    CameraDeviceBaseImpl& operator=(const CameraDeviceBaseImpl&) = delete;
    ~CameraDeviceBaseImpl() override = default;

    bool operator==(const CameraDevice& other) const override;
    bool operator!=(const CameraDevice& other) const override;

    Response connect(DeviceInterface deviceInterface) override;
    Response disconnect(DeviceInterface deviceInterface) override;
    bool isConnected(DeviceInterface deviceInterface) const override;

    const std::string& getManufacturer() const override { return manufacturer; }
    const std::string& getModel() const override { return model; }
    const std::string& getFirmwareVersion() const override { return firmwareVersion; }
    const std::string& getSerialNumber() const override { return serialNumber; }

    const CameraStatus& getStatus() const override { return status; }
    const CameraStorageList& getStorages() const override { return storages; }
    const CameraImageList& getImages() const override { return images; }

    /// A null listener is ignored.
    void addEventListener(const std::shared_ptr<CameraEventListener>& listener) override;
    void removeEventListener(const std::shared_ptr<CameraEventListener>& listener) override;
    const std::vector<std::shared_ptr<CameraEventListener>>& getEventListeners() const override;

    Response focus(int32_t adjustment) override;
    Response focus(const Point& point) override;
    Response focus() override;
    StartCaptureResponse startCapture(const Point& focusPoint) override;
    StartCaptureResponse startCapture(bool withFocus) override;
    Response stopCapture() override;
    Response startLiveView() override;
    Response stopLiveView() override;
    Response getCameraDeviceSettings(const std::vector<CameraDeviceSetting*>& settings) override;
    Response setCameraDeviceSettings(
        const std::vector<const CameraDeviceSetting*>& settings) override;
    Response getCaptureSettings(const std::vector<CaptureSetting*>& settings) override;
    Response setCaptureSettings(const std::vector<const CaptureSetting*>& settings) override;

    /// Identity setters, for discovery only. Assigning an equal value writes nothing, so that
    /// re-detection does not touch strings the application may be reading.
    virtual void setManufacturer(const std::string& value);
    virtual void setModel(const std::string& value);
    virtual void setFirmwareVersion(const std::string& value);
    virtual void setSerialNumber(const std::string& value);
    CameraStatusImpl& getStatusImpl() override { return status; }
    CameraStorageListImpl& getStoragesImpl() override { return storages; }
    CameraImageListImpl& getImagesImpl() override { return images; }

    /// Stores `adapter` under `deviceInterface`, replacing any earlier one (null removes it).
    void addAdapter(DeviceInterface deviceInterface,
                    const std::shared_ptr<CameraDeviceAdapter>& adapter);
    /// The first adapter, in interface order, that reports itself connected; null if none.
    std::shared_ptr<CameraDeviceAdapter> getAdapter() const;

    /// A copy of the listener list taken under listenerMutex, safe to iterate on any thread.
    std::vector<std::shared_ptr<CameraEventListener>> copyEventListeners() const;
    /// Calls `call` on every registered listener in order with this device, on the calling
    /// thread, over a copy of the list; a listener that throws is reported as one diagnostic
    /// line naming `eventName` (the listener operation) and the others are still called.
    /// Nothing is sent when the device is not owned by a shared_ptr any more (it is being
    /// destroyed).
    void deliverEvent(const std::string& eventName, const EventCall& call) const override;
    /// Runs the discovery that made this device; nothing for a device made otherwise.
    void rediscover() const override;
    /// For discovery, before the device is handed out: what rediscover() runs.
    void setRediscovery(std::function<void()> discovery) { rediscovery = std::move(discovery); }

private:
    std::shared_ptr<CameraDeviceAdapter> adapterFor(DeviceInterface deviceInterface) const;
    std::map<DeviceInterface, std::shared_ptr<CameraDeviceAdapter>> copyAdapters() const;

    template <typename R, typename Operation>
    R forward(Operation&& operation) const;

    // The map is filled by discovery while application threads may already forward calls.
    mutable Mutex adapterMutex;
    std::map<DeviceInterface, std::shared_ptr<CameraDeviceAdapter>> adapters
        GUARDED_BY(adapterMutex);
    // Set once by discovery before the device is shared; read-only afterwards.
    std::function<void()> rediscovery;
    // Identity is written by discovery only, and only when it differs (see the setters).
    std::string manufacturer;
    std::string model;
    std::string serialNumber;
    std::string firmwareVersion;
    mutable Mutex listenerMutex;
    std::vector<std::shared_ptr<CameraEventListener>> eventListeners GUARDED_BY(listenerMutex);
    // The lists lock themselves (src/model).
    CameraStatusImpl status;
    CameraStorageListImpl storages;
    CameraImageListImpl images;
};

}  // namespace Corvane::CameraController::Impl
