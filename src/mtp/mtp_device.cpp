#include "mtp/mtp_device.hpp"

#include "mtp/mtp_datasets.hpp"
#include "mtp/mtp_response.hpp"

namespace Corvane::CameraController::Impl {
namespace {

constexpr uint16_t kGetDeviceInfo = 0x1001;
constexpr uint16_t kGetStorageIds = 0x1004;
constexpr uint16_t kGetStorageInfo = 0x1005;
constexpr uint16_t kGetObjectHandles = 0x1007;
constexpr uint16_t kGetObjectInfo = 0x1008;

MtpRequest readRequest(uint16_t operationCode, std::vector<uint32_t> parameters = {}) {
    MtpRequest request;
    request.operationCode = operationCode;
    request.parameters = std::move(parameters);
    request.dataPhase = MtpDataPhase::Read;
    return request;
}

// A size without a buffer counts as no data.
bool hasOkData(const MtpResponse& response) {
    return response.responseCode == kMtpResponseOk && response.data && response.dataSize > 0;
}

thread_local bool backgroundThread = false;

}  // namespace

BackgroundTransactions::BackgroundTransactions() : outer_(backgroundThread) {
    backgroundThread = true;
}

BackgroundTransactions::~BackgroundTransactions() {
    backgroundThread = outer_;
}

bool BackgroundTransactions::active() {
    return backgroundThread;
}

std::vector<uint16_t> MtpDevice::getSupportedOperations() {
    std::lock_guard<std::mutex> lock(supportedOperationsMutex_);
    return supportedOperations_;
}

bool MtpDevice::loadDeviceInfo() {
    const MtpResponse response = execute(readRequest(kGetDeviceInfo));
    if (!hasOkData(response)) {
        return false;
    }
    auto info = decodeDeviceInfo(response.data.get(), response.dataSize);
    if (!info) {
        return false;
    }
    std::lock_guard<std::mutex> lock(supportedOperationsMutex_);
    supportedOperations_ = std::move(info->operationsSupported);
    return true;
}

std::vector<uint32_t> MtpDevice::getStorageIds() {
    const MtpResponse response = execute(readRequest(kGetStorageIds));
    if (!hasOkData(response)) {
        return {};
    }
    return decodeU32Array(response.data.get(), response.dataSize).value_or(std::vector<uint32_t>{});
}

std::unique_ptr<MtpStorageInfo> MtpDevice::getStorageInfo(uint32_t storageId) {
    const MtpResponse response = execute(readRequest(kGetStorageInfo, {storageId}));
    if (!hasOkData(response)) {
        return nullptr;
    }
    auto info = decodeStorageInfo(response.data.get(), response.dataSize);
    if (!info) {
        return nullptr;
    }
    info->storageId = storageId;
    return std::make_unique<MtpStorageInfo>(std::move(*info));
}

bool MtpDevice::getObjectHandles(uint32_t storageId, uint16_t objectFormat,
                                 std::vector<uint32_t>& handles) {
    handles.clear();
    return objectHandlesOf(execute(readRequest(kGetObjectHandles, {storageId, objectFormat, 0})),
                           handles);
}

std::unique_ptr<MtpObjectInfo> MtpDevice::getObjectInfo(uint32_t objectHandle) {
    return objectInfoOf(execute(readRequest(kGetObjectInfo, {objectHandle})), objectHandle);
}

}  // namespace Corvane::CameraController::Impl
