// The camera condition: the newest answer to vendor operation 0x900F, shared read-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Corvane::CameraController::Impl {

/// Byte offsets of the condition dataset words the adapter reads (little-endian u32 each). The
/// one place the layout is written: change tracking and the capture code name these too.
namespace ConditionOffset {
constexpr size_t headerWord = 0;
constexpr size_t cameraState = 24;
constexpr size_t objectReady = 32;
constexpr size_t objectHandle = 36;
constexpr size_t userSettingsMode = 40;
constexpr size_t apertureWord1 = 64;
constexpr size_t apertureWord2 = 68;
constexpr size_t compensationWord1 = 72;
constexpr size_t compensationWord2 = 76;
constexpr size_t statusFlags = 104;
constexpr size_t isoWordValid = 108;
constexpr size_t whiteBalanceWord = 120;
constexpr size_t exposureMode = 184;
constexpr size_t shutterNumerator = 272;
constexpr size_t shutterDenominator = 276;
constexpr size_t isoSensitivity = 312;
constexpr size_t slot1FileFormat = 464;
constexpr size_t slot2FileFormat = 468;
constexpr size_t slot1Inactive = 484;
constexpr size_t slot2Inactive = 488;
constexpr size_t adjustableMask = 504;
constexpr size_t lastCaptureSlot = 560;
}  // namespace ConditionOffset

/// Bits of the statusFlags word.
namespace StatusFlag {
constexpr uint32_t busyShooting = 0x100003;
constexpr uint32_t movieMode = 0x100;
constexpr uint32_t movieRecording = 0x200;
constexpr uint32_t anyMovie = 0x300;
constexpr uint32_t captureInhibited = 0x4000;
}  // namespace StatusFlag

/// An immutable copy of one condition dataset. A newer answer replaces the whole record, so a
/// reader holding a shared_ptr copy always sees one consistent answer.
///
/// Cameras may send a dataset shorter than the offsets above; every read past the end yields 0
/// rather than touching memory that was not received.
class QuorinCameraCondition {
public:
    /// Copies `size` bytes from `bytes` (which may be null when size is 0).
    QuorinCameraCondition(const uint8_t* bytes, uint32_t size);
    QuorinCameraCondition(const QuorinCameraCondition&) = delete;
    QuorinCameraCondition& operator=(const QuorinCameraCondition&) = delete;

    const uint8_t* getData() const { return data.get(); }
    uint32_t getSize() const { return size; }

    /// True when the record holds the whole u32 at `offset`.
    bool has(size_t offset) const { return offset + 4 <= size; }
    /// The little-endian u32 at `offset`, or 0 when the record is too short.
    uint32_t u32At(size_t offset) const;

    uint32_t headerWord() const { return u32At(ConditionOffset::headerWord); }
    uint32_t cameraState() const { return u32At(ConditionOffset::cameraState); }
    uint32_t objectReady() const { return u32At(ConditionOffset::objectReady); }
    uint32_t userSettingsMode() const { return u32At(ConditionOffset::userSettingsMode); }
    uint32_t statusFlags() const { return u32At(ConditionOffset::statusFlags); }
    int32_t exposureMode() const {
        return static_cast<int32_t>(u32At(ConditionOffset::exposureMode));
    }
    uint32_t shutterNumerator() const { return u32At(ConditionOffset::shutterNumerator); }
    uint32_t shutterDenominator() const { return u32At(ConditionOffset::shutterDenominator); }
    /// The ISO word, taken as 0 while the camera marks it invalid.
    uint32_t isoSensitivity() const;
    uint32_t slot1FileFormat() const { return u32At(ConditionOffset::slot1FileFormat); }
    uint32_t slot2FileFormat() const { return u32At(ConditionOffset::slot2FileFormat); }
    uint32_t slot1Inactive() const { return u32At(ConditionOffset::slot1Inactive); }
    uint32_t slot2Inactive() const { return u32At(ConditionOffset::slot2Inactive); }
    uint32_t adjustableMask() const { return u32At(ConditionOffset::adjustableMask); }

private:
    std::unique_ptr<uint8_t[]> data;
    uint32_t size = 0;
};

}  // namespace Corvane::CameraController::Impl
