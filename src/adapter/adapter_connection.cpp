// Connection lifecycle and the camera condition.
#include <utility>

#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"

namespace Corvane::CameraController::Impl {

namespace {
constexpr uint16_t kGetCondition = 0x900F;
constexpr uint16_t kResponseOk = 0x2001;
}  // namespace

QuorinCameraDeviceMtpUsbAdapter::QuorinCameraDeviceMtpUsbAdapter(std::weak_ptr<CameraDevice> owner)
    : device(std::move(owner)) {}

QuorinCameraDeviceMtpUsbAdapter::~QuorinCameraDeviceMtpUsbAdapter() {
    stopRequested = true;
    liveViewRunning = false;
    if (liveViewTask.valid()) {
        liveViewTask.wait();
    }
    if (eventLoopFuture.valid()) {
        eventLoopFuture.wait();
    }
}

bool QuorinCameraDeviceMtpUsbAdapter::isConnected() const {
    const auto transport = getMtpDevice();
    return transport != nullptr && transport->isConnected() && connected;
}

MtpResponse QuorinCameraDeviceMtpUsbAdapter::execute(const MtpRequest& request) const {
    const auto transport = getMtpDevice();
    if (transport == nullptr) {
        return MtpResponse{};
    }
    return transport->execute(request);
}

MtpResponse QuorinCameraDeviceMtpUsbAdapter::execute(uint16_t operationCode,
                                                     std::vector<uint32_t> parameters) const {
    MtpRequest request;
    request.operationCode = operationCode;
    request.parameters = std::move(parameters);
    return execute(request);
}

std::shared_ptr<CameraDevice> QuorinCameraDeviceMtpUsbAdapter::lockDevice() const {
    return device.lock();
}

std::shared_ptr<QuorinCameraCondition> QuorinCameraDeviceMtpUsbAdapter::getCondition() const {
    const std::lock_guard<std::mutex> lock(conditionMutex);
    return condition;
}

bool QuorinCameraDeviceMtpUsbAdapter::updateCondition() {
    MtpRequest request;
    request.operationCode = kGetCondition;
    request.dataPhase = MtpDataPhase::Read;
    const MtpResponse response = execute(request);
    if (response.responseCode != kResponseOk) {
        return false;
    }
    auto fresh = std::make_shared<QuorinCameraCondition>(response.data.get(), response.dataSize);
    const std::lock_guard<std::mutex> lock(conditionMutex);
    condition = std::move(fresh);
    return true;
}

uint32_t QuorinCameraDeviceMtpUsbAdapter::storageSlotCount(const std::string& model) {
    if (model == "QUORIN Alto" || model == "QUORIN Grande" || model == "QUORIN Brio" ||
        model == "QUORIN Alto II") {
        return 2;
    }
    if (model == "QUORIN Cresta" || model == "QUORIN Delta" || model == "QUORIN Delta X") {
        return 1;
    }
    return 0;
}

}  // namespace Corvane::CameraController::Impl
