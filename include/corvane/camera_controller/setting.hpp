// The setting framework: a setting is a fixed name plus at most one value. Capture settings
// (exposure and image parameters) and camera device settings (clock, live view geometry) are two
// separate families that never mix.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "corvane/camera_controller/export.hpp"

namespace Corvane::CameraController {

namespace Impl {
class CaptureSettingAccess;
class CameraDeviceSettingAccess;
}  // namespace Impl

/// The value of a capture setting. Two values are equal only when they have the same concrete
/// class and equal payloads; comparing values of different classes yields false.
class CORVANE_API CaptureSettingValue {
public:
    CaptureSettingValue() = default;
    CaptureSettingValue(const CaptureSettingValue&) = default;
    CaptureSettingValue& operator=(const CaptureSettingValue&) = default;
    virtual ~CaptureSettingValue() = default;

    virtual bool operator==(const CaptureSettingValue& other) const = 0;
    /// The negation of operator==.
    virtual bool operator!=(const CaptureSettingValue& other) const { return !(*this == other); }
    /// The value's text, for example "5.6" or "true".
    virtual std::string toString() const = 0;
};

/// Base of every capture setting class of the catalogue (FNumber, ISO, ...).
///
/// A setting owns its value exclusively. The list of available settings points at the static
/// singletons of the same class that the camera accepts now; it is filled by a camera read and
/// never owns what it points to.
class CORVANE_API CaptureSetting {
public:
    CaptureSetting(const CaptureSetting&) = delete;
    CaptureSetting& operator=(const CaptureSetting&) = delete;
    virtual ~CaptureSetting();

    /// True when the names are equal and the values are equal. Settings with different names
    /// are unequal. Throws std::logic_error when the names are equal and either setting holds
    /// no value. Available lists are not compared.
    virtual bool operator==(const CaptureSetting& other) const;
    /// The negation of operator== (throws in the same cases).
    virtual bool operator!=(const CaptureSetting& other) const;
    /// The fixed name, which is also the class name ("FNumber").
    virtual const std::string& getName() const;
    /// The held value. Throws std::logic_error when the setting holds no value (see hasValue).
    virtual const CaptureSettingValue& getValue() const;
    /// Takes ownership of `value` (leaving the argument empty) and destroys the previous value.
    /// Passing the setting's own holder changes nothing; an empty pointer clears the value.
    virtual void setValue(std::unique_ptr<CaptureSettingValue>&& value);
    /// The singletons of this class the camera accepts now, in the camera's order; empty until
    /// a camera read fills it.
    virtual const std::vector<const CaptureSetting*>& getAvailableSettings() const;
    /// "<name>: <value text>", or "<name>: no value".
    virtual std::string toString() const;

    /// Whether the setting holds a value.
    bool hasValue() const { return value != nullptr; }

protected:
    explicit CaptureSetting(const std::string& name);
    /// Takes ownership of `value`.
    CaptureSetting(const std::string& name, CaptureSettingValue* value);

private:
    friend class Impl::CaptureSettingAccess;

    std::string name;
    std::unique_ptr<CaptureSettingValue> value;
    std::vector<const CaptureSetting*> availableSettings;
};

/// The value of a camera device setting. Same equality rules as CaptureSettingValue.
class CORVANE_API CameraDeviceSettingValue {
public:
    CameraDeviceSettingValue() = default;
    CameraDeviceSettingValue(const CameraDeviceSettingValue&) = default;
    CameraDeviceSettingValue& operator=(const CameraDeviceSettingValue&) = default;
    virtual ~CameraDeviceSettingValue() = default;

    virtual bool operator==(const CameraDeviceSettingValue& other) const = 0;
    /// The negation of operator==.
    virtual bool operator!=(const CameraDeviceSettingValue& other) const {
        return !(*this == other);
    }
    virtual std::string toString() const = 0;
};

/// Base of the camera device settings (CameraTime, LiveViewSpecification).
class CORVANE_API CameraDeviceSetting {
public:
    CameraDeviceSetting(const CameraDeviceSetting&) = delete;
    CameraDeviceSetting& operator=(const CameraDeviceSetting&) = delete;
    virtual ~CameraDeviceSetting();

    /// True when the names and the values are equal. Settings with different names are unequal.
    /// Throws std::logic_error when the names are equal and either setting holds no value.
    virtual bool operator==(const CameraDeviceSetting& other) const;
    /// The negation of operator== (throws in the same cases).
    virtual bool operator!=(const CameraDeviceSetting& other) const;
    virtual const std::string& getName() const;
    /// The held value. Throws std::logic_error when the setting holds no value (see hasValue).
    virtual const CameraDeviceSettingValue& getValue() const;
    /// Takes ownership of `value` (leaving the argument empty) and destroys the previous value.
    /// Passing the setting's own holder changes nothing; an empty pointer clears the value.
    virtual void setValue(std::unique_ptr<CameraDeviceSettingValue>&& value);
    /// "<name>: <value text>", or "<name>: no value".
    virtual std::string toString() const;

    /// Whether the setting holds a value.
    bool hasValue() const { return value != nullptr; }

protected:
    explicit CameraDeviceSetting(const std::string& name);
    /// Takes ownership of `value`.
    CameraDeviceSetting(const std::string& name, CameraDeviceSettingValue* value);

private:
    friend class Impl::CameraDeviceSettingAccess;

    std::string name;
    std::unique_ptr<CameraDeviceSettingValue> value;
};

}  // namespace Corvane::CameraController
