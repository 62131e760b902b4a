// Builders for the containers and datasets the engine tests put in their scripts.
#pragma once

#include <cstdint>
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

}  // namespace Corvane::CameraController::Impl::Testing
