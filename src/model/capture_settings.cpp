#include "corvane/camera_controller/capture_settings.hpp"

#include <utility>

#include "model/capture_setting_access.hpp"

namespace Corvane::CameraController {

namespace {

// Holds a singleton that is never destroyed: detached library tasks may still read the
// singletons while the process exits. Taking the address of the member is a constant
// expression, so the public pointers are constant-initialised and tables built by other
// translation units during static initialisation already see their final values.
template <class T>
union Immortal {
    template <class... Args>
    explicit Immortal(Args&&... args)
        : object(Impl::CaptureSettingAccess::construct<T>(std::forward<Args>(args)...)) {}
    ~Immortal() {}

    T object;
};

}  // namespace

// Each class's Name is defined before its singletons: they are built from it, in this order.
#define CORVANE_SINGLETON(Class, Member, Payload)               \
    static Immortal<Class> Class##_##Member##_storage{Payload}; \
    const Class* const Class::Member = &Class##_##Member##_storage.object;

// CaptureMethod

CaptureMethodValue::CaptureMethodValue(const std::string& text) : text(text) {}

bool CaptureMethodValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const CaptureMethodValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string CaptureMethodValue::toString() const {
    return text;
}

const std::string CaptureMethod::Name = "CaptureMethod";

CaptureMethod::CaptureMethod() : CaptureSetting(Name) {}

CaptureMethod::CaptureMethod(const std::string& text)
    : CaptureSetting(Name, new CaptureMethodValue(text)) {}

CORVANE_CAPTURE_METHOD_VALUES(CORVANE_SINGLETON)

// ExposureCompensation

ExposureCompensationValue::ExposureCompensationValue(const std::string& text) : text(text) {}

bool ExposureCompensationValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const ExposureCompensationValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string ExposureCompensationValue::toString() const {
    return text;
}

const std::string ExposureCompensation::Name = "ExposureCompensation";

ExposureCompensation::ExposureCompensation() : CaptureSetting(Name) {}

ExposureCompensation::ExposureCompensation(const std::string& text)
    : CaptureSetting(Name, new ExposureCompensationValue(text)) {}

CORVANE_EXPOSURE_COMPENSATION_VALUES(CORVANE_SINGLETON)

// ExposureProgram

ExposureProgramValue::ExposureProgramValue(const std::string& text) : text(text) {}

bool ExposureProgramValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const ExposureProgramValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string ExposureProgramValue::toString() const {
    return text;
}

const std::string ExposureProgram::Name = "ExposureProgram";

ExposureProgram::ExposureProgram() : CaptureSetting(Name) {}

ExposureProgram::ExposureProgram(const std::string& text)
    : CaptureSetting(Name, new ExposureProgramValue(text)) {}

CORVANE_EXPOSURE_PROGRAM_VALUES(CORVANE_SINGLETON)

// FNumber

FNumberValue::FNumberValue(const std::string& text) : text(text) {}

bool FNumberValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const FNumberValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string FNumberValue::toString() const {
    return text;
}

const std::string FNumber::Name = "FNumber";

FNumber::FNumber() : CaptureSetting(Name) {}

FNumber::FNumber(const std::string& text) : CaptureSetting(Name, new FNumberValue(text)) {}

CORVANE_FNUMBER_VALUES(CORVANE_SINGLETON)

// AgileOperationEnable

AgileOperationEnableValue::AgileOperationEnableValue(bool value) : value(value) {}

bool AgileOperationEnableValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const AgileOperationEnableValue*>(&other);
    return same != nullptr && same->value == value;
}

std::string AgileOperationEnableValue::toString() const {
    return value ? "true" : "false";
}

const std::string AgileOperationEnable::Name = "AgileOperationEnable";

AgileOperationEnable::AgileOperationEnable() : CaptureSetting(Name) {}

AgileOperationEnable::AgileOperationEnable(bool value)
    : CaptureSetting(Name, new AgileOperationEnableValue(value)) {}

CORVANE_AGILE_OPERATION_ENABLE_VALUES(CORVANE_SINGLETON)

// ISO

ISOValue::ISOValue(const std::string& text) : text(text) {}

bool ISOValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const ISOValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string ISOValue::toString() const {
    return text;
}

const std::string ISO::Name = "ISO";

ISO::ISO() : CaptureSetting(Name) {}

ISO::ISO(const std::string& text) : CaptureSetting(Name, new ISOValue(text)) {}

CORVANE_ISO_VALUES(CORVANE_SINGLETON)

// ShutterSpeed

ShutterSpeedValue::ShutterSpeedValue(const std::string& text) : text(text) {}

bool ShutterSpeedValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const ShutterSpeedValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string ShutterSpeedValue::toString() const {
    return text;
}

const std::string ShutterSpeed::Name = "ShutterSpeed";

ShutterSpeed::ShutterSpeed() : CaptureSetting(Name) {}

ShutterSpeed::ShutterSpeed(const std::string& text)
    : CaptureSetting(Name, new ShutterSpeedValue(text)) {}

CORVANE_SHUTTER_SPEED_VALUES(CORVANE_SINGLETON)

// StillImageCaptureFormat

StillImageCaptureFormatValue::StillImageCaptureFormatValue(const std::string& text) : text(text) {}

bool StillImageCaptureFormatValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const StillImageCaptureFormatValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string StillImageCaptureFormatValue::toString() const {
    return text;
}

const std::string StillImageCaptureFormat::Name = "StillImageCaptureFormat";

StillImageCaptureFormat::StillImageCaptureFormat() : CaptureSetting(Name) {}

StillImageCaptureFormat::StillImageCaptureFormat(const std::string& text)
    : CaptureSetting(Name, new StillImageCaptureFormatValue(text)) {}

CORVANE_STILL_IMAGE_CAPTURE_FORMAT_VALUES(CORVANE_SINGLETON)

// StillImageQuality

StillImageQualityValue::StillImageQualityValue(const std::string& text) : text(text) {}

bool StillImageQualityValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const StillImageQualityValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string StillImageQualityValue::toString() const {
    return text;
}

const std::string StillImageQuality::Name = "StillImageQuality";

StillImageQuality::StillImageQuality() : CaptureSetting(Name) {}

StillImageQuality::StillImageQuality(const std::string& text)
    : CaptureSetting(Name, new StillImageQualityValue(text)) {}

CORVANE_STILL_IMAGE_QUALITY_VALUES(CORVANE_SINGLETON)

// StorageWriting

StorageWritingValue::StorageWritingValue(bool value) : value(value) {}

bool StorageWritingValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const StorageWritingValue*>(&other);
    return same != nullptr && same->value == value;
}

std::string StorageWritingValue::toString() const {
    return value ? "true" : "false";
}

const std::string StorageWriting::Name = "StorageWriting";

StorageWriting::StorageWriting() : CaptureSetting(Name) {}

StorageWriting::StorageWriting(bool value) : CaptureSetting(Name, new StorageWritingValue(value)) {}

CORVANE_STORAGE_WRITING_VALUES(CORVANE_SINGLETON)

// UserCaptureSettingsMode

UserCaptureSettingsModeValue::UserCaptureSettingsModeValue(const std::string& text) : text(text) {}

bool UserCaptureSettingsModeValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const UserCaptureSettingsModeValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string UserCaptureSettingsModeValue::toString() const {
    return text;
}

const std::string UserCaptureSettingsMode::Name = "UserCaptureSettingsMode";

UserCaptureSettingsMode::UserCaptureSettingsMode() : CaptureSetting(Name) {}

UserCaptureSettingsMode::UserCaptureSettingsMode(const std::string& text)
    : CaptureSetting(Name, new UserCaptureSettingsModeValue(text)) {}

CORVANE_USER_CAPTURE_SETTINGS_MODE_VALUES(CORVANE_SINGLETON)

// WhiteBalance

WhiteBalanceValue::WhiteBalanceValue(const std::string& text) : text(text) {}

bool WhiteBalanceValue::operator==(const CaptureSettingValue& other) const {
    const auto* same = dynamic_cast<const WhiteBalanceValue*>(&other);
    return same != nullptr && same->text == text;
}

std::string WhiteBalanceValue::toString() const {
    return text;
}

const std::string WhiteBalance::Name = "WhiteBalance";

WhiteBalance::WhiteBalance() : CaptureSetting(Name) {}

WhiteBalance::WhiteBalance(const std::string& text)
    : CaptureSetting(Name, new WhiteBalanceValue(text)) {}

CORVANE_WHITE_BALANCE_VALUES(CORVANE_SINGLETON)

#undef CORVANE_SINGLETON

}  // namespace Corvane::CameraController
