#include "model/camera_device_setting_access.hpp"

#include <stdexcept>

namespace Corvane::CameraController::Impl {

std::unique_ptr<LiveViewSpecification> CameraDeviceSettingAccess::makeLiveViewSpecification(
    const LiveViewImage& image) {
    return std::unique_ptr<LiveViewSpecification>(new LiveViewSpecification(image));
}

std::unique_ptr<CameraDeviceSettingValue> CameraDeviceSettingAccess::cloneValue(
    const CameraDeviceSettingValue& value) {
    if (const auto* time = dynamic_cast<const CameraTimeValue*>(&value)) {
        return std::make_unique<CameraTimeValue>(*time);
    }
    if (const auto* liveView = dynamic_cast<const LiveViewSpecificationValue*>(&value)) {
        return std::make_unique<LiveViewSpecificationValue>(*liveView);
    }
    throw std::invalid_argument("not a camera device setting value");
}

}  // namespace Corvane::CameraController::Impl
