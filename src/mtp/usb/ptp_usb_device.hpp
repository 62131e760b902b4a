// MtpDevice over any BulkPipe: the PTP transaction engine.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "mtp/mtp_device.hpp"
#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/ptp_transaction.hpp"

namespace Corvane::CameraController::Impl {

/// Runs PTP transactions over a BulkPipe, one at a time per device (guarded by the device's
/// transaction mutex), with increasing transaction ids. The libusb binding, the emulator's
/// in-memory pipe and the camemu socket client all use this one engine.
class PtpUsbDevice : public MtpDevice {
public:
    explicit PtpUsbDevice(std::unique_ptr<BulkPipe> pipe, PtpLimits limits = {});
    ~PtpUsbDevice() override;

    /// Claims the interface again after close(); OpenSession (session 1) unless this device
    /// already has its session open, whose transaction ids then go on; then GetDeviceInfo to
    /// fix the identity strings (Manufacturer, Model, DeviceVersion, SerialNumber) and cache
    /// OperationsSupported. A session found open that this device did not open (a program
    /// that died left it) is ended with the class reset and opened anew. Blocks for a few
    /// transactions. True when the session is open and GetDeviceInfo succeeded.
    bool open() override;
    /// Ends the session with CloseSession and releases the interface, so that other programs
    /// can use the camera while this object is still held. open() takes it back.
    bool close() override;
    bool isConnected() override;
    std::string getManufacturer() override;
    std::string getModel() override;
    std::string getFirmwareVersion() override;
    std::string getSerialNumber() override;
    MtpResponse execute(const MtpRequest& request) override;
    uint64_t sessionNumber() override;

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

}  // namespace Corvane::CameraController::Impl
