#include "corvane/camera_controller/setting.hpp"

#include <stdexcept>

namespace Corvane::CameraController {

namespace {

std::logic_error noValueError(const std::string& name) {
    return std::logic_error("setting " + name + " holds no value");
}

std::logic_error uncomparableError(const std::string& name) {
    return std::logic_error("cannot compare " + name + " settings: a setting holds no value");
}

template <class ValueHolder>
std::string describe(const std::string& name, const ValueHolder& value) {
    return name + ": " + (value ? value->toString() : std::string("no value"));
}

}  // namespace

CaptureSetting::CaptureSetting(const std::string& name) : name(name) {}

CaptureSetting::CaptureSetting(const std::string& name, CaptureSettingValue* value)
    : name(name), value(value) {}

CaptureSetting::~CaptureSetting() = default;

bool CaptureSetting::operator==(const CaptureSetting& other) const {
    if (name != other.name) {
        return false;
    }
    if (!value || !other.value) {
        throw uncomparableError(name);
    }
    return *value == *other.value;
}

bool CaptureSetting::operator!=(const CaptureSetting& other) const {
    return !(*this == other);
}

const std::string& CaptureSetting::getName() const {
    return name;
}

const CaptureSettingValue& CaptureSetting::getValue() const {
    if (!value) {
        throw noValueError(name);
    }
    return *value;
}

void CaptureSetting::setValue(std::unique_ptr<CaptureSettingValue>&& newValue) {
    if (&newValue != &value) {
        value = std::move(newValue);
    }
}

const std::vector<const CaptureSetting*>& CaptureSetting::getAvailableSettings() const {
    return availableSettings;
}

std::string CaptureSetting::toString() const {
    return describe(name, value);
}

CameraDeviceSetting::CameraDeviceSetting(const std::string& name) : name(name) {}

CameraDeviceSetting::CameraDeviceSetting(const std::string& name, CameraDeviceSettingValue* value)
    : name(name), value(value) {}

CameraDeviceSetting::~CameraDeviceSetting() = default;

bool CameraDeviceSetting::operator==(const CameraDeviceSetting& other) const {
    if (name != other.name) {
        return false;
    }
    if (!value || !other.value) {
        throw uncomparableError(name);
    }
    return *value == *other.value;
}

bool CameraDeviceSetting::operator!=(const CameraDeviceSetting& other) const {
    return !(*this == other);
}

const std::string& CameraDeviceSetting::getName() const {
    return name;
}

const CameraDeviceSettingValue& CameraDeviceSetting::getValue() const {
    if (!value) {
        throw noValueError(name);
    }
    return *value;
}

void CameraDeviceSetting::setValue(std::unique_ptr<CameraDeviceSettingValue>&& newValue) {
    if (&newValue != &value) {
        value = std::move(newValue);
    }
}

std::string CameraDeviceSetting::toString() const {
    return describe(name, value);
}

}  // namespace Corvane::CameraController
