// The default device provider on Linux and macOS: still-image cameras on USB through libusb.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "mtp/mtp_device_provider.hpp"
#include "mtp/usb/libusb_handles.hpp"

namespace Corvane::CameraController::Impl {

/// Lists every USB device with a still-image interface. Listing reads descriptors only (no
/// device is opened); a candidate's open() claims the interface, detaching a kernel driver if
/// one holds it, and starts the session. A camera that cannot be opened for lack of permission
/// or because another process holds it produces one diagnostic line saying what to do.
/// Registered at library load; thread-safe.
class LibusbDeviceProvider : public MtpDeviceProvider {
public:
    std::vector<MtpDeviceCandidate> listDevices() override;

private:
    // Taken on the first listing and kept, so that detection does not start and stop libusb
    // (and its hotplug thread) every time.
    std::mutex contextMutex_;
    std::shared_ptr<LibusbContext> context_;
};

}  // namespace Corvane::CameraController::Impl
