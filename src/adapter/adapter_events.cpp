// Event processing: the task that polls the camera condition and turns what changed into
// listener calls, refreshes storages, images and the battery, and expires stale captures.
#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "adapter/adapter_capture_id.hpp"
#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/adapter_setting_codes.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "model/camera_image_impl.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_list_impl.hpp"
#include "model/capture_impl.hpp"

namespace Corvane::CameraController::Impl {

namespace {

using std::chrono::milliseconds;
using namespace std::chrono_literals;

constexpr milliseconds kPollPeriod = 200ms;
constexpr milliseconds kSlowPollPeriod = 2000ms;
constexpr std::chrono::seconds kCaptureExpiry{120};

bool pollsSlowly(const QuorinCameraCondition& condition) {
    const uint32_t state = condition.cameraState();
    return state == 2 || state == 9 || state == 40 ||
           (condition.statusFlags() & StatusFlag::movieRecording) != 0;
}

}  // namespace

// ---- task lifecycle ----

void QuorinCameraDeviceMtpUsbAdapter::startEventLoop() {
    // The pass runs only while the task holds the adapter, so `this` is alive in it.
    eventTask.start(weak_from_this(), [this](EventLoopStop& stop) { return eventStep(stop); });
}

std::optional<milliseconds> QuorinCameraDeviceMtpUsbAdapter::eventStep(EventLoopStop& stop) {
    // Before the stop request: a replug noticed by discovery asks this task to stop and leaves
    // the report to it.
    if (stop.takeLoss()) {
        reportDisconnected();
        return std::nullopt;
    }
    if (stop.requested() || lockHost() == nullptr) {
        return std::nullopt;
    }
    const auto transport = getMtpDevice();
    if (transport == nullptr || !transport->isConnected()) {
        handleUnplugged();
        return std::nullopt;
    }
    if (!updateCondition()) {
        return kSlowPollPeriod;
    }
    try {
        runEventPass();
    } catch (const std::exception& error) {
        // Whatever one pass meets, the camera's events must keep coming.
        writeDiagnostic(std::string("[error][eventLoop] ") + error.what());
    }
    eventTask.markPassDone();
    const auto current = getCondition();
    return current != nullptr && pollsSlowly(*current) ? kSlowPollPeriod : kPollPeriod;
}

void QuorinCameraDeviceMtpUsbAdapter::handleUnplugged() {
    pendingCaptures.abandonAll();
    // Once per loss: discovery may have seen the same loss first.
    if (connected.exchange(false)) {
        reportDisconnected();
    }
}

void QuorinCameraDeviceMtpUsbAdapter::reportDisconnected() {
    notifyListeners("deviceDisconnected", [](CameraEventListener& listener,
                                             const std::shared_ptr<const CameraDevice>& owner) {
        listener.deviceDisconnected(owner, DeviceInterface::USB);
    });
}

void QuorinCameraDeviceMtpUsbAdapter::runEventPass() {
    restoreSessionIfReopened();
    conditionTracker.startTracking();
    const auto current = getCondition();
    if (current == nullptr) {
        return;
    }
    const uint32_t flags = current->statusFlags();
    if ((flags & StatusFlag::anyMovie) == 0 && current->objectReady() == 1) {
        const std::shared_ptr<CameraImageImpl> image = createImageFromTetherImage();
        // Also with a null image when the buffer could not be read, so that an application
        // pairing imageAdded with captureComplete loses none.
        notifyListeners("imageAdded", [&image](CameraEventListener& listener,
                                               const std::shared_ptr<const CameraDevice>& owner) {
            listener.imageAdded(owner, image);
        });
        if (!connected) {
            // A listener disconnected: the rest of the pass would run on a closed transport.
            return;
        }
        deleteTetherImage();
        if (image != nullptr) {
            // Its data left the camera's buffer with the release above.
            image->invalidate();
        }
        if (!storageWriting) {
            captureFileArrived();
        }
    }
    updateStorages();
    updateImageInfo();
    if (!connected) {
        return;
    }
    endMovieShortOfFiles();
    updateBatteryLevel();
    if (isOperationSupported(OperationCode::TetherImageTransfer)) {
        expireStillCaptures();
    }
    if (conditionTracker.isTracking()) {
        detectSettingChanges();
    }
}

// ---- remembered words and change detection ----

void QuorinCameraDeviceMtpUsbAdapter::takeRememberedWordsOf(uint16_t propertyCode) {
    conditionTracker.takeWordsOf(propertyCode);
}

bool QuorinCameraDeviceMtpUsbAdapter::detectSettingChanges() {
    const auto current = getCondition();
    if (current == nullptr) {
        return false;
    }
    const ConditionTracker::Changes changes = conditionTracker.compare(*current);
    std::vector<std::shared_ptr<const CaptureSetting>> changed;
    for (int kind = 0; kind < ConditionTracker::kKinds; ++kind) {
        if ((changes.reportMask & (1U << kind)) == 0) {
            continue;
        }
        const std::shared_ptr<CaptureSetting> setting = ConditionTracker::settingOfKind(kind);
        // A failed read still reports the setting, with whatever value it then holds.
        getCaptureSettings({setting.get()});
        changed.push_back(setting);
    }
    if (changes.counted) {
        // From the record just compared, never a newer one: a dial turned while the settings
        // above were read is then seen by the next comparison instead of being swallowed.
        conditionTracker.takeWordsFrom(*current);
    }
    if (!changed.empty()) {
        notifyListeners("captureSettingsChanged",
                        [&changed](CameraEventListener& listener,
                                   const std::shared_ptr<const CameraDevice>& owner) {
                            listener.captureSettingsChanged(owner, changed);
                        });
    }
    return changes.counted;
}

// ---- capture expiry ----

void QuorinCameraDeviceMtpUsbAdapter::expireStillCaptures() {
    const std::time_t nowSeconds = std::chrono::system_clock::to_time_t(now());
    const auto isExpired = [nowSeconds](const CaptureImpl& capture) {
        if (capture.getMethod() != CaptureMethod::StillImage) {
            return false;
        }
        const auto started = parseCaptureIdTime(capture.getId());
        return started.has_value() && nowSeconds - *started >= kCaptureExpiry.count();
    };
    for (const auto& capture : pendingCaptures.takeExpired(isExpired)) {
        capture->finish(CaptureState::Unknown);
        writeDiagnostic("Unknown whether capture is complete. Capture ID: " + capture->getId());
    }
}

// ---- timing ----

void QuorinCameraDeviceMtpUsbAdapter::setTimingForTesting(Clock newClock, Sleeper newSleeper) {
    const MutexLock lock(timingMutex);
    if (newClock) {
        clock = std::move(newClock);
    }
    if (newSleeper) {
        sleeper = std::move(newSleeper);
    }
}

std::chrono::system_clock::time_point QuorinCameraDeviceMtpUsbAdapter::now() const {
    Clock current;
    {
        const MutexLock lock(timingMutex);
        current = clock;
    }
    return current ? current() : std::chrono::system_clock::now();
}

void QuorinCameraDeviceMtpUsbAdapter::pause(milliseconds duration) const {
    Sleeper current;
    {
        const MutexLock lock(timingMutex);
        current = sleeper;
    }
    if (current) {
        current(duration);
    } else {
        std::this_thread::sleep_for(duration);
    }
}

// ---- listener delivery ----

void QuorinCameraDeviceMtpUsbAdapter::notifyListeners(
    const std::string& eventName,
    const std::function<void(CameraEventListener&, const std::shared_ptr<const CameraDevice>&)>&
        call) {
    const auto owner = lockHost();
    if (owner == nullptr) {
        return;
    }
    owner->deliverEvent(eventName, call);
}

}  // namespace Corvane::CameraController::Impl
