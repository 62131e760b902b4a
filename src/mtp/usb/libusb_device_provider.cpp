// Built only where libusb is available; the engine itself does not need it.
#if __has_include(<libusb.h>)

#include "mtp/usb/libusb_device_provider.hpp"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "common/diagnostics.hpp"
#include "mtp/usb/libusb_bulk_pipe.hpp"
#include "mtp/usb/ptp_usb_device.hpp"
#include "mtp/usb/still_image_interface.hpp"
#include "mtp/usb/usb_access_diagnostic.hpp"

namespace Corvane::CameraController::Impl {
namespace {

constexpr int kMaxPortDepth = 7;

std::optional<StillImageInterface> stillImageInterfaceOf(libusb_device* device) {
    libusb_config_descriptor* raw = nullptr;
    if (libusb_get_active_config_descriptor(device, &raw) != LIBUSB_SUCCESS) {
        // Unconfigured devices still describe their first configuration.
        if (libusb_get_config_descriptor(device, 0, &raw) != LIBUSB_SUCCESS) {
            return std::nullopt;
        }
    }
    const LibusbConfig config(raw);
    return findStillImageInterface(*config);
}

std::string keyOf(libusb_device* device) {
    uint8_t ports[kMaxPortDepth] = {};
    const int depth = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    return usbDeviceKey(libusb_get_bus_number(device),
                        std::vector<uint8_t>(ports, ports + std::max(depth, 0)),
                        libusb_get_device_address(device));
}

void reportOpenFailure(int error, libusb_device* device) {
    const std::string node =
        usbDeviceNode(libusb_get_bus_number(device), libusb_get_device_address(device));
    if (error == LIBUSB_ERROR_ACCESS) {
        writeDiagnostic(cameraAccessDeniedMessage(node));
    } else if (error == LIBUSB_ERROR_BUSY) {
        writeDiagnostic(cameraBusyMessage(node, findDeviceHolders("/proc", node, getpid())));
    }
}

std::unique_ptr<BulkPipe> claimPipe(const std::shared_ptr<LibusbContext>& context,
                                    libusb_device* device, const StillImageInterface& endpoints) {
    libusb_device_handle* raw = nullptr;
    int rc = libusb_open(device, &raw);
    if (rc != LIBUSB_SUCCESS) {
        reportOpenFailure(rc, device);
        return nullptr;
    }
    LibusbHandle handle(raw);
    // Not every platform can detach drivers (macOS cannot); claiming then says BUSY.
    libusb_set_auto_detach_kernel_driver(handle.get(), 1);
    rc = libusb_claim_interface(handle.get(), endpoints.interfaceNumber);
    if (rc != LIBUSB_SUCCESS) {
        reportOpenFailure(rc, device);
        return nullptr;
    }
    auto claim = std::make_unique<LibusbClaim>(handle.get(), endpoints.interfaceNumber);
    if (endpoints.altSetting != 0 &&
        libusb_set_interface_alt_setting(handle.get(), endpoints.interfaceNumber,
                                         endpoints.altSetting) != LIBUSB_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<LibusbBulkPipe>(context, std::move(handle), std::move(claim),
                                            endpoints);
}

std::shared_ptr<MtpDevice> openCamera(const std::shared_ptr<LibusbContext>& context,
                                      libusb_device* device, const StillImageInterface& endpoints) {
    auto pipe = claimPipe(context, device, endpoints);
    if (!pipe) {
        return nullptr;
    }
    auto camera = std::make_shared<PtpUsbDevice>(std::move(pipe));
    // A process that died mid-transaction can leave a stale answer queued; the failed first
    // attempt drains it, so one more try settles the camera.
    if (camera->open() || (camera->isConnected() && camera->open())) {
        return camera;
    }
    return nullptr;
}

// Registered at library load; the registry lives in a function-local static, so the order of
// static initialisation does not matter.
struct Registration {
    Registration() { registerDeviceProvider(std::make_shared<LibusbDeviceProvider>()); }
} const registration;

}  // namespace

std::vector<MtpDeviceCandidate> LibusbDeviceProvider::listDevices() {
    std::vector<MtpDeviceCandidate> candidates;
    std::shared_ptr<LibusbContext> context;
    {
        std::lock_guard<std::mutex> lock(contextMutex_);
        if (!context_) {
            context_ = LibusbContext::instance();
        }
        context = context_;
    }
    if (!context) {
        return candidates;
    }
    const LibusbDeviceList devices(context->get());
    for (libusb_device* device : devices) {
        const auto endpoints = stillImageInterfaceOf(device);
        if (!endpoints) {
            continue;
        }
        // The candidate keeps its own reference: the list is freed before open() runs.
        std::shared_ptr<libusb_device> ref(libusb_ref_device(device), LibusbDeviceUnref());
        candidates.push_back({keyOf(device), [context, ref, endpoints = *endpoints] {
                                  return openCamera(context, ref.get(), endpoints);
                              }});
    }
    return candidates;
}

}  // namespace Corvane::CameraController::Impl

#endif
