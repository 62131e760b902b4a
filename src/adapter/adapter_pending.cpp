// Placeholders that let the adapter link while its operations are being written. Each one
// fails cleanly; the weak ones give way to the real definitions in the owning source files.
#include <ostream>

#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "model/list_images_response.hpp"

namespace Corvane::CameraController::Impl {

namespace {
Response notYet() {
    return Response(Result::Error,
                    std::make_shared<Error>(ErrorCode::NotSupported, "Not Supported"));
}
}  // namespace

#define CORVANE_WEAK __attribute__((weak))

CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::focus(int32_t) {
    return notYet();
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::focus(const Point&) {
    return notYet();
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::focus() {
    return notYet();
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::setFocusPoint(const Point&) {
    return notYet();
}
CORVANE_WEAK Response
QuorinCameraDeviceMtpUsbAdapter::getCameraDeviceSettings(const std::vector<CameraDeviceSetting*>&) {
    return notYet();
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::setCameraDeviceSettings(
    const std::vector<const CameraDeviceSetting*>&) {
    return notYet();
}

// Events, capture and images: written in their own files.
CORVANE_WEAK StartCaptureResponse QuorinCameraDeviceMtpUsbAdapter::startCapture(const Point&) {
    return StartCaptureResponse(Result::Error);
}
CORVANE_WEAK StartCaptureResponse QuorinCameraDeviceMtpUsbAdapter::startCapture(bool) {
    return StartCaptureResponse(Result::Error);
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::stopCapture() {
    return notYet();
}
CORVANE_WEAK ListImagesResponse
QuorinCameraDeviceMtpUsbAdapter::listImages(std::shared_ptr<CameraStorage>) {
    return ListImagesResponse(notYet());
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::listImages() {
    return notYet();
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::getImageData(const CameraImage&,
                                                                    std::ostream&) {
    return notYet();
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::getImageThumbnail(const CameraImage&,
                                                                         std::ostream&) {
    return notYet();
}
CORVANE_WEAK Response QuorinCameraDeviceMtpUsbAdapter::deleteImage(const CameraImage&) {
    return notYet();
}
CORVANE_WEAK void QuorinCameraDeviceMtpUsbAdapter::startEventLoop() {}
CORVANE_WEAK void QuorinCameraDeviceMtpUsbAdapter::stopEventLoop() {}
CORVANE_WEAK void QuorinCameraDeviceMtpUsbAdapter::takeRememberedWords() {}
CORVANE_WEAK void QuorinCameraDeviceMtpUsbAdapter::finishMovieBeforeDisconnect() {}
CORVANE_WEAK void QuorinCameraDeviceMtpUsbAdapter::abandonPendingCaptures() {}
CORVANE_WEAK void QuorinCameraDeviceMtpUsbAdapter::stopListing(
    const std::shared_ptr<CameraStorage>&) {}

}  // namespace Corvane::CameraController::Impl
