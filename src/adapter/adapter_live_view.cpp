// Live view: switching the camera's live view and the frame task.
#include <cstdlib>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_wire.hpp"
#include "adapter/camera_model_profile.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "adapter/adapter_host.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_list_impl.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr std::chrono::milliseconds kFramePeriod{33};

// These bodies refuse frames while in movie mode; fetching on would never succeed.
bool stopsLiveViewInMovieMode(const std::string& model) {
    return modelProfile(model).stopsLiveViewInMovieMode;
}

std::vector<uint8_t> switchValue(bool on) {
    std::vector<uint8_t> value;
    appendLittleEndian(value, on ? 1 : 0, 4);
    return value;
}

bool isJpeg(const MtpResponse& response) {
    return response.data != nullptr && response.dataSize >= 2 && response.data.get()[0] == 0xFF &&
           response.data.get()[1] == 0xD8;
}

}  // namespace

Response QuorinCameraDeviceMtpUsbAdapter::startLiveView() {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    if (runsOnOwnTask(AdapterTask::LiveView)) {
        // From a frame listener: the task is this very thread and cannot be waited for.
        return liveViewRunning ? Response(Result::Ok)
                               : makeErrorResponse(ErrorCode::DeviceError, "Device Busy");
    }
    const MutexLock lock(liveViewMutex);
    if (liveViewRunning) {
        return Response(Result::Ok);
    }
    // A task that is still finishing sends its switch-off first; it must not overtake ours.
    joinLiveViewTask();
    const MtpResponse response = writeProperty(PropertyCode::LiveViewSwitch, switchValue(true));
    if (response.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(response);
    }
    liveViewRunning = true;
    liveViewTask = std::async(std::launch::async, &QuorinCameraDeviceMtpUsbAdapter::liveViewLoop,
                              this, weak_from_this());
    return Response(Result::Ok);
}

Response QuorinCameraDeviceMtpUsbAdapter::stopLiveView() {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    if (runsOnOwnTask(AdapterTask::LiveView)) {
        // Called from a frame listener: the task ends after this frame; waiting would hang.
        liveViewRunning = false;
        return Response(Result::Ok);
    }
    const MutexLock lock(liveViewMutex);
    if (liveViewRunning) {
        liveViewRunning = false;
        joinLiveViewTask();
    }
    return Response(Result::Ok);
}

void QuorinCameraDeviceMtpUsbAdapter::joinLiveViewTask() {
    // On the task's own thread (a frame listener disconnecting) the task ends after the
    // listener returns; waiting for it here would never return.
    if (liveViewTask.valid() && !runsOnOwnTask(AdapterTask::LiveView)) {
        liveViewTask.wait();
    }
}

void QuorinCameraDeviceMtpUsbAdapter::liveViewLoop(const void* owner,
                                                   std::weak_ptr<CameraDeviceAdapter> adapter) {
    // Declared first, so that it still marks the thread when the last reference to the
    // adapter is dropped here and the adapter is destroyed on this thread.
    const AdapterTaskMark mark(owner, AdapterTask::LiveView);
    for (;;) {
        const auto started = std::chrono::steady_clock::now();
        const auto self = std::static_pointer_cast<QuorinCameraDeviceMtpUsbAdapter>(adapter.lock());
        if (self == nullptr) {
            return;
        }
        const LiveViewStep step = self->fetchLiveViewFrame();
        if (step == LiveViewStep::Exit) {
            self->finishLiveView();
            return;
        }
        if (step == LiveViewStep::NextAfterPause) {
            // Frames start at most every 33 ms; the transfer counts toward the pause, so a
            // large frame does not lower the rate below what the camera offers.
            std::this_thread::sleep_until(started + kFramePeriod);
        }
    }
}

QuorinCameraDeviceMtpUsbAdapter::LiveViewStep
QuorinCameraDeviceMtpUsbAdapter::fetchLiveViewFrame() {
    if (!liveViewRunning) {
        return LiveViewStep::Exit;
    }
    const auto owner = lockHost();
    if (owner == nullptr || !isConnected()) {
        return LiveViewStep::Exit;
    }
    MtpRequest request;
    request.operationCode = OperationCode::LiveViewFrame;
    request.dataPhase = MtpDataPhase::Read;
    MtpResponse response = execute(request);
    if (response.responseCode != kResponseOk) {
        const auto current = getCondition();
        const bool movieMode =
            current != nullptr && (current->statusFlags() & StatusFlag::movieMode) != 0;
        if (movieMode && stopsLiveViewInMovieMode(owner->getModel())) {
            writeDiagnostic("[warning] stopLiveView");
            return LiveViewStep::Exit;
        }
        // A refusing camera is asked again at the frame cadence, not at once: asking in a
        // tight loop would keep one core busy and starve the event task.
        return LiveViewStep::NextAfterPause;
    }
    if (!isJpeg(response)) {
        return LiveViewStep::Next;
    }
    // The transport's buffer becomes the frame: no copy, freed when the last listener lets go.
    const uint64_t size = response.dataSize;
    const std::shared_ptr<const unsigned char> frame(response.data.release(), &std::free);
    owner->deliverEvent("liveViewFrameUpdated",
                        [&frame, size](CameraEventListener& listener,
                                       const std::shared_ptr<const CameraDevice>& sender) {
                            listener.liveViewFrameUpdated(sender, frame, size);
                        });
    return LiveViewStep::NextAfterPause;
}

void QuorinCameraDeviceMtpUsbAdapter::finishLiveView() {
    if (isConnected()) {
        const MtpResponse response =
            writeProperty(PropertyCode::LiveViewSwitch, switchValue(false));
        if (response.responseCode != kResponseOk) {
            writeDiagnostic("[warning] StopLiveView network error");
        }
    }
    liveViewRunning = false;
}

}  // namespace Corvane::CameraController::Impl
