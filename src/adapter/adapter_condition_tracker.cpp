#include "adapter/adapter_condition_tracker.hpp"

#include <algorithm>
#include <optional>
#include <utility>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_setting_codes.hpp"
#include "corvane/camera_controller/capture_settings.hpp"

namespace Corvane::CameraController::Impl {

namespace {

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
    size_t offset;
    ChangeKind kind;
};

constexpr std::array<RememberedWord, 11> kRememberedWords = {{
    {ConditionOffset::exposureMode, kExposureProgram},
    {ConditionOffset::userSettingsMode, kUserMode},
    {ConditionOffset::exposureMode, kAgileOperation},
    {ConditionOffset::shutterNumerator, kShutterSpeed},
    {ConditionOffset::shutterDenominator, kShutterSpeed},
    {ConditionOffset::whiteBalanceWord, kWhiteBalance},
    {ConditionOffset::apertureWord1, kFNumber},
    {ConditionOffset::apertureWord2, kFNumber},
    {ConditionOffset::isoSensitivity, kIso},
    {ConditionOffset::compensationWord1, kExposureCompensation},
    {ConditionOffset::compensationWord2, kExposureCompensation},
}};

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

uint32_t rememberedWordOf(const QuorinCameraCondition& condition, size_t offset) {
    // The ISO word reads 0 while the camera marks it invalid.
    if (offset == ConditionOffset::isoSensitivity) {
        return condition.isoSensitivity();
    }
    return condition.u32At(offset);
}

/// Copies the remembered words of `record` into `words`: all, or those of one kind.
template <class Words>
void copyWords(Words& words, const QuorinCameraCondition& record,
               std::optional<ChangeKind> only = std::nullopt) {
    for (size_t i = 0; i < kRememberedWords.size(); ++i) {
        if (!only || kRememberedWords[i].kind == *only) {
            words[i] = rememberedWordOf(record, kRememberedWords[i].offset);
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

TableChange classify(ChangeKind kind, uint32_t oldWord, uint32_t newWord, int32_t exposureMode) {
    switch (kind) {
        case kExposureProgram:
            return compareThroughTable(exposureProgramCodes(), oldWord, newWord);
        case kAgileOperation:
            return compareThroughTable(agileOperationEnableCodes(), oldWord, newWord);
        case kUserMode:
            return compareThroughTable(userCaptureSettingsModeCodes(),
                                       static_cast<uint8_t>(oldWord & 0xFF),
                                       static_cast<uint8_t>(newWord & 0xFF));
        default:
            return isSuppressed(kind, exposureMode) ? TableChange::None : TableChange::Reportable;
    }
}

}  // namespace

void ConditionTracker::store(std::shared_ptr<QuorinCameraCondition> record) {
    const MutexLock lock(conditionMutex);
    condition = std::move(record);
}

std::shared_ptr<QuorinCameraCondition> ConditionTracker::current() const {
    const MutexLock lock(conditionMutex);
    return condition;
}

bool ConditionTracker::startTracking() {
    const auto record = current();
    const MutexLock lock(wordsMutex);
    if (!tracking && record != nullptr) {
        copyWords(words, *record);
    }
    tracking = true;
    return true;
}

bool ConditionTracker::isTracking() const {
    const MutexLock lock(wordsMutex);
    return tracking;
}

void ConditionTracker::takeWords() {
    const auto record = current();
    if (record != nullptr) {
        takeWordsFrom(*record);
    }
}

void ConditionTracker::takeWordsOf(uint16_t propertyCode) {
    const auto record = current();
    const auto kind = changeKindOf(propertyCode);
    if (record == nullptr || !kind) {
        return;
    }
    const MutexLock lock(wordsMutex);
    copyWords(words, *record, kind);
}

void ConditionTracker::takeWordsFrom(const QuorinCameraCondition& record) {
    const MutexLock lock(wordsMutex);
    copyWords(words, record);
}

ConditionTracker::Changes ConditionTracker::compare(const QuorinCameraCondition& record) const {
    std::array<uint32_t, kWordCount> remembered{};
    {
        const MutexLock lock(wordsMutex);
        remembered = words;
    }
    Changes changes;
    for (size_t i = 0; i < kRememberedWords.size(); ++i) {
        const uint32_t newWord = rememberedWordOf(record, kRememberedWords[i].offset);
        if (remembered[i] == newWord) {
            continue;
        }
        const ChangeKind kind = kRememberedWords[i].kind;
        const TableChange change = classify(kind, remembered[i], newWord, record.exposureMode());
        changes.counted = changes.counted || change != TableChange::None;
        if (change == TableChange::Reportable) {
            changes.reportMask |= static_cast<uint8_t>(1U << kind);
        }
    }
    return changes;
}

std::shared_ptr<CaptureSetting> ConditionTracker::settingOfKind(int kind) {
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

}  // namespace Corvane::CameraController::Impl
