// The condition part: the newest camera condition and the words change tracking remembers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "adapter/quorin_camera_condition.hpp"
#include "common/guarded_mutex.hpp"
#include "corvane/camera_controller/setting.hpp"

namespace Corvane::CameraController::Impl {

/// Holds the current condition record and the condition words last seen for each capture
/// setting the camera's dials move, so that a camera-side change can be told from a write.
/// Thread-safe: two leaf locks, each held only for a pointer or array copy. Runs no
/// transaction and calls no listener; the event task and setting writes drive it.
class ConditionTracker {
public:
    /// The changed settings to report, one bit per setting kind (see settingOfKind), and
    /// whether any remembered word moved in a way that counts (also to a value no table
    /// knows, which cannot be reported).
    struct Changes {
        uint8_t reportMask = 0;
        bool counted = false;
    };
    /// Number of setting kinds a Changes mask covers.
    static constexpr int kKinds = 8;

    /// Replaces the current record; records are immutable, readers keep theirs.
    void store(std::shared_ptr<QuorinCameraCondition> record);
    /// The current record; null before the first store.
    std::shared_ptr<QuorinCameraCondition> current() const;

    /// Takes every remembered word from the current record and, the first time, starts
    /// tracking; true when tracking is on.
    bool startTracking();
    bool isTracking() const;
    /// Takes every remembered word from the current record.
    void takeWords();
    /// After a write of `propertyCode`: takes only the words that property moves from the
    /// current record, so that camera-side changes of the others are still reported.
    void takeWordsOf(uint16_t propertyCode);
    /// Takes every remembered word from `record` (the one that was compared, never a newer
    /// one, so a dial turned meanwhile is seen by the next comparison).
    void takeWordsFrom(const QuorinCameraCondition& record);
    /// Compares the remembered words with `record`; takes nothing.
    Changes compare(const QuorinCameraCondition& record) const;

    /// A fresh setting of change kind `kind` (0 to kKinds - 1), in reporting order.
    static std::shared_ptr<CaptureSetting> settingOfKind(int kind);

private:
    static constexpr size_t kWordCount = 11;

    mutable Mutex conditionMutex;
    std::shared_ptr<QuorinCameraCondition> condition GUARDED_BY(conditionMutex);

    mutable Mutex wordsMutex;
    std::array<uint32_t, kWordCount> words GUARDED_BY(wordsMutex){};
    bool tracking GUARDED_BY(wordsMutex) = false;
};

}  // namespace Corvane::CameraController::Impl
