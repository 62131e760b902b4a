// Builds little-endian PTP datasets byte by byte for tests. Independent of the library's
// decoders on purpose, so that a layout mistake shows up as a failing test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::CameraController::Testing {

class DatasetBuilder {
public:
    DatasetBuilder& u8(uint8_t value) {
        bytes_.push_back(value);
        return *this;
    }
    DatasetBuilder& u16(uint16_t value) { return little(value, 2); }
    DatasetBuilder& u32(uint32_t value) { return little(value, 4); }
    DatasetBuilder& u64(uint64_t value) { return little(value, 8); }

    /// A PTP string from ASCII text: N = length + 1 (the NUL), or N = 0 for "".
    DatasetBuilder& string(const std::string& ascii) {
        std::vector<uint16_t> units(ascii.begin(), ascii.end());
        return utf16(units);
    }
    /// A PTP string from raw UTF-16 units; a terminating NUL is added unless `units` is empty.
    DatasetBuilder& utf16(const std::vector<uint16_t>& units) {
        if (units.empty()) {
            return u8(0);
        }
        u8(static_cast<uint8_t>(units.size() + 1));
        for (const uint16_t unit : units) {
            u16(unit);
        }
        return u16(0);
    }
    DatasetBuilder& u16Array(const std::vector<uint16_t>& values) { return array(values, 2); }
    DatasetBuilder& u32Array(const std::vector<uint32_t>& values) { return array(values, 4); }

    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    template <class T>
    DatasetBuilder& array(const std::vector<T>& values, int width) {
        u32(static_cast<uint32_t>(values.size()));
        for (const T value : values) {
            little(value, width);
        }
        return *this;
    }
    DatasetBuilder& little(uint64_t value, int width) {
        for (int i = 0; i < width; ++i) {
            bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
        return *this;
    }

    std::vector<uint8_t> bytes_;
};

/// Identity and operation lists for deviceInfoDataset().
struct DeviceInfoFields {
    std::vector<uint16_t> operations;
    std::string manufacturer = "Quorin";
    std::string model = "QUORIN Alto";
    std::string deviceVersion = "1.00";
    std::string serialNumber = "0000001";
    std::vector<uint16_t> events;
    std::vector<uint16_t> properties;
};

/// A whole standard DeviceInfo dataset.
inline std::vector<uint8_t> deviceInfoDataset(const DeviceInfoFields& fields) {
    return DatasetBuilder()
        .u16(100)
        .u32(6)
        .u16(100)
        .string("microsoft.com: 1.0")
        .u16(0)
        .u16Array(fields.operations)
        .u16Array(fields.events)
        .u16Array(fields.properties)
        .u16Array({0x3801})
        .u16Array({0x3801, 0x3000})
        .string(fields.manufacturer)
        .string(fields.model)
        .string(fields.deviceVersion)
        .string(fields.serialNumber)
        .bytes();
}

}  // namespace Corvane::CameraController::Testing
