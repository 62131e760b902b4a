// Built only where libusb is available; the engine itself does not need it.
#if __has_include(<libusb.h>)

#include "mtp/usb/still_image_interface.hpp"

#include <cstdio>

namespace Corvane::CameraController::Impl {
namespace {

constexpr uint8_t kClassImage = 6;
constexpr uint8_t kSubclassStillImage = 1;
constexpr uint8_t kProtocolPtp = 1;

bool isStillImage(const libusb_interface_descriptor& setting) {
    return setting.bInterfaceClass == kClassImage &&
           setting.bInterfaceSubClass == kSubclassStillImage &&
           setting.bInterfaceProtocol == kProtocolPtp;
}

std::optional<StillImageInterface> endpointsOf(const libusb_interface_descriptor& setting) {
    StillImageInterface found;
    found.interfaceNumber = setting.bInterfaceNumber;
    found.altSetting = setting.bAlternateSetting;
    for (int i = 0; i < setting.bNumEndpoints && setting.endpoint != nullptr; ++i) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
        const bool in =
            (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
        switch (endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) {
            case LIBUSB_TRANSFER_TYPE_BULK:
                (in ? found.bulkIn : found.bulkOut) = endpoint.bEndpointAddress;
                // Bits 11-12 count extra transactions per microframe, not bytes.
                if (in || found.packetSize == 0) {
                    found.packetSize = endpoint.wMaxPacketSize & 0x7FF;
                }
                break;
            case LIBUSB_TRANSFER_TYPE_INTERRUPT:
                if (in) {
                    found.interruptIn = endpoint.bEndpointAddress;
                }
                break;
            default:
                break;
        }
    }
    if (found.bulkIn == 0 || found.bulkOut == 0 || found.packetSize == 0) {
        return std::nullopt;
    }
    return found;
}

}  // namespace

std::optional<StillImageInterface> findStillImageInterface(const libusb_config_descriptor& config) {
    for (int i = 0; i < config.bNumInterfaces && config.interface != nullptr; ++i) {
        const libusb_interface& interface = config.interface[i];
        for (int s = 0; s < interface.num_altsetting && interface.altsetting != nullptr; ++s) {
            const libusb_interface_descriptor& setting = interface.altsetting[s];
            if (!isStillImage(setting)) {
                continue;
            }
            if (auto found = endpointsOf(setting)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

std::string usbDeviceKey(uint8_t bus, const std::vector<uint8_t>& portPath, uint8_t address) {
    std::string key = "usb:" + std::to_string(bus) + "-";
    for (size_t i = 0; i < portPath.size(); ++i) {
        key += (i == 0 ? "" : ".") + std::to_string(portPath[i]);
    }
    return key + "@" + std::to_string(address);
}

std::string usbDeviceNode(uint8_t bus, uint8_t address) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", static_cast<unsigned>(bus),
                  static_cast<unsigned>(address));
    return path;
}

}  // namespace Corvane::CameraController::Impl

#endif
