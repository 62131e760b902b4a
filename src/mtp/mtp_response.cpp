#include "mtp/mtp_response.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "mtp/mtp_datasets.hpp"

namespace Corvane::CameraController::Impl {
namespace {

// A size without a buffer counts as no data.
bool isOkWithData(const MtpResponse& response) {
    return response.responseCode == kMtpResponseOk && response.data && response.dataSize > 0;
}

}  // namespace

MtpBuffer makeMtpBuffer(const uint8_t* data, size_t size) {
    if (!data || size == 0) {
        return MtpBuffer(nullptr, &std::free);
    }
    auto* copy = static_cast<uint8_t*>(std::malloc(size));
    if (!copy) {
        throw std::bad_alloc();
    }
    std::memcpy(copy, data, size);
    return MtpBuffer(copy, &std::free);
}

MtpResponse makeMtpResponse(uint16_t responseCode, const std::vector<uint32_t>& parameters,
                            const uint8_t* data, size_t size) {
    MtpResponse response;
    response.responseCode = responseCode;
    if (responseCode == kMtpResponseOk) {
        const size_t count = std::min(parameters.size(), kMtpMaxParameters);
        response.parameters.assign(parameters.begin(), parameters.begin() + count);
    }
    const size_t kept = std::min<size_t>(size, std::numeric_limits<uint32_t>::max());
    response.data = makeMtpBuffer(data, kept);
    response.dataSize = response.data ? static_cast<uint32_t>(kept) : 0;
    return response;
}

bool objectHandlesOf(const MtpResponse& response, std::vector<uint32_t>& handles) {
    handles.clear();
    if (!isOkWithData(response)) {
        return false;
    }
    auto decoded = decodeU32Array(response.data.get(), response.dataSize);
    if (!decoded) {
        return false;
    }
    handles = std::move(*decoded);
    return true;
}

std::unique_ptr<MtpObjectInfo> objectInfoOf(const MtpResponse& response, uint32_t objectHandle) {
    if (!isOkWithData(response)) {
        return nullptr;
    }
    auto info = decodeObjectInfo(response.data.get(), response.dataSize);
    if (!info) {
        return nullptr;
    }
    info->objectHandle = objectHandle;
    return std::make_unique<MtpObjectInfo>(std::move(*info));
}

}  // namespace Corvane::CameraController::Impl
