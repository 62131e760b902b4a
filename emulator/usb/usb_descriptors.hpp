// The descriptors of the emulated camera as a USB device: one configuration with a
// still-image interface (class 6/1/1), bulk IN and OUT pipes and an interrupt IN pipe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::CameraController::Emulator::Usb {

/// Endpoint addresses and sizes the camera offers. High speed: 512-byte bulk packets.
struct UsbEndpoints {
    uint8_t bulkIn = 0x81;
    uint8_t bulkOut = 0x02;
    uint8_t interruptIn = 0x83;
    uint16_t bulkPacketSize = 512;
    uint16_t interruptPacketSize = 64;
};

/// Who the device says it is. The vendor and product ids are the shared test ids of an
/// open registry, not any real manufacturer's.
struct UsbIdentity {
    uint16_t vendorId = 0x1209;
    uint16_t productId = 0x0001;
    uint16_t bcdDevice = 0x0150;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
};

class UsbDescriptors {
public:
    UsbDescriptors(const UsbIdentity& identity, const UsbEndpoints& endpoints);

    const std::vector<uint8_t>& device() const { return device_; }
    /// The whole configuration: configuration, interface and endpoint descriptors.
    const std::vector<uint8_t>& configuration() const { return configuration_; }
    /// What sysfs shows in the device's `descriptors` file: device then configuration.
    std::vector<uint8_t> sysfsDescriptors() const;
    /// String descriptor `index` (0: the language list); nullopt for an unknown index.
    std::optional<std::vector<uint8_t>> string(uint8_t index) const;

    const UsbIdentity& identity() const { return identity_; }
    const UsbEndpoints& endpoints() const { return endpoints_; }

    static constexpr uint8_t kInterfaceNumber = 0;
    static constexpr uint8_t kConfigurationValue = 1;
    static constexpr uint8_t kControlPacketSize = 64;

private:
    UsbIdentity identity_;
    UsbEndpoints endpoints_;
    std::vector<uint8_t> device_;
    std::vector<uint8_t> configuration_;
};

}  // namespace Corvane::CameraController::Emulator::Usb
