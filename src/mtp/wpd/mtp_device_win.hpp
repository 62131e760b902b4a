// The MTP transport over Windows Portable Devices.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "mtp/mtp_device.hpp"
#include "mtp/wpd/wpd_api.hpp"
#include "mtp/wpd/wpd_devices.hpp"
#include "mtp/wpd/wpd_transaction.hpp"

namespace Corvane::CameraController::Impl {

/// One WPD device, already opened with its session started (see openWpdDevice()). Every
/// transaction opens a WPD connection of its own and releases it at the end, so no COM object
/// outlives a call or crosses threads. Nothing is sent to the camera when the object goes.
class MtpDeviceWin : public MtpDevice {
public:
    MtpDeviceWin(std::shared_ptr<WpdApi> api, WpdDeviceHandle handle);

    /// Both only test presence: the device was opened when it was listed.
    bool open() override;
    bool close() override;
    /// Looks for the device's PnP id among the attached devices, up to five times 10 ms apart,
    /// so a device that is briefly missing while WPD refreshes its list still counts. Takes no
    /// lock; blocks about 50 ms for a detached device.
    bool isConnected() override;

    std::string getManufacturer() override;
    std::string getModel() override;
    std::string getFirmwareVersion() override;
    std::string getSerialNumber() override;

    /// One transaction under the device's mutex, all of its WPD commands included.
    MtpResponse execute(const MtpRequest& request) override;

    /// The device's identity inside the transport (the cut PnP id).
    const std::string& pnpDeviceId() const { return handle_.record.pnpDeviceId; }

private:
    void runExchange(const MtpRequest& request, WpdTransaction& transaction);

    const std::shared_ptr<WpdApi> api_;
    const WpdDeviceHandle handle_;
    std::mutex transactionMutex_;
};

}  // namespace Corvane::CameraController::Impl
