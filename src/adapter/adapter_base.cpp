#include "adapter/camera_device_mtp_usb_adapter.hpp"

namespace Corvane::CameraController::Impl {

void CameraDeviceMtpUsbAdapter::setMtpDevice(std::shared_ptr<MtpDevice> device) {
    const MutexLock lock(mtpDeviceMutex);
    mtpDevice = std::move(device);
}

std::shared_ptr<MtpDevice> CameraDeviceMtpUsbAdapter::getMtpDevice() const {
    const MutexLock lock(mtpDeviceMutex);
    return mtpDevice;
}

}  // namespace Corvane::CameraController::Impl
