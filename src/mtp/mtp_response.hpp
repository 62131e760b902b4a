// Helpers for bindings that build MtpResponse records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mtp/mtp_device.hpp"

namespace Corvane::CameraController::Impl {

inline constexpr uint16_t kMtpResponseOk = 0x2001;
inline constexpr size_t kMtpMaxParameters = 5;

/// A malloc'ed copy of `size` bytes; null for size 0 or null data. Throws std::bad_alloc when
/// memory is exhausted.
MtpBuffer makeMtpBuffer(const uint8_t* data, size_t size);

/// A response that keeps the transport contract: parameters only with 0x2001 and at most five,
/// data copied whatever the code. `size` must fit in 32 bits (larger data is cut at 4 GiB - 1).
MtpResponse makeMtpResponse(uint16_t responseCode, const std::vector<uint32_t>& parameters,
                            const uint8_t* data = nullptr, size_t size = 0);

/// The handles of a GetObjectHandles answer: false unless it is 0x2001 with a whole array
/// (which may be empty). `handles` is emptied first.
bool objectHandlesOf(const MtpResponse& response, std::vector<uint32_t>& handles);

/// The ObjectInfo of a GetObjectInfo answer for `objectHandle`; null unless it is 0x2001 with
/// a whole dataset.
std::unique_ptr<MtpObjectInfo> objectInfoOf(const MtpResponse& response, uint32_t objectHandle);

}  // namespace Corvane::CameraController::Impl
