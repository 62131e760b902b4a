// The catalogue of capture settings: twelve setting classes, each with its value class and one
// static singleton per value the library can express. Read a setting by passing a
// default-constructed instance to the camera; write one by passing the singleton of the wanted
// value (for example FNumber::F5_6), or StorageWriting(true).
#pragma once

#include <string>

#include "corvane/camera_controller/capture_setting_values.hpp"
#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/setting.hpp"

/// Declares one singleton of a list in capture_setting_values.hpp inside its class.
#define CORVANE_DECLARE_CAPTURE_SETTING_VALUE(Class, Member, Payload) \
    static const Class* const Member;

namespace Corvane::CameraController {

/// Value of CaptureMethod: a text, compared exactly.
class CORVANE_API CaptureMethodValue : public CaptureSettingValue {
public:
    explicit CaptureMethodValue(const std::string& text);
    CaptureMethodValue(const CaptureMethodValue&) = default;
    CaptureMethodValue& operator=(const CaptureMethodValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// How a capture is taken: a still image or a movie.
class CORVANE_API CaptureMethod : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    CaptureMethod();

    /// The values (see CORVANE_CAPTURE_METHOD_VALUES for their texts).
    CORVANE_CAPTURE_METHOD_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit CaptureMethod(const std::string& text);

    static const std::string Name;
};

/// Value of ExposureCompensation: a text, compared exactly.
class CORVANE_API ExposureCompensationValue : public CaptureSettingValue {
public:
    explicit ExposureCompensationValue(const std::string& text);
    ExposureCompensationValue(const ExposureCompensationValue&) = default;
    ExposureCompensationValue& operator=(const ExposureCompensationValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// Exposure compensation in EV, from -5.0 to 5.0 (texts such as "-0.7", "0.0", "1.3").
class CORVANE_API ExposureCompensation : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ExposureCompensation();

    /// The values (see CORVANE_EXPOSURE_COMPENSATION_VALUES for their texts).
    CORVANE_EXPOSURE_COMPENSATION_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit ExposureCompensation(const std::string& text);

    static const std::string Name;
};

/// Value of ExposureProgram: a text, compared exactly.
class CORVANE_API ExposureProgramValue : public CaptureSettingValue {
public:
    explicit ExposureProgramValue(const std::string& text);
    ExposureProgramValue(const ExposureProgramValue&) = default;
    ExposureProgramValue& operator=(const ExposureProgramValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// The camera's exposure mode.
class CORVANE_API ExposureProgram : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ExposureProgram();

    /// The values (see CORVANE_EXPOSURE_PROGRAM_VALUES for their texts).
    CORVANE_EXPOSURE_PROGRAM_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit ExposureProgram(const std::string& text);

    static const std::string Name;
};

/// Value of FNumber: a text, compared exactly.
class CORVANE_API FNumberValue : public CaptureSettingValue {
public:
    explicit FNumberValue(const std::string& text);
    FNumberValue(const FNumberValue&) = default;
    FNumberValue& operator=(const FNumberValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// The aperture (texts such as "5.6", "10"; "null" when no aperture is reported).
class CORVANE_API FNumber : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    FNumber();

    /// The values (see CORVANE_FNUMBER_VALUES for their texts).
    CORVANE_FNUMBER_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit FNumber(const std::string& text);

    static const std::string Name;
};

/// Value of AgileOperationEnable: a flag, printed as "true" or "false".
class CORVANE_API AgileOperationEnableValue : public CaptureSettingValue {
public:
    explicit AgileOperationEnableValue(bool value);
    AgileOperationEnableValue(const AgileOperationEnableValue&) = default;
    AgileOperationEnableValue& operator=(const AgileOperationEnableValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;
    bool get() const { return value; }

private:
    bool value;
};

/// Whether the camera's agile operation mode is on.
class CORVANE_API AgileOperationEnable : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    AgileOperationEnable();

    /// The values (see CORVANE_AGILE_OPERATION_ENABLE_VALUES for their texts).
    CORVANE_AGILE_OPERATION_ENABLE_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit AgileOperationEnable(bool value);

    static const std::string Name;
};

/// Value of ISO: a text, compared exactly.
class CORVANE_API ISOValue : public CaptureSettingValue {
public:
    explicit ISOValue(const std::string& text);
    ISOValue(const ISOValue&) = default;
    ISOValue& operator=(const ISOValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// Sensitivity (texts such as "100"; "Auto").
class CORVANE_API ISO : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ISO();

    /// The values (see CORVANE_ISO_VALUES for their texts).
    CORVANE_ISO_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit ISO(const std::string& text);

    static const std::string Name;
};

/// Value of ShutterSpeed: a text, compared exactly.
class CORVANE_API ShutterSpeedValue : public CaptureSettingValue {
public:
    explicit ShutterSpeedValue(const std::string& text);
    ShutterSpeedValue(const ShutterSpeedValue&) = default;
    ShutterSpeedValue& operator=(const ShutterSpeedValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// Exposure time (texts such as "1/250", "0.3", "30", "Bulb", "auto").
class CORVANE_API ShutterSpeed : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ShutterSpeed();

    /// The values (see CORVANE_SHUTTER_SPEED_VALUES for their texts).
    CORVANE_SHUTTER_SPEED_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit ShutterSpeed(const std::string& text);

    static const std::string Name;
};

/// Value of StillImageCaptureFormat: a text, compared exactly.
class CORVANE_API StillImageCaptureFormatValue : public CaptureSettingValue {
public:
    explicit StillImageCaptureFormatValue(const std::string& text);
    StillImageCaptureFormatValue(const StillImageCaptureFormatValue&) = default;
    StillImageCaptureFormatValue& operator=(const StillImageCaptureFormatValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// File format of still images.
class CORVANE_API StillImageCaptureFormat : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    StillImageCaptureFormat();

    /// The values (see CORVANE_STILL_IMAGE_CAPTURE_FORMAT_VALUES for their texts).
    CORVANE_STILL_IMAGE_CAPTURE_FORMAT_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit StillImageCaptureFormat(const std::string& text);

    static const std::string Name;
};

/// Value of StillImageQuality: a text, compared exactly.
class CORVANE_API StillImageQualityValue : public CaptureSettingValue {
public:
    explicit StillImageQualityValue(const std::string& text);
    StillImageQualityValue(const StillImageQualityValue&) = default;
    StillImageQualityValue& operator=(const StillImageQualityValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// Size and compression of still images.
class CORVANE_API StillImageQuality : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    StillImageQuality();

    /// The values (see CORVANE_STILL_IMAGE_QUALITY_VALUES for their texts).
    CORVANE_STILL_IMAGE_QUALITY_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit StillImageQuality(const std::string& text);

    static const std::string Name;
};

/// Value of StorageWriting: a flag, printed as "true" or "false".
class CORVANE_API StorageWritingValue : public CaptureSettingValue {
public:
    explicit StorageWritingValue(bool value);
    StorageWritingValue(const StorageWritingValue&) = default;
    StorageWritingValue& operator=(const StorageWritingValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;
    bool get() const { return value; }

private:
    bool value;
};

/// Whether captured images are written to the camera's card.
class CORVANE_API StorageWriting : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    StorageWriting();
    /// A setting holding the given flag; accepted for writing like the singletons.
    explicit StorageWriting(bool value);

    /// The values (see CORVANE_STORAGE_WRITING_VALUES for their texts).
    CORVANE_STORAGE_WRITING_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;

    static const std::string Name;
};

/// Value of UserCaptureSettingsMode: a text, compared exactly.
class CORVANE_API UserCaptureSettingsModeValue : public CaptureSettingValue {
public:
    explicit UserCaptureSettingsModeValue(const std::string& text);
    UserCaptureSettingsModeValue(const UserCaptureSettingsModeValue&) = default;
    UserCaptureSettingsModeValue& operator=(const UserCaptureSettingsModeValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// The user settings slot the camera is in.
class CORVANE_API UserCaptureSettingsMode : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    UserCaptureSettingsMode();

    /// The values (see CORVANE_USER_CAPTURE_SETTINGS_MODE_VALUES for their texts).
    CORVANE_USER_CAPTURE_SETTINGS_MODE_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit UserCaptureSettingsMode(const std::string& text);

    static const std::string Name;
};

/// Value of WhiteBalance: a text, compared exactly.
class CORVANE_API WhiteBalanceValue : public CaptureSettingValue {
public:
    explicit WhiteBalanceValue(const std::string& text);
    WhiteBalanceValue(const WhiteBalanceValue&) = default;
    WhiteBalanceValue& operator=(const WhiteBalanceValue&) = default;

    bool operator==(const CaptureSettingValue& other) const override;
    std::string toString() const override;

private:
    std::string text;
};

/// White balance mode.
class CORVANE_API WhiteBalance : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    WhiteBalance();

    /// The values (see CORVANE_WHITE_BALANCE_VALUES for their texts).
    CORVANE_WHITE_BALANCE_VALUES(CORVANE_DECLARE_CAPTURE_SETTING_VALUE)

private:
    friend class Impl::CaptureSettingAccess;
    explicit WhiteBalance(const std::string& text);

    static const std::string Name;
};

}  // namespace Corvane::CameraController
