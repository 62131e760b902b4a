// Focus: autofocus at a point of the frame and stepwise focus drive.
#include <cstdlib>
#include <stdexcept>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_wire.hpp"
#include "adapter/camera_model_profile.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr Point kCentre{0.5f, 0.5f};

Response fromResponseCode(const MtpResponse& response) {
    if (response.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(response);
    }
    return Response(Result::Ok);
}

// NaN fails both comparisons, so it is refused as well.
bool isInFrame(float coordinate) {
    return coordinate >= 0.0f && coordinate <= 1.0f;
}

uint16_t scaleToPixels(uint16_t extent, float fraction) {
    return static_cast<uint16_t>(static_cast<float>(extent) * fraction);
}

}  // namespace

Response QuorinCameraDeviceMtpUsbAdapter::setFocusPoint(const Point& point) {
    if (!isInFrame(point.x) || !isInFrame(point.y)) {
        return makeErrorResponse(ErrorCode::InvalidValue, "Out of range");
    }
    const MtpResponse value =
        readProperty(OperationCode::GetDevicePropValue, PropertyCode::LiveViewGeometry);
    if (value.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(value);
    }
    const auto geometry = decodeLiveViewSize(value.data.get(), value.dataSize);
    if (!geometry) {
        return makeErrorResponse(ErrorCode::DeviceError, "Malformed live view geometry");
    }
    const std::vector<uint8_t> focusPoint = encodeAutofocusPoint(
        scaleToPixels(geometry->width, point.x), scaleToPixels(geometry->height, point.y));
    return fromResponseCode(writeProperty(PropertyCode::AutofocusPoint, focusPoint));
}

Response QuorinCameraDeviceMtpUsbAdapter::focus(const Point& point) {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    const Response placed = setFocusPoint(point);
    if (placed.getResult() != Result::Ok) {
        return placed;
    }
    return fromResponseCode(execute(OperationCode::ShutterButtonAction, {0, 1, 0, 0, 0}));
}

Response QuorinCameraDeviceMtpUsbAdapter::focus() {
    return focus(kCentre);
}

Response QuorinCameraDeviceMtpUsbAdapter::focus(int32_t adjustment) {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    if (lockHost() == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    if (isOperationSupported(OperationCode::FocusMoveSteps)) {
        return fromResponseCode(execute(OperationCode::FocusMoveSteps,
                                        {static_cast<uint32_t>(adjustment), 0, 0, 0, 0}));
    }
    if (!isOperationSupported(OperationCode::FocusMoveCoarse)) {
        throw std::runtime_error("Not Supported");
    }
    const auto current = getCondition();
    const bool recording =
        current != nullptr && (current->statusFlags() & StatusFlag::movieRecording) != 0;
    const std::string model = deviceModel();
    // These bodies move the focus coarsely only while live view shows the result.
    const bool needsLiveView = modelProfile(model).focusNeedsLiveView;
    if (recording || (needsLiveView && !liveView.isRunning())) {
        return makeErrorResponse(ErrorCode::DeviceError, "Device Busy");
    }
    // Widened first: the magnitude of INT32_MIN does not fit in 32 bits.
    const uint64_t magnitude = static_cast<uint64_t>(std::llabs(static_cast<int64_t>(adjustment)));
    const auto steps = static_cast<uint32_t>(magnitude * 4 / 25);
    const uint32_t direction = adjustment >= 0 ? 1 : 0;
    return fromResponseCode(execute(OperationCode::FocusMoveCoarse, {steps, direction, 0, 0, 0}));
}

}  // namespace Corvane::CameraController::Impl
