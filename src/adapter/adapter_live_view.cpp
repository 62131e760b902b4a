// Live view, the face's side: the session part does the work once the camera is connected.
#include "adapter/adapter_codes.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"

namespace Corvane::CameraController::Impl {

Response QuorinCameraDeviceMtpUsbAdapter::startLiveView() {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    return liveView.start(weak_from_this());
}

Response QuorinCameraDeviceMtpUsbAdapter::stopLiveView() {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    liveView.stop();
    return Response(Result::Ok);
}

}  // namespace Corvane::CameraController::Impl
