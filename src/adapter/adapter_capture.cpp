// Capture control: still and movie starts, the movie stop, and the pending-capture bookkeeping
// that event processing finishes.
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "adapter/adapter_capture_id.hpp"
#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/camera_model_profile.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_impl.hpp"
#include "model/camera_storage_list_impl.hpp"
#include "model/capture_impl.hpp"

namespace Corvane::CameraController::Impl {

namespace {

using std::chrono::milliseconds;
using namespace std::chrono_literals;

constexpr int kStillStartTries = 300;
constexpr int kMovieStartTries = 100;
constexpr milliseconds kStartPoll = 100ms;
constexpr milliseconds kListingPoll = 10ms;
constexpr int kMovieStopTries = 60;
constexpr int kMovieCaptureWaits = 180;
constexpr milliseconds kDisconnectPoll = 1000ms;
/// How long disconnect gives pending still captures to receive their files before it ends
/// them with state Unknown. A picture normally arrives within a second or two of the shot.
constexpr int kPendingCaptureWaits = 10;
/// How long after a recording ended a movie capture waits for a further file (a second card
/// may be too small to hold one) before it completes with the files it got.
constexpr std::chrono::seconds kMovieFileWait{10};

constexpr int32_t kBulbExposureMode = 9;

StartCaptureResponse startFailure(ErrorCode code, const std::string& message) {
    return StartCaptureResponse(Result::Error, std::make_shared<Error>(code, message));
}

StartCaptureResponse toStartCaptureResponse(const Response& response) {
    StartCaptureResponse copy(response.getResult());
    for (const auto& error : response.getErrors()) {
        copy.addError(error);
    }
    return copy;
}

/// Models and firmware that cannot record a movie under remote control.
bool refusesMovie(const std::string& model, const std::string& firmware) {
    return !modelProfile(model).recordsMovie(firmware);
}

int32_t filesForSlot(uint32_t inactive, uint32_t fileFormat) {
    if (inactive != 0) {
        return 0;
    }
    // Raw and JPEG together store two files per shot.
    return fileFormat == 3 || fileFormat == 4 ? 2 : 1;
}

}  // namespace

// ---- condition readings ----

bool QuorinCameraDeviceMtpUsbAdapter::isMovieMode() const {
    const auto current = getCondition();
    return current != nullptr && (current->statusFlags() & StatusFlag::anyMovie) != 0;
}

bool QuorinCameraDeviceMtpUsbAdapter::isMovieRecording() const {
    const auto current = getCondition();
    return current != nullptr && (current->statusFlags() & StatusFlag::movieRecording) != 0;
}

bool QuorinCameraDeviceMtpUsbAdapter::isCaptureAllowed() const {
    const auto current = getCondition();
    return current != nullptr && (current->statusFlags() & StatusFlag::captureInhibited) == 0;
}

int32_t QuorinCameraDeviceMtpUsbAdapter::countExpectedFiles() const {
    const auto current = getCondition();
    if (current == nullptr) {
        return 0;
    }
    if (isMovieMode()) {
        return (current->slot1Inactive() == 0 ? 1 : 0) + (current->slot2Inactive() == 0 ? 1 : 0);
    }
    return filesForSlot(current->slot1Inactive(), current->slot1FileFormat()) +
           filesForSlot(current->slot2Inactive(), current->slot2FileFormat());
}

std::string QuorinCameraDeviceMtpUsbAdapter::makeCaptureId() const {
    return formatCaptureId(now());
}

// ---- starting ----

StartCaptureResponse QuorinCameraDeviceMtpUsbAdapter::startCapture(const Point& focusPoint) {
    if (!isConnected()) {
        return startFailure(ErrorCode::NotConnected, "");
    }
    if (lockHost() == nullptr) {
        return startFailure(ErrorCode::Unknown, "camera object is deleted");
    }
    const Response placed = setFocusPoint(focusPoint);
    if (placed.getResult() != Result::Ok) {
        return toStartCaptureResponse(placed);
    }
    return doStartCapture(true);
}

StartCaptureResponse QuorinCameraDeviceMtpUsbAdapter::startCapture(bool withFocus) {
    if (withFocus) {
        return startCapture(Point{0.5f, 0.5f});
    }
    if (!isConnected()) {
        return startFailure(ErrorCode::NotConnected, "");
    }
    return doStartCapture(false);
}

void QuorinCameraDeviceMtpUsbAdapter::refreshConditionOnTask() {
    // The event task refreshes the condition between its passes; a wait running inside one of
    // its listeners would otherwise watch a record that never changes, and one inside a frame
    // listener may run while the event task waits for the frame task.
    if (runsOnAnyTask()) {
        updateCondition();
    }
}

StartCaptureResponse QuorinCameraDeviceMtpUsbAdapter::doStartCapture(bool withFocus) {
    const MutexLock serialised(captureMutex);
    const auto owner = lockHost();
    if (owner == nullptr) {
        return startFailure(ErrorCode::Unknown, "camera object is deleted");
    }
    refreshConditionOnTask();
    const bool movie = isMovieMode();
    const bool hasTransferBuffer = isOperationSupported(OperationCode::TetherImageTransfer);

    bool busy = false;
    if (movie) {
        busy = isMovieRecording() || !owner->getStoragesImpl().anyAvailable() ||
               !pendingCaptures.empty();
    } else if (hasTransferBuffer) {
        busy = !isCaptureAllowed();
    } else {
        int tries = kStillStartTries;
        while (true) {
            refreshConditionOnTask();
            const auto current = getCondition();
            const uint32_t flags = current != nullptr ? current->statusFlags() : 0;
            if ((flags & StatusFlag::busyShooting) == 0 || tries < 1) {
                break;
            }
            pause(kStartPoll);
            --tries;
        }
        busy = !isCaptureAllowed() || tries == 0;
    }
    if (busy) {
        const bool noCard = movie && !owner->getStoragesImpl().anyAvailable();
        return startFailure(ErrorCode::DeviceError,
                            noCard ? "Write to storage is required." : "Device Busy");
    }
    const auto current = getCondition();
    if (current != nullptr && current->exposureMode() == kBulbExposureMode) {
        throw std::runtime_error("Bulb Capture is Not Supported.");
    }

    pendingCaptures.gate().acquire();
    const CaptureGateHold gateHold(pendingCaptures.gate());
    if (movie) {
        if (refusesMovie(owner->getModel(), owner->getFirmwareVersion())) {
            throw std::runtime_error("Not Supported");
        }
        if (isMovieRecording()) {
            return startFailure(ErrorCode::DeviceError, "Device Busy");
        }
        pendingCaptures.movieStartPending = true;
        for (const auto& storage : owner->getStoragesImpl().snapshot()) {
            if (storage->isAvailable()) {
                waitForStorageListing(storage);
                pause(kStartPoll);
            }
        }
    }

    const MtpResponse released = execute(OperationCode::ShutterButtonAction,
                                         {movie ? 3U : 0U, withFocus ? 3U : 2U, 0, 0, 0});
    if (released.responseCode != kResponseOk) {
        pendingCaptures.movieStartPending = false;
        return StartCaptureResponse(Result::Error, makeErrorFromMtpCode(released.responseCode));
    }
    StartCaptureResponse started = waitForCaptureStart(movie);
    // Once the recording is seen the start is over; waiting for the event task to see it too
    // kept image updates off for good when the movie ended before its next pass.
    pendingCaptures.movieStartPending = false;
    if (started.getResult() != Result::Ok) {
        return started;
    }

    auto capture = std::make_shared<CaptureImpl>(
        makeCaptureId(), movie ? CaptureMethod::Movie : CaptureMethod::StillImage,
        countExpectedFiles());
    pendingCaptures.add(capture);
    owner->getStatusImpl().setCurrentCapture(capture);
    return StartCaptureResponse(std::shared_ptr<const Capture>(capture));
}

StartCaptureResponse QuorinCameraDeviceMtpUsbAdapter::waitForCaptureStart(bool movie) {
    if (!movie && isOperationSupported(OperationCode::TetherImageTransfer)) {
        return StartCaptureResponse(Result::Ok);
    }
    int tries = movie ? kMovieStartTries : kStillStartTries;
    while (true) {
        refreshConditionOnTask();
        bool started = false;
        if (movie) {
            started = isMovieRecording();
        } else {
            const auto current = getCondition();
            started = current != nullptr && (current->statusFlags() & StatusFlag::busyShooting);
        }
        if (started || tries < 1) {
            break;
        }
        pause(kStartPoll);
        --tries;
    }
    if (tries == 0) {
        return startFailure(ErrorCode::DeviceError, "Capture is not started");
    }
    return StartCaptureResponse(Result::Ok);
}

void QuorinCameraDeviceMtpUsbAdapter::waitForStorageListing(
    const std::shared_ptr<CameraStorage>& storage) {
    if (storage == nullptr || storage->getListingState() != ListingState::Running) {
        return;
    }
    const StorageListings::PauseRequest pause(listings);
    // The listing answers before its next handle; it always leaves Running when it ends.
    while (storage->getListingState() == ListingState::Running) {
        std::this_thread::sleep_for(kListingPoll);
    }
}

// ---- stopping ----

Response QuorinCameraDeviceMtpUsbAdapter::stopCapture() {
    if (!isConnected()) {
        return makeErrorResponse(ErrorCode::NotConnected, "");
    }
    if (lockHost() == nullptr) {
        return makeErrorResponse(ErrorCode::Unknown, "camera object is deleted");
    }
    if (!isMovieRecording()) {
        return Response(Result::Ok);
    }
    const MtpResponse stopped = execute(OperationCode::ShutterButtonRelease, {3, 0, 0, 0, 0});
    if (stopped.responseCode != kResponseOk) {
        return makeResponseFromMtpCode(stopped);
    }
    return Response(Result::Ok);
}

void QuorinCameraDeviceMtpUsbAdapter::finishMovieBeforeDisconnect() {
    // Inside an event listener nothing else completes a capture, and inside a frame listener
    // the event task may be waiting for this very task: the waits below would only sit out
    // their bounds, so the captures are ended at once.
    const bool onTask = runsOnAnyTask();
    refreshConditionOnTask();
    const Response stopped = stopCapture();
    const bool stopOk = stopped.getResult() == Result::Ok;
    int tries = kMovieStopTries;
    if (stopOk) {
        while (isConnected() && isMovieRecording() && tries > 0) {
            pause(kDisconnectPoll);
            refreshConditionOnTask();
            --tries;
        }
    }

    const auto owner = lockHost();
    if (owner != nullptr) {
        CameraStatusImpl& status = owner->getStatusImpl();
        const auto current = status.getCurrentCapture();
        if (current != nullptr && current->getMethod() == CaptureMethod::Movie &&
            current->getState() == CaptureState::Executing) {
            bool settled = false;
            if (stopOk && isConnected() && tries > 0 && !onTask) {
                int waits = kMovieCaptureWaits;
                while (isConnected() && current->getState() == CaptureState::Executing &&
                       waits > 0) {
                    pause(kDisconnectPoll);
                    --waits;
                }
                settled = isConnected() && waits > 0;
            }
            if (!settled) {
                auto unknown =
                    std::make_shared<CaptureImpl>(current->getId(), current->getMethod(), 0);
                unknown->finish(CaptureState::Unknown);
                status.setCurrentCapture(unknown);
            }
        }
    }

    pendingCaptures.abandonMovies();
    for (int waits = 0; waits < kPendingCaptureWaits && !onTask; ++waits) {
        const auto current = owner != nullptr ? owner->getStatusImpl().getCurrentCapture()
                                              : std::shared_ptr<const Capture>();
        if (pendingCaptures.empty() || !connected || current == nullptr ||
            current->getState() != CaptureState::Executing) {
            break;
        }
        pause(kDisconnectPoll);
    }
}

// ---- pending captures ----

void QuorinCameraDeviceMtpUsbAdapter::captureFileArrived() {
    if (lockHost() == nullptr) {
        return;
    }
    if (const auto completed = pendingCaptures.fileArrived(now())) {
        reportCaptureComplete(completed);
    }
}

void QuorinCameraDeviceMtpUsbAdapter::endMovieShortOfFiles() {
    const bool recording = isMovieRecording() || pendingCaptures.movieStartPending;
    const auto ended = pendingCaptures.takeQuietMovie(recording, now(), kMovieFileWait);
    if (!ended) {
        return;
    }
    if (!ended->gotFiles) {
        ended->capture->finish(CaptureState::Unknown);
        writeDiagnostic("Unknown whether capture is complete. Capture ID: " +
                        ended->capture->getId());
        return;
    }
    ended->capture->finish(CaptureState::Complete);
    reportCaptureComplete(ended->capture);
}

void QuorinCameraDeviceMtpUsbAdapter::reportCaptureComplete(
    const std::shared_ptr<CaptureImpl>& capture) {
    const std::shared_ptr<const Capture> handle = capture;
    notifyListeners("captureComplete", [&handle](CameraEventListener& listener,
                                                 const std::shared_ptr<const CameraDevice>& owner) {
        listener.captureComplete(owner, handle);
    });
}

}  // namespace Corvane::CameraController::Impl
