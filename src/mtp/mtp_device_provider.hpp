// Device providers: where getDevices() finds MTP devices (libusb, the emulator, WPD).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mtp/mtp_device.hpp"

namespace Corvane::CameraController::Impl {

/// A device a provider can see now, not yet opened.
struct MtpDeviceCandidate {
    /// Stable while the device stays attached (USB: bus + port path + serial; emulator: its id).
    /// The registry hands out the same MtpDevice object for the same key while it is held.
    std::string key;
    /// Opens the device: starts the MTP session (OpenSession, session 1), reads the four
    /// identity strings and calls loadDeviceInfo() once. Returns null when the device cannot
    /// be opened (it is then left out silently). Called without any registry lock held, may
    /// block for the duration of a few transactions.
    std::function<std::shared_ptr<MtpDevice>()> open;
};

/// A source of MTP devices. Implementations must be thread-safe: listDevices() may be called
/// from any thread, though the registry never calls one provider from two threads at once.
class MtpDeviceProvider {
public:
    virtual ~MtpDeviceProvider() = default;
    /// The devices attached now, in the platform's listing order. Must not throw; returns an
    /// empty list when nothing is attached or the platform fails.
    virtual std::vector<MtpDeviceCandidate> listDevices() = 0;
};

/// Adds a provider after those registered before it. Its devices are listed after theirs.
void registerDeviceProvider(const std::shared_ptr<MtpDeviceProvider>& provider);
/// Removes a provider; devices it handed out stay valid while held.
void unregisterDeviceProvider(const std::shared_ptr<MtpDeviceProvider>& provider);

/// The MTP devices attached now across every provider, each opened with its session started,
/// its identity read and loadDeviceInfo() called once. The same object is returned for the
/// same attached device (same provider and key) as long as anyone else holds it and it is
/// still connected. Thread-safe; blocks while new devices are opened.
std::vector<std::shared_ptr<MtpDevice>> getDevices();

}  // namespace Corvane::CameraController::Impl
