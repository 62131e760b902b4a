// Makes Windows Portable Devices the source of MTP devices when the library loads.
#include "mtp/mtp_device_provider.hpp"
#include "mtp/wpd/com/com_wpd_api.hpp"
#include "mtp/wpd/wpd_device_provider.hpp"

namespace Corvane::CameraController::Impl {
namespace {

[[maybe_unused]] const bool wpdProviderRegistered = [] {
    registerDeviceProvider(std::make_shared<WpdDeviceProvider>(makeComWpdApi()));
    return true;
}();

}  // namespace
}  // namespace Corvane::CameraController::Impl
