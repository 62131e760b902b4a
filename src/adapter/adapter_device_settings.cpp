// Device settings: the camera's clock and the live view geometry.
#include <ctime>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_setting_codecs.hpp"
#include "adapter/adapter_wire.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/device_settings.hpp"

namespace Corvane::CameraController::Impl {

namespace {

/// The focus area centred in the image, as fractions of the image size.
LiveViewImage liveViewImageFrom(const LiveViewGeometry& geometry) {
    const int32_t width = geometry.width;
    const int32_t height = geometry.height;
    const auto dx = static_cast<float>((width - geometry.focusWidth) / 2);
    const auto dy = static_cast<float>((height - geometry.focusHeight) / 2);
    const auto w = static_cast<float>(width);
    const auto h = static_cast<float>(height);
    LiveViewImage image;
    image.width = width;
    image.height = height;
    image.focusArea = {Point{dx / w, dy / h}, Point{(w - dx) / w, dy / h},
                       Point{(w - dx) / w, (h - dy) / h}, Point{dx / w, (h - dy) / h}};
    return image;
}

/// The clock text of a 0x5011 answer; nullopt when it is cut short of the length its count
/// byte declares or is not a complete camera date.
std::optional<std::tm> parseCameraDateText(const MtpResponse& answer) {
    const uint8_t* data = answer.data.get();
    if (data == nullptr || answer.dataSize == 0) {
        return std::nullopt;
    }
    const std::string text = decodePtpString(data, answer.dataSize);
    const size_t declaredUnits = data[0] == 0 ? 0 : data[0] - 1U;
    if (text.size() < declaredUnits) {
        return std::nullopt;
    }
    return parseCameraDateTime(text);
}

}  // namespace

namespace DeviceSettingRead {

Response cameraTime(CameraPort& adapter, CameraDeviceSetting& setting) {
    const MtpResponse value =
        adapter.readProperty(OperationCode::GetDevicePropValue, PropertyCode::DateTime);
    if (value.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(value);
    }
    const auto parsed = parseCameraDateText(value);
    if (!parsed) {
        return makeErrorResponse(ErrorCode::DeviceError, "DateTime parse error");
    }
    std::tm broken = *parsed;
    const std::time_t time = std::mktime(&broken);
    if (time == static_cast<std::time_t>(-1)) {
        return makeErrorResponse(ErrorCode::NotSupported, "DateTime parse error");
    }
    setting.setValue(std::make_unique<CameraTimeValue>(static_cast<int64_t>(time)));
    return Response(Result::Ok);
}

Response liveViewSpecification(CameraPort& adapter, CameraDeviceSetting& setting) {
    const MtpResponse value =
        adapter.readProperty(OperationCode::GetDevicePropValue, PropertyCode::LiveViewGeometry);
    if (value.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(value);
    }
    const auto geometry = decodeLiveViewGeometry(value.data.get(), value.dataSize);
    // An empty image has no fractions to give.
    if (!geometry || geometry->width == 0 || geometry->height == 0) {
        return makeErrorResponse(ErrorCode::DeviceError, "Malformed live view geometry");
    }
    setting.setValue(std::make_unique<LiveViewSpecificationValue>(liveViewImageFrom(*geometry)));
    return Response(Result::Ok);
}

}  // namespace DeviceSettingRead

namespace DeviceSettingWrite {

Response cameraTime(CameraPort& adapter, const CameraDeviceSetting& setting) {
    if (!setting.hasValue()) {
        return makeErrorResponse(ErrorCode::InvalidValue, "CameraTime has no value");
    }
    const auto* value = dynamic_cast<const CameraTimeValue*>(&setting.getValue());
    const auto text = value == nullptr ? std::nullopt : formatCameraDateTime(value->get());
    if (!text) {
        return makeErrorResponse(ErrorCode::InvalidValue, "CameraTime out of range");
    }
    // The text is ASCII digits and 'T', so it widens to UTF-16 unit by unit; no locale.
    const MtpResponse written =
        adapter.writeProperty(PropertyCode::DateTime, encodePtpAsciiString(*text));
    if (written.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(written);
    }
    return Response(Result::Ok);
}

}  // namespace DeviceSettingWrite

}  // namespace Corvane::CameraController::Impl
