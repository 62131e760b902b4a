// Recognising a USB still-image (PTP) interface from descriptors, and naming the device.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::CameraController::Impl {

/// Where a camera's PTP pipes are.
struct StillImageInterface {
    uint8_t interfaceNumber = 0;
    uint8_t altSetting = 0;
    uint8_t bulkIn = 0;
    uint8_t bulkOut = 0;
    uint8_t interruptIn = 0;  ///< 0 when the interface has no event endpoint
    uint16_t packetSize = 0;  ///< wMaxPacketSize of the bulk endpoints
};

/// The first interface setting of class 6 (image), subclass 1, protocol 1 that has a bulk-IN
/// and a bulk-OUT endpoint; nullopt when the configuration has none. Pure; reads only the
/// descriptor tree it is given.
std::optional<StillImageInterface> findStillImageInterface(const libusb_config_descriptor& config);

/// A name for the physical port, stable while the device stays plugged in: "usb:1-2.4@7" for
/// bus 1, ports 2 then 4, device address 7 (the address changes on every replug, so a camera
/// plugged again gets a fresh object).
std::string usbDeviceKey(uint8_t bus, const std::vector<uint8_t>& portPath, uint8_t address);

/// The device node Linux gives the device: "/dev/bus/usb/001/007".
std::string usbDeviceNode(uint8_t bus, uint8_t address);

}  // namespace Corvane::CameraController::Impl
