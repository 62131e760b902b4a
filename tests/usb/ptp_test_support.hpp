// Builders for the containers and datasets the engine tests put in their scripts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mtp/usb/ptp_container.hpp"

namespace Corvane::CameraController::Impl::Testing {

inline std::vector<uint8_t> commandBytes(uint16_t code, uint32_t transactionId,
                                         std::vector<uint32_t> parameters = {}) {
    return Ptp::encodeContainer(
        {Ptp::ContainerType::Command, code, transactionId, std::move(parameters)});
}

inline std::vector<uint8_t> responseBytes(uint16_t code, uint32_t transactionId,
                                          std::vector<uint32_t> parameters = {}) {
    return Ptp::encodeContainer(
        {Ptp::ContainerType::Response, code, transactionId, std::move(parameters)});
}

inline std::vector<uint8_t> dataBytes(uint16_t code, uint32_t transactionId,
                                      const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> bytes(Ptp::kHeaderSize);
    Ptp::encodeDataHeader(code, transactionId, payload.size(), bytes.data());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

/// Bytes that differ from their neighbours, so a shifted or dropped block shows.
inline std::vector<uint8_t> pattern(size_t size, uint32_t seed = 1) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

class DatasetWriter {
public:
    DatasetWriter& u16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    DatasetWriter& u32(uint32_t v) { return u16(static_cast<uint16_t>(v)).u16(v >> 16); }
    DatasetWriter& string(const std::string& ascii) {
        if (ascii.empty()) {
            bytes_.push_back(0);
            return *this;
        }
        bytes_.push_back(static_cast<uint8_t>(ascii.size() + 1));
        for (char c : ascii) {
            u16(static_cast<uint8_t>(c));
        }
        return u16(0);
    }
    DatasetWriter& u16Array(const std::vector<uint16_t>& values) {
        u32(static_cast<uint32_t>(values.size()));
        for (uint16_t v : values) {
            u16(v);
        }
        return *this;
    }
    std::vector<uint8_t> bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

inline std::vector<uint8_t> deviceInfoBytes(const std::string& manufacturer,
                                            const std::string& model, const std::string& version,
                                            const std::string& serial,
                                            const std::vector<uint16_t>& operations) {
    return DatasetWriter()
        .u16(100)
        .u32(6)
        .u16(100)
        .string("")
        .u16(0)
        .u16Array(operations)
        .u16Array({})
        .u16Array({0x5001})
        .u16Array({})
        .u16Array({0x3801})
        .string(manufacturer)
        .string(model)
        .string(version)
        .string(serial)
        .bytes();
}

}  // namespace Corvane::CameraController::Impl::Testing
