// Building MTP requests and reading their answers, for tests that drive a device directly.
#pragma once

#include <cstdint>
#include <vector>

#include "mtp/mtp_device.hpp"

namespace Corvane::CameraController::Testing {

inline Impl::MtpRequest mtpRequest(uint16_t code, std::vector<uint32_t> parameters = {},
                                   Impl::MtpDataPhase phase = Impl::MtpDataPhase::None) {
    Impl::MtpRequest request;
    request.operationCode = code;
    request.parameters = std::move(parameters);
    request.dataPhase = phase;
    return request;
}

inline Impl::MtpRequest readRequest(uint16_t code, std::vector<uint32_t> parameters = {}) {
    return mtpRequest(code, std::move(parameters), Impl::MtpDataPhase::Read);
}

/// A Write data phase of `payload`, which must outlive the request.
inline Impl::MtpRequest writeRequest(uint16_t code, const std::vector<uint8_t>& payload,
                                     std::vector<uint32_t> parameters = {}) {
    Impl::MtpRequest request = mtpRequest(code, std::move(parameters), Impl::MtpDataPhase::Write);
    request.data = payload.data();
    request.dataSize = static_cast<uint32_t>(payload.size());
    return request;
}

/// The data phase of an answer; empty when there was none.
inline std::vector<uint8_t> bytesOf(const Impl::MtpResponse& response) {
    const uint8_t* data = response.data.get();
    return data == nullptr ? std::vector<uint8_t>{}
                           : std::vector<uint8_t>(data, data + response.dataSize);
}

}  // namespace Corvane::CameraController::Testing
