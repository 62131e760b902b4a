// Library-side access to camera device settings, for the device-settings codec.
#pragma once

#include <memory>
#include <string>

#include "corvane/camera_controller/device_settings.hpp"

namespace Corvane::CameraController::Impl {

class CameraDeviceSettingAccess {
public:
    CameraDeviceSettingAccess() = delete;

    /// The fixed name of device setting class T ("CameraTime" for CameraTime).
    template <class T>
    static const std::string& nameOf() {
        return T::Name;
    }

    /// A LiveViewSpecification holding a new value built from `image`.
    static std::unique_ptr<LiveViewSpecification> makeLiveViewSpecification(
        const LiveViewImage& image);
    /// A copy of `value`, of its own concrete class; throws std::invalid_argument when the class
    /// is neither CameraTimeValue nor LiveViewSpecificationValue.
    static std::unique_ptr<CameraDeviceSettingValue> cloneValue(
        const CameraDeviceSettingValue& value);
};

}  // namespace Corvane::CameraController::Impl
