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
#include "adapter/adapter_setting_codes.hpp"
#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "adapter/adapter_host.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_list_impl.hpp"
#include "model/camera_image_impl.hpp"
#include "model/capture_impl.hpp"

namespace Corvane::CameraController::Impl {

namespace {

using std::chrono::milliseconds;
using namespace std::chrono_literals;

constexpr milliseconds kPollPeriod = 200ms;
constexpr milliseconds kSlowPollPeriod = 2000ms;
constexpr std::chrono::seconds kCaptureExpiry{120};

/// Change kinds, in the order settings are reported.
enum ChangeKind : uint8_t {
    kExposureProgram = 0,
    kUserMode = 1,
    kAgileOperation = 2,
    kShutterSpeed = 3,
    kWhiteBalance = 4,
    kFNumber = 5,
    kIso = 6,
    kExposureCompensation = 7,
};

struct RememberedWord {
    uint32_t wordIndex;  ///< the u32 at byte 4 + 4 * wordIndex of the condition
    ChangeKind kind;
};

constexpr std::array<RememberedWord, 11> kRememberedWords = {{
    {45, kExposureProgram},
    {9, kUserMode},
    {45, kAgileOperation},
    {67, kShutterSpeed},
    {68, kShutterSpeed},
    {29, kWhiteBalance},
    {15, kFNumber},
    {16, kFNumber},
    {77, kIso},
    {17, kExposureCompensation},
    {18, kExposureCompensation},
}};

constexpr uint32_t kIsoWordIndex = 77;

/// The change kind whose words a write of `propertyCode` moves; none for the others.
std::optional<ChangeKind> changeKindOf(uint16_t propertyCode) {
    switch (propertyCode) {
        case PropertyCode::WhiteBalance:
            return kWhiteBalance;
        case PropertyCode::FNumber:
            return kFNumber;
        case PropertyCode::ExposureBiasCompensation:
            return kExposureCompensation;
        case PropertyCode::ShutterSpeed:
            return kShutterSpeed;
        case PropertyCode::IsoSensitivity:
            return kIso;
        default:
            return std::nullopt;
    }
}

uint32_t rememberedWordOf(const QuorinCameraCondition& condition, uint32_t wordIndex) {
    if (wordIndex == kIsoWordIndex) {
        return condition.isoSensitivity();
    }
    return condition.u32At(4 + 4 * static_cast<size_t>(wordIndex));
}

/// Copies the remembered words of `record` into `words`: all, or those of one kind.
void copyWords(std::array<uint32_t, 11>& words, const QuorinCameraCondition& record,
               std::optional<ChangeKind> only = std::nullopt) {
    for (size_t i = 0; i < kRememberedWords.size(); ++i) {
        if (!only || kRememberedWords[i].kind == *only) {
            words[i] = rememberedWordOf(record, kRememberedWords[i].wordIndex);
        }
    }
}

/// Exposure modes in which the camera sets the shutter speed or aperture itself, so that a
/// moving value is not a change made by the photographer.
bool isSuppressed(ChangeKind kind, int32_t exposureMode) {
    static constexpr std::array<int32_t, 16> kShutterAutomatic = {0,  1,  2,  3,  5,  7,  9,  10,
                                                                  12, 15, 16, 17, 18, 19, 20, 21};
    static constexpr std::array<int32_t, 10> kApertureAutomatic = {0, 1,  2,  3,  4,
                                                                   6, 15, 18, 19, 21};
    if (exposureMode >= 22) {
        return false;
    }
    const auto contains = [exposureMode](const auto& list) {
        return std::find(list.begin(), list.end(), exposureMode) != list.end();
    };
    if (kind == kShutterSpeed) {
        return contains(kShutterAutomatic);
    }
    if (kind == kFNumber) {
        return contains(kApertureAutomatic);
    }
    return false;
}

/// Outcome of comparing two coded words through a code table.
enum class TableChange { None, Reportable, Unreportable };

/// A word the table does not know never throws: a change to an unknown value is counted but
/// not reported (there is no singleton to report); a change from one to a known value is.
template <class Table, class Code>
TableChange compareThroughTable(const Table& table, Code oldCode, Code newCode) {
    const CaptureSetting* oldValue = table.find(oldCode);
    const CaptureSetting* newValue = table.find(newCode);
    if (newValue == nullptr) {
        return TableChange::Unreportable;
    }
    return oldValue == newValue ? TableChange::None : TableChange::Reportable;
}

std::shared_ptr<CaptureSetting> makeSettingOfKind(int kind) {
    switch (kind) {
        case kExposureProgram:
            return std::make_shared<ExposureProgram>();
        case kUserMode:
            return std::make_shared<UserCaptureSettingsMode>();
        case kAgileOperation:
            return std::make_shared<AgileOperationEnable>();
        case kShutterSpeed:
            return std::make_shared<ShutterSpeed>();
        case kWhiteBalance:
            return std::make_shared<WhiteBalance>();
        case kFNumber:
            return std::make_shared<FNumber>();
        case kIso:
            return std::make_shared<ISO>();
        default:
            return std::make_shared<ExposureCompensation>();
    }
}

bool pollsSlowly(const QuorinCameraCondition& condition) {
    const uint32_t state = condition.cameraState();
    return state == 2 || state == 9 || state == 40 ||
           (condition.statusFlags() & StatusFlag::movieRecording) != 0;
}

}  // namespace

// ---- task lifecycle ----

void QuorinCameraDeviceMtpUsbAdapter::startEventLoop() {
    // An earlier task is asked to end first, so that two never poll side by side for long.
    currentEventLoopStop()->request();
    std::future<void> previous = std::move(eventLoopFuture);
    if (previous.valid()) {
        if (runsOnAnyTask()) {
            // Restarted from a listener: of that very task, which ends after its pass, or of
            // the frame task, which must not wait for a task that may be waiting for it.
            collectLater(std::move(previous));
        } else {
            previous.wait();
        }
    }
    const auto stop = std::make_shared<EventLoopStop>();
    {
        const MutexLock lock(eventLoopStopMutex);
        eventLoopStop = stop;
    }
    eventLoopRunning = false;
    eventLoopFuture = std::async(std::launch::async, &QuorinCameraDeviceMtpUsbAdapter::eventLoop,
                                 this, weak_from_this(), stop);
}

std::shared_ptr<EventLoopStop> QuorinCameraDeviceMtpUsbAdapter::currentEventLoopStop() const {
    const MutexLock lock(eventLoopStopMutex);
    return eventLoopStop;
}

void QuorinCameraDeviceMtpUsbAdapter::stopEventLoop() {
    currentEventLoopStop()->request();
    if (runsOnAnyTask()) {
        // A task never waits for another: the event task may itself be waiting for the
        // frame task (a listener stopping live view). It ends after its current pass.
        return;
    }
    if (eventLoopFuture.valid()) {
        eventLoopFuture.wait();
    }
}

void QuorinCameraDeviceMtpUsbAdapter::eventLoop(const void* owner,
                                                std::weak_ptr<CameraDeviceAdapter> adapter,
                                                std::shared_ptr<EventLoopStop> stop) {
    // Declared first, so that it still marks the thread when the last reference to the
    // adapter is dropped here and the adapter is destroyed on this thread.
    const AdapterTaskMark mark(owner, AdapterTask::Events);
    for (;;) {
        std::optional<milliseconds> pause;
        {
            const auto self =
                std::static_pointer_cast<QuorinCameraDeviceMtpUsbAdapter>(adapter.lock());
            if (self == nullptr) {
                return;
            }
            pause = self->eventStep(*stop);
            if (!pause) {
                self->eventLoopRunning = false;
                return;
            }
        }
        stop->pauseFor(*pause);
    }
}

std::optional<milliseconds> QuorinCameraDeviceMtpUsbAdapter::eventStep(const EventLoopStop& stop) {
    // Before the stop request: a replug noticed by discovery asks this task to stop and leaves
    // the report to it.
    if (connectionLost.exchange(false)) {
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
    eventLoopRunning = true;
    const auto current = getCondition();
    return current != nullptr && pollsSlowly(*current) ? kSlowPollPeriod : kPollPeriod;
}

void QuorinCameraDeviceMtpUsbAdapter::handleUnplugged() {
    abandonPendingCaptures();
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
    bool firstPass = false;
    {
        const MutexLock lock(rememberedWordsMutex);
        firstPass = !rememberedWordsTaken;
    }
    if (firstPass) {
        takeRememberedWords();
        const MutexLock lock(rememberedWordsMutex);
        rememberedWordsTaken = true;
        changeTrackingEnabled = true;
    }
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
    bool tracking = false;
    {
        const MutexLock lock(rememberedWordsMutex);
        tracking = changeTrackingEnabled;
    }
    if (tracking) {
        detectSettingChanges();
    }
}

// ---- remembered words and change detection ----

void QuorinCameraDeviceMtpUsbAdapter::takeRememberedWords() {
    const auto current = getCondition();
    if (current == nullptr) {
        return;
    }
    const MutexLock lock(rememberedWordsMutex);
    copyWords(rememberedWords, *current);
}

void QuorinCameraDeviceMtpUsbAdapter::takeRememberedWordsOf(uint16_t propertyCode) {
    const auto current = getCondition();
    const auto kind = changeKindOf(propertyCode);
    if (current == nullptr || !kind) {
        return;
    }
    const MutexLock lock(rememberedWordsMutex);
    copyWords(rememberedWords, *current, kind);
}

bool QuorinCameraDeviceMtpUsbAdapter::detectSettingChanges() {
    const auto current = getCondition();
    if (current == nullptr) {
        return false;
    }
    std::array<uint32_t, 11> remembered{};
    {
        const MutexLock lock(rememberedWordsMutex);
        remembered = rememberedWords;
    }
    const int32_t exposureMode = current->exposureMode();
    uint8_t changeMask = 0;
    bool counted = false;
    for (size_t i = 0; i < kRememberedWords.size(); ++i) {
        const uint32_t oldWord = remembered[i];
        const uint32_t newWord = rememberedWordOf(*current, kRememberedWords[i].wordIndex);
        if (oldWord == newWord) {
            continue;
        }
        const ChangeKind kind = kRememberedWords[i].kind;
        TableChange change = TableChange::Reportable;
        if (kind == kExposureProgram) {
            change = compareThroughTable(exposureProgramCodes(), oldWord, newWord);
        } else if (kind == kAgileOperation) {
            change = compareThroughTable(agileOperationEnableCodes(), oldWord, newWord);
        } else if (kind == kUserMode) {
            change = compareThroughTable(userCaptureSettingsModeCodes(),
                                         static_cast<uint8_t>(oldWord & 0xFF),
                                         static_cast<uint8_t>(newWord & 0xFF));
        } else if (isSuppressed(kind, exposureMode)) {
            change = TableChange::None;
        }
        if (change != TableChange::None) {
            counted = true;
        }
        if (change == TableChange::Reportable) {
            changeMask |= static_cast<uint8_t>(1U << kind);
        }
    }

    std::vector<std::shared_ptr<const CaptureSetting>> changed;
    for (int kind = 0; kind < 8; ++kind) {
        if ((changeMask & (1U << kind)) == 0) {
            continue;
        }
        const std::shared_ptr<CaptureSetting> setting = makeSettingOfKind(kind);
        // A failed read still reports the setting, with whatever value it then holds.
        getCaptureSettings({setting.get()});
        changed.push_back(setting);
    }
    if (counted) {
        // From the record just compared, never a newer one: a dial turned while the settings
        // above were read is then seen by the next comparison instead of being swallowed.
        const MutexLock lock(rememberedWordsMutex);
        copyWords(rememberedWords, *current);
    }
    if (!changed.empty()) {
        notifyListeners("captureSettingsChanged",
                        [&changed](CameraEventListener& listener,
                                   const std::shared_ptr<const CameraDevice>& owner) {
                            listener.captureSettingsChanged(owner, changed);
                        });
    }
    return counted;
}

// ---- capture expiry ----

void QuorinCameraDeviceMtpUsbAdapter::expireStillCaptures() {
    const std::time_t nowSeconds = std::chrono::system_clock::to_time_t(now());
    std::vector<std::shared_ptr<CaptureImpl>> expired;
    {
        const MutexLock lock(pendingCapturesMutex);
        auto isExpired = [nowSeconds](const std::shared_ptr<CaptureImpl>& capture) {
            if (capture->getMethod() != CaptureMethod::StillImage) {
                return false;
            }
            const auto started = parseCaptureIdTime(capture->getId());
            return started.has_value() && nowSeconds - *started >= kCaptureExpiry.count();
        };
        for (auto it = pendingCaptures.begin(); it != pendingCaptures.end();) {
            if (isExpired(*it)) {
                expired.push_back(*it);
                it = pendingCaptures.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& capture : expired) {
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
