// MtpDevice over any BulkPipe: the PTP transaction engine.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "mtp/mtp_device.hpp"
#include "mtp/usb/bulk_pipe.hpp"

namespace Corvane::CameraController::Impl {

/// Runs PTP transactions over a BulkPipe, one at a time per device (guarded by the device's
/// transaction mutex), with increasing transaction ids. The libusb binding, the emulator's
/// in-memory pipe and the camemu socket client all use this one engine.
class PtpUsbDevice : public MtpDevice {
public:
    explicit PtpUsbDevice(std::unique_ptr<BulkPipe> pipe);
    ~PtpUsbDevice() override;

    /// OpenSession (session 1), then GetDeviceInfo to fix the identity strings (Manufacturer,
    /// Model, DeviceVersion, SerialNumber) and cache OperationsSupported. Blocks for two
    /// transactions. True when both succeeded (an already open session counts as success).
    bool open() override;
    bool close() override;
    bool isConnected() override;
    std::string getManufacturer() override;
    std::string getModel() override;
    std::string getFirmwareVersion() override;
    std::string getSerialNumber() override;
    MtpResponse execute(const MtpRequest& request) override;

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

}  // namespace Corvane::CameraController::Impl
