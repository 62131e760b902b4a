// What differs between the camera models: one profile per model, looked up by the model name
// the camera reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace Corvane::CameraController::Impl {

/// A firmware version "major.fraction", ordered as decimal numbers: "1.5" is above "1.41",
/// "1.40" equals "1.4".
struct FirmwareVersion {
    uint32_t major = 0;
    uint32_t millionths = 0;  ///< the fraction, to six digits

    /// The version of `text`: digits, optionally a point and more digits (the first six count;
    /// anything after them is ignored), or nothing when `text` does not start so.
    static std::optional<FirmwareVersion> parse(const std::string& text);

    bool operator<(const FirmwareVersion& other) const {
        return major != other.major ? major < other.major : millionths < other.millionths;
    }
};

struct CameraModelProfile {
    const char* model;                  ///< exactly as the camera reports it; "" for unknown
    uint32_t code;                      ///< the model's number in vendor data; 0 when unknown
    uint32_t cardSlots;                 ///< card slots the condition reports (0: unknown model)
    uint32_t settingClass;              ///< which code tables its settings use (0: unknown)
    bool movieUnderRemoteControl;       ///< whether it records movies when told to
    FirmwareVersion movieFromFirmware;  ///< ... from this firmware version on
    bool stopsLiveViewInMovieMode;      ///< refuses live view frames while in movie mode
    bool focusNeedsLiveView;            ///< drives the focus only while live view runs
    bool resetsTetherAfterCapture;      ///< forgets its tether image after each capture
    bool flashWhiteBalance;             ///< offers the Flash white balance
    size_t stillImageQualities;         ///< how many of the quality values it offers, in order

    /// Whether it records a movie under remote control at `firmware`. A version that does not
    /// parse counts as recent: the camera itself then has the last word.
    bool recordsMovie(const std::string& firmware) const;
};

/// The profile of `model`; a model the library does not know gets the unknown profile.
const CameraModelProfile& modelProfile(const std::string& model);

}  // namespace Corvane::CameraController::Impl
