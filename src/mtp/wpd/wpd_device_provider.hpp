// Windows Portable Devices as a source of MTP devices for getDevices().
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "mtp/mtp_device_provider.hpp"
#include "mtp/wpd/wpd_api.hpp"

namespace Corvane::CameraController::Impl {

/// Lists the WPD devices under the key wpdDeviceKey() gives their PnP id, so the registry
/// behind getDevices() hands out one MtpDeviceWin per id while it is held and the camera sees
/// one OpenSession for it. Ids that agree in their first 512 bytes are one device: it is
/// listed once, at the place of its first id.
///
/// Registered on Windows only; elsewhere it serves the tests with a fake WpdApi.
class WpdDeviceProvider : public MtpDeviceProvider {
public:
    explicit WpdDeviceProvider(std::shared_ptr<WpdApi> api);

    /// Starts COM on the first calling thread, then lists. Opening a candidate starts the
    /// session, reads the identity and loads the device info.
    std::vector<MtpDeviceCandidate> listDevices() override;

private:
    std::vector<MtpDeviceCandidate> listCandidates();

    const std::shared_ptr<WpdApi> api_;
    std::once_flag comStarted_;
};

}  // namespace Corvane::CameraController::Impl
