// An adapter whose transactions run over one MTP transport object.
#pragma once

#include <memory>
#include <mutex>

#include "adapter/adapter_host.hpp"
#include "common/guarded_mutex.hpp"
#include "adapter/camera_device_adapter.hpp"
#include "mtp/mtp_device.hpp"

namespace Corvane::CameraController::Impl {

/// Adds the transport binding to the adapter interface. Discovery re-binds the transport when
/// the camera reappears, possibly while the adapter's own tasks run, so the pointer is only
/// ever copied out under a lock and used through that copy.
class CameraDeviceMtpUsbAdapter : public CameraDeviceAdapter {
public:
    CameraDeviceMtpUsbAdapter() = default;

    /// Binds the camera's current transport object (may be null). Thread-safe.
    void setMtpDevice(std::shared_ptr<MtpDevice> device);
    /// A copy of the bound transport; null before discovery bound one. Thread-safe.
    std::shared_ptr<MtpDevice> getMtpDevice() const;
    /// Binds the camera's current transport object, for discovery, which calls it under its
    /// process-wide lock: never blocks and never calls a listener. Binding another object while
    /// connected ends that connection (see the implementation's header).
    virtual void rebindTransport(const std::shared_ptr<MtpDevice>& transport) = 0;

private:
    mutable Mutex mtpDeviceMutex;
    std::shared_ptr<MtpDevice> mtpDevice GUARDED_BY(mtpDeviceMutex);
};

/// A disconnected adapter for a Quorin camera owned by `host`, with no transport bound yet.
std::shared_ptr<CameraDeviceMtpUsbAdapter> createQuorinAdapter(std::weak_ptr<AdapterHost> host);

}  // namespace Corvane::CameraController::Impl
