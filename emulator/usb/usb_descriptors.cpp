#include "usb_descriptors.hpp"

#include <algorithm>

namespace Corvane::CameraController::Emulator::Usb {
namespace {

constexpr uint8_t kDescriptorDevice = 1;
constexpr uint8_t kDescriptorConfiguration = 2;
constexpr uint8_t kDescriptorString = 3;
constexpr uint8_t kDescriptorInterface = 4;
constexpr uint8_t kDescriptorEndpoint = 5;
constexpr uint8_t kClassStillImage = 6;
constexpr uint8_t kAttributesBulk = 2;
constexpr uint8_t kAttributesInterrupt = 3;

enum StringIndex : uint8_t { kLanguages = 0, kManufacturer = 1, kProduct = 2, kSerial = 3 };

void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void putEndpoint(std::vector<uint8_t>& out, uint8_t address, uint8_t attributes,
                 uint16_t packetSize, uint8_t interval) {
    out.insert(out.end(), {7, kDescriptorEndpoint, address, attributes});
    put16(out, packetSize);
    out.push_back(interval);
}

}  // namespace

UsbDescriptors::UsbDescriptors(const UsbIdentity& identity, const UsbEndpoints& endpoints)
    : identity_(identity), endpoints_(endpoints) {
    device_ = {18, kDescriptorDevice};
    put16(device_, 0x0200);
    // Class, subclass and protocol live in the interface.
    device_.insert(device_.end(), {0, 0, 0, kControlPacketSize});
    put16(device_, identity.vendorId);
    put16(device_, identity.productId);
    put16(device_, identity.bcdDevice);
    device_.insert(device_.end(), {kManufacturer, kProduct, kSerial, 1});

    auto& c = configuration_;
    c = {9, kDescriptorConfiguration, 0, 0, 1, kConfigurationValue, 0, 0xC0, 1};
    c.insert(c.end(), {9, kDescriptorInterface, kInterfaceNumber, 0, 3, kClassStillImage, 1, 1, 0});
    putEndpoint(c, endpoints.bulkIn, kAttributesBulk, endpoints.bulkPacketSize, 0);
    putEndpoint(c, endpoints.bulkOut, kAttributesBulk, endpoints.bulkPacketSize, 0);
    // 2^(7-1) microframes: the host asks for events every 8 ms.
    putEndpoint(c, endpoints.interruptIn, kAttributesInterrupt, endpoints.interruptPacketSize, 7);
    c[2] = static_cast<uint8_t>(c.size());
    c[3] = static_cast<uint8_t>(c.size() >> 8);
}

std::vector<uint8_t> UsbDescriptors::sysfsDescriptors() const {
    std::vector<uint8_t> all = device_;
    all.insert(all.end(), configuration_.begin(), configuration_.end());
    return all;
}

std::optional<std::vector<uint8_t>> UsbDescriptors::string(uint8_t index) const {
    const std::string* text = nullptr;
    switch (index) {
        case kLanguages:
            return std::vector<uint8_t>{4, kDescriptorString, 0x09, 0x04};  // US English
        case kManufacturer:
            text = &identity_.manufacturer;
            break;
        case kProduct:
            text = &identity_.product;
            break;
        case kSerial:
            text = &identity_.serialNumber;
            break;
        default:
            return std::nullopt;
    }
    // UTF-16LE; identity strings are ASCII. A descriptor holds at most 126 characters.
    const size_t length = std::min<size_t>(text->size(), 126);
    std::vector<uint8_t> out{static_cast<uint8_t>(2 + 2 * length), kDescriptorString};
    for (size_t i = 0; i < length; ++i) {
        put16(out, static_cast<uint8_t>((*text)[i]));
    }
    return out;
}

}  // namespace Corvane::CameraController::Emulator::Usb
