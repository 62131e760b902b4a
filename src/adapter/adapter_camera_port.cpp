#include "adapter/adapter_camera_port.hpp"

#include <utility>

#include "adapter/adapter_codes.hpp"

namespace Corvane::CameraController::Impl {

MtpResponse CameraPort::execute(uint16_t operationCode, std::vector<uint32_t> parameters) const {
    MtpRequest request;
    request.operationCode = operationCode;
    request.parameters = std::move(parameters);
    return execute(request);
}

MtpResponse CameraPort::readProperty(uint16_t operationCode, uint16_t propertyCode) const {
    MtpRequest request;
    request.operationCode = operationCode;
    request.parameters = {propertyCode};
    request.dataPhase = MtpDataPhase::Read;
    return execute(request);
}

MtpResponse CameraPort::writeProperty(uint16_t propertyCode,
                                      const std::vector<uint8_t>& value) const {
    MtpRequest request;
    request.operationCode = OperationCode::SetDevicePropValue;
    request.parameters = {propertyCode};
    request.dataPhase = MtpDataPhase::Write;
    request.data = value.data();
    request.dataSize = static_cast<uint32_t>(value.size());
    return execute(request);
}

std::string CameraPort::deviceModel() const {
    const auto owner = lockHost();
    return owner == nullptr ? std::string() : owner->getModel();
}

std::shared_ptr<QuorinCameraCondition> CameraPort::refreshedCondition() {
    updateCondition();
    return getCondition();
}

}  // namespace Corvane::CameraController::Impl
