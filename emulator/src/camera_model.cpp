#include "camera_model.hpp"

#include <algorithm>
#include <ctime>

#include "codes.hpp"
#include "usb_function.hpp"

namespace Corvane::CameraController::Emulator {

namespace {

constexpr size_t kLogCapacity = 100000;

std::string makeId(const std::string& configured) {
    static std::atomic<unsigned> counter{0};
    return configured.empty() ? "emulator-" + std::to_string(++counter) : configured;
}

unsigned slotCount(const CameraConfig& config) {
    return config.slots.empty() ? CameraConfig::slotCountOf(config.model)
                                : static_cast<unsigned>(config.slots.size());
}

}  // namespace

CameraModel::CameraModel(CameraConfig config)
    : config_(std::move(config)),
      id_(makeId(config_.id)),
      slotCount_(slotCount(config_)),
      supported_(0x10000, false),
      battery_(config_.batteryLevel),
      focusPointX_(config_.liveViewWidth / 2),
      focusPointY_(config_.liveViewHeight / 2),
      timeScale_(config_.timeScale) {
    for (const uint16_t code : config_.operations) {
        supported_[code] = true;
    }
    if (config_.rawAndJpegOnly) {
        imageFormat_.fileFormat = 2;
        imageFormat_.formatLock = 3;
    }
    slots_.resize(slotCount_);
    for (unsigned i = 0; i < slotCount_; ++i) {
        if (config_.slots.empty()) {
            slots_[i].hasCard = i == 0;
            slots_[i].capacity = 64ull << 30;
            continue;
        }
        slots_[i].hasCard = config_.slots[i].cardInserted;
        slots_[i].capacity = config_.slots[i].capacity;
        slots_[i].recording = config_.slots[i].recording;
        if (slots_[i].hasCard) {
            loadCard(i + 1, config_.slots[i].files);
        }
    }
}

bool CameraModel::takesData(uint16_t operationCode) {
    // SendObjectInfo and SendObject are not implemented, but their data must still be taken
    // off the pipe before the refusal.
    return operationCode == Code::SetDevicePropValue || operationCode == 0x100C ||
           operationCode == 0x100D;
}

Reply CameraModel::execute(const Operation& operation) {
    if (!plugged_.load()) {
        Reply silent;
        silent.silent = true;
        return silent;
    }
    // Taken before the lock, so that a camera busy with another transaction does not blur when
    // the release reached it.
    const auto received = std::chrono::system_clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    settle(now);
    Reply reply;
    if (const uint16_t refusal = sessionRefusal(operation, true)) {
        reply = Reply::error(refusal);
    } else if (!takeFailure(operation.code, reply)) {
        reply = dispatch(operation, now);
        takeTruncation(operation.code, reply);
    }
    // Parameters travel only with success, as the host ignores them otherwise anyway.
    if (reply.code != Code::Ok) {
        reply.parameters.clear();
    }
    reply.latency = latency_;
    record(operation, reply);
    if (operation.code == Code::ShutterPress && reply.code == Code::Ok && operation.param(1) != 1) {
        releases_.push_back(received);
    }
    return reply;
}

Reply CameraModel::dispatch(const Operation& op, Clock::time_point now) {
    if (!supports(op.code)) {
        return Reply::error(Code::OperationNotSupported);
    }
    if (op.code == Code::GetDeviceInfo) {
        return getDeviceInfo();
    }
    if (op.code == Code::OpenSession) {
        if (op.param(0) == 0) {
            return Reply::error(Code::InvalidParameter);
        }
        if (sessionOpen_) {
            // The session goes on, but the host numbers its transactions from this OpenSession
            // (id 0) again: a host that restarted after a crash continues at id 1.
            lastTransactionId_ = op.transactionId;
            return Reply::error(Code::SessionAlreadyOpen);
        }
        sessionOpen_ = true;
        lastTransactionId_ = op.transactionId;
        return Reply::ok();
    }
    switch (op.code) {
        case Code::CloseSession:
            closeSessionLocked();
            return Reply::ok();
        case Code::GetStorageIDs:
            return getStorageIds();
        case Code::GetStorageInfo:
            return getStorageInfo(op);
        case Code::GetNumObjects:
            return getNumObjects(op);
        case Code::GetObjectHandles:
            return getObjectHandles(op);
        case Code::GetObjectInfo:
            return getObjectInfo(op);
        case Code::GetObject:
            return getObject(op);
        case Code::GetThumb:
            return getThumb(op);
        case Code::DeleteObject:
            return deleteObject(op);
        case Code::GetDevicePropDesc:
            return getPropDesc(op, now);
        case Code::GetDevicePropValue:
            return getPropValue(op, now);
        case Code::SetDevicePropValue:
            return setPropValue(op, now);
        case Code::GetPartialObject:
            return getPartialObject(op);
        case Code::GetPartialObject64:
            return getPartialObject64(op);
        case Code::GetObjectPropValue:
            return getObjectPropValue(op);
        case Code::TetherMode:
            return tetherMode(op);
        case Code::ImageInfoRequest:
            return imageInfoRequest(op);
        case Code::StorageWriting:
            return storageWriting(op);
        case Code::LiveViewFrame:
            return liveViewFrame();
        case Code::TetherTransferStart:
            return tetherTransferStart(op);
        case Code::TetherTransferNext:
            return tetherTransferNext();
        case Code::TetherTransferData:
            return tetherTransferData(op);
        case Code::TetherRelease:
            return tetherRelease();
        case Code::Condition:
            return condition(now);
        case Code::ShutterPress:
            return shutterPress(op, now);
        case Code::ShutterRelease:
            return shutterRelease(op, now);
        case Code::FocusMoveCoarse:
        case Code::FocusMoveSteps:
            return focusMove(op, now);
        default:
            return Reply::error(Code::OperationNotSupported);
    }
}

uint16_t CameraModel::sessionRefusal(const Operation& op, bool useId) {
    const SessionRules& rules = config_.sessionRules;
    if (op.code == Code::OpenSession) {
        return 0;
    }
    if (!sessionOpen_) {
        const bool allowed = op.code == Code::GetDeviceInfo || !rules.requireSession;
        return allowed ? 0 : Code::SessionNotOpen;
    }
    if (rules.checkTransactionIds && op.transactionId != lastTransactionId_ + 1) {
        return Code::InvalidTransactionId;
    }
    if (useId) {
        lastTransactionId_ = op.transactionId;
    }
    return 0;
}

void CameraModel::closeSessionLocked() {
    sessionOpen_ = false;
    tetherMode_ = false;
    liveView_ = false;
    transfer_.reset();
}

uint16_t CameraModel::refuseDataPhase(const Operation& operation) {
    if (!config_.sessionRules.stallRefusedData) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // An accepted transaction uses its id when its data has arrived and it runs.
    uint16_t refusal =
        supports(operation.code) ? sessionRefusal(operation, false) : Code::OperationNotSupported;
    if (refusal == 0 && operation.code == Code::SetDevicePropValue) {
        const auto property = static_cast<uint16_t>(operation.param(0));
        if (property == Code::PropBatteryLevel || property == Code::PropLiveViewGeometry) {
            refusal = Code::AccessDenied;
        }
    }
    if (refusal != 0) {
        if (sessionOpen_ && refusal != Code::InvalidTransactionId) {
            lastTransactionId_ = operation.transactionId;
        }
        record(operation, Reply::error(refusal));
    }
    return refusal;
}

void CameraModel::resetSession() {
    std::lock_guard<std::mutex> lock(mutex_);
    closeSessionLocked();
}

std::chrono::microseconds CameraModel::cancelWindDown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelWindDown_;
}

void CameraModel::setCancelWindDown(std::chrono::microseconds duration) {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelWindDown_ = duration;
}

bool CameraModel::takeFailure(uint16_t code, Reply& reply) {
    const auto it = faults_.find(code);
    if (it == faults_.end() || (it->second.failRemaining == 0 && !it->second.failForever)) {
        return false;
    }
    reply = Reply::error(it->second.failCode);
    if (!it->second.failForever && --it->second.failRemaining == 0 && it->second.empty()) {
        faults_.erase(it);
    }
    return true;
}

void CameraModel::takeTruncation(uint16_t code, Reply& reply) {
    const auto it = faults_.find(code);
    if (it == faults_.end() || !reply.hasData ||
        (it->second.truncateRemaining == 0 && !it->second.truncateForever)) {
        return;
    }
    reply.data.size = std::min<size_t>(reply.data.size, it->second.truncateSize);
    if (!it->second.truncateForever && --it->second.truncateRemaining == 0 && it->second.empty()) {
        faults_.erase(it);
    }
}

void CameraModel::record(const Operation& op, const Reply& reply) {
    if (log_.size() >= kLogCapacity) {
        log_.pop_front();
    }
    TransactionRecord entry;
    entry.operationCode = op.code;
    entry.transactionId = op.transactionId;
    entry.parameters = op.parameters;
    entry.dataReceived = op.data.size();
    entry.dataSent = reply.hasData ? reply.data.size : 0;
    entry.responseCode = reply.code;
    log_.push_back(std::move(entry));
}

Clock::duration CameraModel::scaled(double seconds) const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(seconds * timeScale_));
}

int64_t CameraModel::cameraTime() const {
    return static_cast<int64_t>(std::time(nullptr)) + clockOffset_;
}

void CameraModel::settle(Clock::time_point now) {
    // A shot stays visibly busy until the host has polled the condition at least once, so a
    // fast time scale cannot hide it from a host that waits for the busy flags.
    if (shot_ && !shot_->openEnded && now >= shot_->writeEnd &&
        (shot_->seenByHost || !tetherMode_)) {
        shotsReady_.push_back(std::chrono::system_clock::now() -
                              std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                  now - shot_->writeEnd));
        shot_.reset();
        deliverShot();
    }
}

uint32_t CameraModel::statusFlags(Clock::time_point now) const {
    uint32_t flags = 0;
    if (movieMode_) {
        flags |= 0x100;
    }
    if (recording_) {
        flags |= 0x200;
    }
    if (captureInhibited_) {
        flags |= 0x4000;
    }
    if (shot_) {
        if (now < shot_->focusEnd) {
            flags |= 0x100000;
        } else if (shot_->openEnded || now < shot_->exposureEnd) {
            flags |= 0x1;
        } else {
            flags |= 0x2;
        }
    }
    return flags;
}

uint32_t CameraModel::slotFileFormatCode() const {
    switch (imageFormat_.fileFormat) {
        case 0:
            return 0;
        case 1:
            return imageFormat_.rawKind != 0 ? 2 : 1;
        case 2:
            return imageFormat_.rawKind != 0 ? 4 : 3;
        default:
            return 5;
    }
}

bool CameraModel::slotActive(unsigned index) const {
    if (index >= slotCount_ || !slots_[index].recording) {
        return false;
    }
    const bool anyCard =
        std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.hasCard; });
    const bool toCards = (writeToCard_ || !tetherMode_) && anyCard;
    return toCards ? slots_[index].hasCard : index == 0;
}

Wire::ConditionFields CameraModel::conditionFields(Clock::time_point now) const {
    Wire::ConditionFields c;
    c.cameraState = cameraState_;
    c.objectReady = (!tether_.empty() || newObjectHandle_ != 0) ? 1 : 0;
    c.objectHandle = !tether_.empty() ? tether_.front().object.handle : newObjectHandle_;
    c.userSettingsMode = userSettingsMode_;
    c.apertureWords[0] = fNumber_;
    c.compensationWords[0] = static_cast<uint32_t>(static_cast<int32_t>(compensation_));
    c.statusFlags = statusFlags(now);
    c.whiteBalanceWord = whiteBalance_;
    c.exposureMode = exposureMode_;
    const Exposure::ShutterSpeed shown =
        exposureMode_ == Exposure::kModeBulb ? Exposure::kBulbConditionShutter : shutter_;
    c.shutterNumerator = shown.numerator;
    c.shutterDenominator = shown.denominator;
    // With auto ISO the body reports the sensitivity it picked.
    c.isoSensitivity = iso_ != 0 ? iso_ : 400;
    for (unsigned i = 0; i < 2; ++i) {
        c.slotFileFormat[i] = i < slotCount_ ? slotFileFormatCode() : 0;
        c.slotInactive[i] = slotActive(i) ? 0 : 1;
    }
    c.adjustableMask =
        Exposure::adjustableMask(exposureMode_) | (now < settlingUntil_ ? Exposure::kSettling : 0);
    c.slotIndex = lastSlotIndex_;
    return c;
}

// --- Plugging ------------------------------------------------------------------------------

void CameraModel::unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        plugged_ = false;
        ++generation_;
        closeSessionLocked();
    }
    std::vector<std::shared_ptr<UsbFunction>> live;
    {
        std::lock_guard<std::mutex> lock(functionsMutex_);
        for (const auto& weak : functions_) {
            if (auto function = weak.lock()) {
                live.push_back(std::move(function));
            }
        }
        functions_.clear();
    }
    // Outside both locks: waking takes each function's own lock.
    for (const auto& function : live) {
        function->wake();
    }
}

void CameraModel::replug() {
    plugged_ = true;
}

void CameraModel::addFunction(const std::weak_ptr<UsbFunction>& function) {
    std::lock_guard<std::mutex> lock(functionsMutex_);
    functions_.erase(std::remove_if(functions_.begin(), functions_.end(),
                                    [](const auto& w) { return w.expired(); }),
                     functions_.end());
    functions_.push_back(function);
}

// --- Body controls -------------------------------------------------------------------------

void CameraModel::setExposureMode(int32_t mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Exposure::isValidMode(mode)) {
        return;
    }
    exposureMode_ = mode;
    if (iso_ == 0 && Exposure::forbidsAutoIso(mode)) {
        iso_ = 400;
    }
}

void CameraModel::setFNumber(uint16_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    fNumber_ = code;
}

void CameraModel::setShutterSpeed(uint32_t numerator, uint32_t denominator) {
    std::lock_guard<std::mutex> lock(mutex_);
    shutter_ = {numerator, denominator};
}

void CameraModel::setIso(uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    iso_ = code;
}

void CameraModel::setWhiteBalance(uint16_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    whiteBalance_ = code;
}

void CameraModel::setExposureCompensation(int16_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    compensation_ = code;
}

void CameraModel::setUserSettingsMode(uint8_t key) {
    std::lock_guard<std::mutex> lock(mutex_);
    userSettingsMode_ = key;
}

void CameraModel::setMovieMode(bool movie) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!movie && recording_) {
        finishMovie(Clock::now());
    }
    movieMode_ = movie;
}

void CameraModel::setBatteryLevel(uint8_t level) {
    std::lock_guard<std::mutex> lock(mutex_);
    battery_ = std::min<uint8_t>(level, 100);
}

void CameraModel::setCaptureInhibited(bool inhibited) {
    std::lock_guard<std::mutex> lock(mutex_);
    captureInhibited_ = inhibited;
}

void CameraModel::setCameraState(uint32_t state) {
    std::lock_guard<std::mutex> lock(mutex_);
    cameraState_ = state;
}

void CameraModel::pressShutter() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    settle(now);
    if (!shot_ && !movieMode_) {
        startShot(now, false, false);
    }
}

// --- Faults, timing, observation -----------------------------------------------------------

void CameraModel::failNext(uint16_t operation, uint16_t code, unsigned times) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (times == 0) {
        return;
    }
    Fault& fault = faults_[operation];
    fault.failCode = code;
    fault.failRemaining = times;
    fault.failForever = false;
}

void CameraModel::failAlways(uint16_t operation, uint16_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    Fault& fault = faults_[operation];
    fault.failCode = code;
    fault.failForever = true;
}

void CameraModel::truncateData(uint16_t operation, uint32_t size, unsigned times) {
    std::lock_guard<std::mutex> lock(mutex_);
    Fault& fault = faults_[operation];
    fault.truncateSize = size;
    fault.truncateRemaining = times;
    fault.truncateForever = times == 0;
}

void CameraModel::clearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

void CameraModel::setLatency(std::chrono::microseconds latency) {
    std::lock_guard<std::mutex> lock(mutex_);
    latency_ = std::max(latency, std::chrono::microseconds{0});
}

void CameraModel::setTimeScale(double scale) {
    std::lock_guard<std::mutex> lock(mutex_);
    timeScale_ = scale > 0 ? scale : 0;
}

void CameraModel::setTetherTransferStyle(TetherTransferStyle style) {
    std::lock_guard<std::mutex> lock(mutex_);
    transferStyle_ = style;
}

std::vector<TransactionRecord> CameraModel::transactions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {log_.begin(), log_.end()};
}

void CameraModel::clearTransactions() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

std::vector<std::chrono::system_clock::time_point> CameraModel::releaseTimes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return releases_;
}

std::vector<std::chrono::system_clock::time_point> CameraModel::shotReadyTimes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shotsReady_;
}

CameraSnapshot CameraModel::snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    settle(now);
    CameraSnapshot s;
    s.plugged = plugged_.load();
    s.sessionOpen = sessionOpen_;
    s.tetherMode = tetherMode_;
    s.writeToCard = writeToCard_;
    s.liveView = liveView_;
    s.movieMode = movieMode_;
    s.recording = recording_;
    s.statusFlags = statusFlags(now);
    s.busy = (s.statusFlags & 0x100003) != 0;
    s.exposureMode = exposureMode_;
    s.adjustableMask = Exposure::adjustableMask(exposureMode_);
    s.fNumber = fNumber_;
    s.shutterNumerator = shutter_.numerator;
    s.shutterDenominator = shutter_.denominator;
    s.iso = iso_;
    s.whiteBalance = whiteBalance_;
    s.exposureCompensation = compensation_;
    s.focusPosition = focusPosition_;
    s.focusPointX = focusPointX_;
    s.focusPointY = focusPointY_;
    s.tetherImagesWaiting = tether_.size();
    s.batteryLevel = battery_;
    return s;
}

}  // namespace Corvane::CameraController::Emulator
