// What the body's exposure controls allow in each mode, and the values it offers.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace Corvane::CameraController::Emulator::Exposure {

// Bits of the condition's adjustable mask.
constexpr uint32_t kAdjustAperture = 0x1;
constexpr uint32_t kAdjustShutter = 0x2;
constexpr uint32_t kAdjustIso = 0x4;
constexpr uint32_t kAdjustCompensation = 0x8;
/// Set for a moment after a setting that makes the body reconfigure (white balance, format).
constexpr uint32_t kSettling = 0x20;

constexpr int32_t kModeCount = 22;
constexpr int32_t kModeManual = 8;
constexpr int32_t kModeBulb = 9;
constexpr int32_t kModeIsoPriority = 15;
constexpr int32_t kModeAuto = 21;

/// Which of aperture, shutter, ISO and compensation the photographer sets in `mode`.
uint32_t adjustableMask(int32_t mode);
bool isValidMode(int32_t mode);
/// Modes in which auto ISO is not offered.
bool forbidsAutoIso(int32_t mode);

struct ShutterSpeed {
    uint32_t numerator;
    uint32_t denominator;
    bool operator==(const ShutterSpeed& o) const {
        return numerator == o.numerator && denominator == o.denominator;
    }
    /// Exposure time in seconds (0 for bulb and the placeholder values).
    double seconds() const;
};
constexpr ShutterSpeed kBulb{0xFFFFFFFFu, 0xFFFFFFFFu};
/// What the condition reports as the shutter speed while the body is in bulb mode.
constexpr ShutterSpeed kBulbConditionShutter{1, 60};

/// Apertures of the mounted lens, f/2.8 to f/22 in third stops, in hundredths.
const std::vector<uint16_t>& apertures();
/// -5.0 to +5.0 EV in third stops, thousandths of EV (thirds coded as 300 and 700).
const std::vector<int16_t>& compensations();
/// ISO 100 to 51200 in third stops, preceded by 0 (auto).
const std::vector<uint32_t>& isoValues();
/// Standard and vendor white balance codes the body offers.
const std::vector<uint16_t>& whiteBalances();
/// 1/8000 s to 30 s in third stops, preceded by the (0, 1) placeholder the body lists first.
const std::vector<ShutterSpeed>& shutterSpeeds();

}  // namespace Corvane::CameraController::Emulator::Exposure
