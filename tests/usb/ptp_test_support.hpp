// Builders for the containers and datasets the engine tests put in their scripts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mtp/usb/ptp_container.hpp"
#include "support/dataset_builder.hpp"

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

/// A DeviceInfo dataset with this identity and these operations.
inline std::vector<uint8_t> deviceInfoBytes(const std::string& manufacturer,
                                            const std::string& model, const std::string& version,
                                            const std::string& serial,
                                            const std::vector<uint16_t>& operations) {
    return CameraController::Testing::deviceInfoDataset(
        {operations, manufacturer, model, version, serial, {}, {0x5001}});
}

}  // namespace Corvane::CameraController::Impl::Testing
