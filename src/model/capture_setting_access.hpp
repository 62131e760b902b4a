// Library-side access to capture settings: what the camera codec and event processing need
// beyond the public interface.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "corvane/camera_controller/capture_settings.hpp"

namespace Corvane::CameraController::Impl {

/// Static helpers over the catalogue. Thread-safe as long as a given setting object is not used
/// by two threads at once.
class CaptureSettingAccess {
public:
    CaptureSettingAccess() = delete;

    /// The fixed name of catalogue class T ("FNumber" for FNumber).
    template <class T>
    static const std::string& nameOf() {
        return T::Name;
    }

    /// Empties the setting's list of available settings.
    static void clearAvailable(CaptureSetting& setting);
    /// Appends `singleton` to the setting's list of available settings. Throws
    /// std::invalid_argument when `singleton` is null or of another class.
    static void appendAvailable(CaptureSetting& setting, const CaptureSetting* singleton);
    /// Removes the first entry that is `singleton` from the available list; returns whether
    /// one was found.
    static bool removeFirstAvailable(CaptureSetting& setting, const CaptureSetting* singleton);

    /// Gives `setting` a new value copied from `source`'s value (typically a singleton). Throws
    /// std::invalid_argument when the two are of different classes and std::logic_error when
    /// `source` holds no value.
    static void copyValue(CaptureSetting& setting, const CaptureSetting& source);

    /// A new, empty setting of the catalogue class named `name`; null for an unknown name.
    static std::unique_ptr<CaptureSetting> create(const std::string& name);
    /// A new setting of the same class as `source`, holding a copy of its value (no value if
    /// `source` has none) and an empty available list. Throws std::invalid_argument when
    /// `source` is not of a catalogue class.
    static std::unique_ptr<CaptureSetting> clone(const CaptureSetting& source);
    /// A copy of `value`, of its own concrete class; throws std::invalid_argument when the
    /// class is not one of the catalogue's value classes.
    static std::unique_ptr<CaptureSettingValue> cloneValue(const CaptureSettingValue& value);

    /// Every singleton of the class named `name`, in declaration order; empty for an unknown
    /// name. Built on first use.
    static const std::vector<const CaptureSetting*>& singletons(const std::string& name);
    /// The names of the twelve catalogue classes, in catalogue order.
    static const std::vector<std::string>& names();

    /// Builds a catalogue object through its private payload constructor; used for the
    /// singletons.
    template <class T, class... Args>
    static T construct(Args&&... args) {
        return T(std::forward<Args>(args)...);
    }
};

}  // namespace Corvane::CameraController::Impl
