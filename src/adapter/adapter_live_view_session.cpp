// Live view: switching the camera's live view and the frame task.
#include "adapter/adapter_live_view_session.hpp"

#include <cstdlib>
#include <thread>
#include <vector>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/adapter_tasks.hpp"
#include "adapter/adapter_wire.hpp"
#include "adapter/camera_model_profile.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr std::chrono::milliseconds kFramePeriod{33};

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

LiveViewSession::~LiveViewSession() {
    running = false;
    const MutexLock lock(mutex);
    if (onOwnTask()) {
        // The task dropped its owner's last reference: it cannot wait for itself, and it no
        // longer touches this part.
        collectLater(std::move(task));
    } else {
        join();
    }
}

bool LiveViewSession::onOwnTask() const {
    return AdapterTaskMark::current(owner) == AdapterTask::LiveView;
}

Response LiveViewSession::start(std::weak_ptr<const void> lifetime) {
    if (onOwnTask()) {
        // From a frame listener: the task is this very thread and cannot be waited for.
        return running ? Response(Result::Ok)
                       : makeErrorResponse(ErrorCode::DeviceError, "Device Busy");
    }
    const MutexLock lock(mutex);
    if (running) {
        return Response(Result::Ok);
    }
    // A task that is still finishing sends its switch-off first; it must not overtake ours.
    join();
    const MtpResponse response =
        port.writeProperty(PropertyCode::LiveViewSwitch, switchValue(true));
    if (response.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(response);
    }
    running = true;
    task = std::async(std::launch::async, &LiveViewSession::runTask, this, std::move(lifetime));
    return Response(Result::Ok);
}

void LiveViewSession::stop() {
    if (onOwnTask()) {
        // Called from a frame listener: the task ends after this frame; waiting would hang.
        running = false;
        return;
    }
    const MutexLock lock(mutex);
    if (running) {
        running = false;
        join();
    }
}

void LiveViewSession::stopAndJoin() {
    running = false;
    if (onOwnTask()) {
        return;
    }
    const MutexLock lock(mutex);
    join();
}

void LiveViewSession::join() {
    if (task.valid() && !onOwnTask()) {
        task.wait();
    }
}

void LiveViewSession::runTask(std::weak_ptr<const void> lifetime) {
    // Declared first, so that it still marks the thread when the last reference to the owner
    // is dropped here and the owner, this part with it, is destroyed on this thread.
    const AdapterTaskMark mark(owner, AdapterTask::LiveView);
    for (;;) {
        const auto started = std::chrono::steady_clock::now();
        // Held for one frame only, so that the owner may be released while live view runs;
        // this part is not touched once it is gone.
        const auto alive = lifetime.lock();
        if (alive == nullptr) {
            return;
        }
        const Step step = fetchFrame();
        if (step == Step::Exit) {
            finish();
            return;
        }
        if (step == Step::NextAfterPause) {
            // Frames start at most every 33 ms; the transfer counts toward the pause, so a
            // large frame does not lower the rate below what the camera offers.
            std::this_thread::sleep_until(started + kFramePeriod);
        }
    }
}

LiveViewSession::Step LiveViewSession::fetchFrame() {
    if (!running) {
        return Step::Exit;
    }
    const auto host = port.lockHost();
    if (host == nullptr || !port.isConnected()) {
        return Step::Exit;
    }
    MtpRequest request;
    request.operationCode = OperationCode::LiveViewFrame;
    request.dataPhase = MtpDataPhase::Read;
    MtpResponse response = port.execute(request);
    if (response.responseCode != kResponseOk) {
        const auto current = port.getCondition();
        const bool movieMode =
            current != nullptr && (current->statusFlags() & StatusFlag::movieMode) != 0;
        // These bodies refuse frames while in movie mode; fetching on would never succeed.
        if (movieMode && modelProfile(host->getModel()).stopsLiveViewInMovieMode) {
            writeDiagnostic("[warning] stopLiveView");
            return Step::Exit;
        }
        // A refusing camera is asked again at the frame cadence, not at once: asking in a
        // tight loop would keep one core busy and starve the event task.
        return Step::NextAfterPause;
    }
    if (!isJpeg(response)) {
        return Step::Next;
    }
    // The transport's buffer becomes the frame: no copy, freed when the last listener lets go.
    const uint64_t size = response.dataSize;
    const std::shared_ptr<const unsigned char> frame(response.data.release(), &std::free);
    host->deliverEvent("liveViewFrameUpdated",
                       [&frame, size](CameraEventListener& listener,
                                      const std::shared_ptr<const CameraDevice>& sender) {
                           listener.liveViewFrameUpdated(sender, frame, size);
                       });
    return Step::NextAfterPause;
}

void LiveViewSession::finish() {
    if (port.isConnected()) {
        const MtpResponse response =
            port.writeProperty(PropertyCode::LiveViewSwitch, switchValue(false));
        if (response.responseCode != kResponseOk) {
            writeDiagnostic("[warning] StopLiveView network error");
        }
    }
    running = false;
}

}  // namespace Corvane::CameraController::Impl
