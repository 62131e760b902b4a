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
    const Class* const Class::Member = &Class##_##Member##_storage.object

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

CORVANE_SINGLETON(CaptureMethod, StillImage, "StillImage");
CORVANE_SINGLETON(CaptureMethod, Movie, "Movie");

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

CORVANE_SINGLETON(ExposureCompensation, ECNegative5_0, "-5.0");
CORVANE_SINGLETON(ExposureCompensation, ECNegative4_7, "-4.7");
CORVANE_SINGLETON(ExposureCompensation, ECNegative4_5, "-4.5");
CORVANE_SINGLETON(ExposureCompensation, ECNegative4_3, "-4.3");
CORVANE_SINGLETON(ExposureCompensation, ECNegative4_0, "-4.0");
CORVANE_SINGLETON(ExposureCompensation, ECNegative3_7, "-3.7");
CORVANE_SINGLETON(ExposureCompensation, ECNegative3_5, "-3.5");
CORVANE_SINGLETON(ExposureCompensation, ECNegative3_3, "-3.3");
CORVANE_SINGLETON(ExposureCompensation, ECNegative3_0, "-3.0");
CORVANE_SINGLETON(ExposureCompensation, ECNegative2_7, "-2.7");
CORVANE_SINGLETON(ExposureCompensation, ECNegative2_5, "-2.5");
CORVANE_SINGLETON(ExposureCompensation, ECNegative2_3, "-2.3");
CORVANE_SINGLETON(ExposureCompensation, ECNegative2_0, "-2.0");
CORVANE_SINGLETON(ExposureCompensation, ECNegative1_7, "-1.7");
CORVANE_SINGLETON(ExposureCompensation, ECNegative1_5, "-1.5");
CORVANE_SINGLETON(ExposureCompensation, ECNegative1_3, "-1.3");
CORVANE_SINGLETON(ExposureCompensation, ECNegative1_0, "-1.0");
CORVANE_SINGLETON(ExposureCompensation, ECNegative0_7, "-0.7");
CORVANE_SINGLETON(ExposureCompensation, ECNegative0_5, "-0.5");
CORVANE_SINGLETON(ExposureCompensation, ECNegative0_3, "-0.3");
CORVANE_SINGLETON(ExposureCompensation, EC0_0, "0.0");
CORVANE_SINGLETON(ExposureCompensation, EC0_3, "0.3");
CORVANE_SINGLETON(ExposureCompensation, EC0_5, "0.5");
CORVANE_SINGLETON(ExposureCompensation, EC0_7, "0.7");
CORVANE_SINGLETON(ExposureCompensation, EC1_0, "1.0");
CORVANE_SINGLETON(ExposureCompensation, EC1_3, "1.3");
CORVANE_SINGLETON(ExposureCompensation, EC1_5, "1.5");
CORVANE_SINGLETON(ExposureCompensation, EC1_7, "1.7");
CORVANE_SINGLETON(ExposureCompensation, EC2_0, "2.0");
CORVANE_SINGLETON(ExposureCompensation, EC2_3, "2.3");
CORVANE_SINGLETON(ExposureCompensation, EC2_5, "2.5");
CORVANE_SINGLETON(ExposureCompensation, EC2_7, "2.7");
CORVANE_SINGLETON(ExposureCompensation, EC3_0, "3.0");
CORVANE_SINGLETON(ExposureCompensation, EC3_3, "3.3");
CORVANE_SINGLETON(ExposureCompensation, EC3_5, "3.5");
CORVANE_SINGLETON(ExposureCompensation, EC3_7, "3.7");
CORVANE_SINGLETON(ExposureCompensation, EC4_0, "4.0");
CORVANE_SINGLETON(ExposureCompensation, EC4_3, "4.3");
CORVANE_SINGLETON(ExposureCompensation, EC4_5, "4.5");
CORVANE_SINGLETON(ExposureCompensation, EC4_7, "4.7");
CORVANE_SINGLETON(ExposureCompensation, EC5_0, "5.0");

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

CORVANE_SINGLETON(ExposureProgram, Unknown, "Unknown");
CORVANE_SINGLETON(ExposureProgram, Auto, "Auto");
CORVANE_SINGLETON(ExposureProgram, Program, "Program");
CORVANE_SINGLETON(ExposureProgram, AperturePriority, "AperturePriority");
CORVANE_SINGLETON(ExposureProgram, ShutterSpeedPriority, "ShutterSpeedPriority");
CORVANE_SINGLETON(ExposureProgram, ShutterSpeedAndAperturePriority,
                  "ShutterSpeedAndAperturePriority");
CORVANE_SINGLETON(ExposureProgram, ISOPriority, "ISOPriority");
CORVANE_SINGLETON(ExposureProgram, Manual, "Manual");
CORVANE_SINGLETON(ExposureProgram, Bulb, "Bulb");
CORVANE_SINGLETON(ExposureProgram, FlashXSyncSpeed, "FlashXSyncSpeed");
CORVANE_SINGLETON(ExposureProgram, Skyglide, "Skyglide");
CORVANE_SINGLETON(ExposureProgram, LensShutter, "LensShutter");

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

CORVANE_SINGLETON(FNumber, Null, "null");
CORVANE_SINGLETON(FNumber, F0_5, "0.5");
CORVANE_SINGLETON(FNumber, F0_7, "0.7");
CORVANE_SINGLETON(FNumber, F0_8, "0.8");
CORVANE_SINGLETON(FNumber, F0_9, "0.9");
CORVANE_SINGLETON(FNumber, F1_0, "1.0");
CORVANE_SINGLETON(FNumber, F1_1, "1.1");
CORVANE_SINGLETON(FNumber, F1_2, "1.2");
CORVANE_SINGLETON(FNumber, F1_3, "1.3");
CORVANE_SINGLETON(FNumber, F1_4, "1.4");
CORVANE_SINGLETON(FNumber, F1_6, "1.6");
CORVANE_SINGLETON(FNumber, F1_7, "1.7");
CORVANE_SINGLETON(FNumber, F1_8, "1.8");
CORVANE_SINGLETON(FNumber, F1_9, "1.9");
CORVANE_SINGLETON(FNumber, F2_0, "2.0");
CORVANE_SINGLETON(FNumber, F2_2, "2.2");
CORVANE_SINGLETON(FNumber, F2_4, "2.4");
CORVANE_SINGLETON(FNumber, F2_5, "2.5");
CORVANE_SINGLETON(FNumber, F2_8, "2.8");
CORVANE_SINGLETON(FNumber, F3_2, "3.2");
CORVANE_SINGLETON(FNumber, F3_3, "3.3");
CORVANE_SINGLETON(FNumber, F3_5, "3.5");
CORVANE_SINGLETON(FNumber, F4_0, "4.0");
CORVANE_SINGLETON(FNumber, F4_5, "4.5");
CORVANE_SINGLETON(FNumber, F4_8, "4.8");
CORVANE_SINGLETON(FNumber, F5_0, "5.0");
CORVANE_SINGLETON(FNumber, F5_6, "5.6");
CORVANE_SINGLETON(FNumber, F5_8, "5.8");
CORVANE_SINGLETON(FNumber, F6_3, "6.3");
CORVANE_SINGLETON(FNumber, F6_7, "6.7");
CORVANE_SINGLETON(FNumber, F7_1, "7.1");
CORVANE_SINGLETON(FNumber, F8_0, "8.0");
CORVANE_SINGLETON(FNumber, F9_0, "9.0");
CORVANE_SINGLETON(FNumber, F9_5, "9.5");
CORVANE_SINGLETON(FNumber, F10, "10");
CORVANE_SINGLETON(FNumber, F11, "11");
CORVANE_SINGLETON(FNumber, F13, "13");
CORVANE_SINGLETON(FNumber, F14, "14");
CORVANE_SINGLETON(FNumber, F16, "16");
CORVANE_SINGLETON(FNumber, F18, "18");
CORVANE_SINGLETON(FNumber, F19, "19");
CORVANE_SINGLETON(FNumber, F20, "20");
CORVANE_SINGLETON(FNumber, F22, "22");
CORVANE_SINGLETON(FNumber, F25, "25");
CORVANE_SINGLETON(FNumber, F27, "27");
CORVANE_SINGLETON(FNumber, F29, "29");
CORVANE_SINGLETON(FNumber, F32, "32");
CORVANE_SINGLETON(FNumber, F36, "36");
CORVANE_SINGLETON(FNumber, F38, "38");
CORVANE_SINGLETON(FNumber, F40, "40");
CORVANE_SINGLETON(FNumber, F45, "45");
CORVANE_SINGLETON(FNumber, F51, "51");
CORVANE_SINGLETON(FNumber, F54, "54");
CORVANE_SINGLETON(FNumber, F57, "57");
CORVANE_SINGLETON(FNumber, F64, "64");
CORVANE_SINGLETON(FNumber, F72, "72");
CORVANE_SINGLETON(FNumber, F76, "76");
CORVANE_SINGLETON(FNumber, F80, "80");
CORVANE_SINGLETON(FNumber, F81, "81");
CORVANE_SINGLETON(FNumber, F90, "90");
CORVANE_SINGLETON(FNumber, F107, "107");
CORVANE_SINGLETON(FNumber, F128, "128");
CORVANE_SINGLETON(FNumber, F180, "180");
CORVANE_SINGLETON(FNumber, F256, "256");

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

CORVANE_SINGLETON(AgileOperationEnable, True, true);
CORVANE_SINGLETON(AgileOperationEnable, False, false);

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

CORVANE_SINGLETON(ISO, Auto, "Auto");
CORVANE_SINGLETON(ISO, ISO100, "100");
CORVANE_SINGLETON(ISO, ISO125, "125");
CORVANE_SINGLETON(ISO, ISO140, "140");
CORVANE_SINGLETON(ISO, ISO160, "160");
CORVANE_SINGLETON(ISO, ISO200, "200");
CORVANE_SINGLETON(ISO, ISO250, "250");
CORVANE_SINGLETON(ISO, ISO280, "280");
CORVANE_SINGLETON(ISO, ISO320, "320");
CORVANE_SINGLETON(ISO, ISO400, "400");
CORVANE_SINGLETON(ISO, ISO500, "500");
CORVANE_SINGLETON(ISO, ISO560, "560");
CORVANE_SINGLETON(ISO, ISO640, "640");
CORVANE_SINGLETON(ISO, ISO800, "800");
CORVANE_SINGLETON(ISO, ISO1000, "1000");
CORVANE_SINGLETON(ISO, ISO1100, "1100");
CORVANE_SINGLETON(ISO, ISO1250, "1250");
CORVANE_SINGLETON(ISO, ISO1600, "1600");
CORVANE_SINGLETON(ISO, ISO2000, "2000");
CORVANE_SINGLETON(ISO, ISO2200, "2200");
CORVANE_SINGLETON(ISO, ISO2500, "2500");
CORVANE_SINGLETON(ISO, ISO3200, "3200");
CORVANE_SINGLETON(ISO, ISO4000, "4000");
CORVANE_SINGLETON(ISO, ISO4500, "4500");
CORVANE_SINGLETON(ISO, ISO5000, "5000");
CORVANE_SINGLETON(ISO, ISO6400, "6400");
CORVANE_SINGLETON(ISO, ISO8000, "8000");
CORVANE_SINGLETON(ISO, ISO9000, "9000");
CORVANE_SINGLETON(ISO, ISO10000, "10000");
CORVANE_SINGLETON(ISO, ISO12800, "12800");
CORVANE_SINGLETON(ISO, ISO16000, "16000");
CORVANE_SINGLETON(ISO, ISO18000, "18000");
CORVANE_SINGLETON(ISO, ISO20000, "20000");
CORVANE_SINGLETON(ISO, ISO25600, "25600");
CORVANE_SINGLETON(ISO, ISO32000, "32000");
CORVANE_SINGLETON(ISO, ISO36000, "36000");
CORVANE_SINGLETON(ISO, ISO40000, "40000");
CORVANE_SINGLETON(ISO, ISO51200, "51200");
CORVANE_SINGLETON(ISO, ISO64000, "64000");
CORVANE_SINGLETON(ISO, ISO72000, "72000");
CORVANE_SINGLETON(ISO, ISO80000, "80000");
CORVANE_SINGLETON(ISO, ISO102400, "102400");
CORVANE_SINGLETON(ISO, ISO128000, "128000");
CORVANE_SINGLETON(ISO, ISO144000, "144000");
CORVANE_SINGLETON(ISO, ISO160000, "160000");
CORVANE_SINGLETON(ISO, ISO204800, "204800");
CORVANE_SINGLETON(ISO, ISO256000, "256000");
CORVANE_SINGLETON(ISO, ISO288000, "288000");
CORVANE_SINGLETON(ISO, ISO320000, "320000");
CORVANE_SINGLETON(ISO, ISO409600, "409600");
CORVANE_SINGLETON(ISO, ISO512000, "512000");
CORVANE_SINGLETON(ISO, ISO576000, "576000");
CORVANE_SINGLETON(ISO, ISO640000, "640000");
CORVANE_SINGLETON(ISO, ISO819200, "819200");

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

CORVANE_SINGLETON(ShutterSpeed, SS1_24000, "1/24000");
CORVANE_SINGLETON(ShutterSpeed, SS1_20000, "1/20000");
CORVANE_SINGLETON(ShutterSpeed, SS1_16000, "1/16000");
CORVANE_SINGLETON(ShutterSpeed, SS1_12800, "1/12800");
CORVANE_SINGLETON(ShutterSpeed, SS1_12000, "1/12000");
CORVANE_SINGLETON(ShutterSpeed, SS1_10000, "1/10000");
CORVANE_SINGLETON(ShutterSpeed, SS1_8000, "1/8000");
CORVANE_SINGLETON(ShutterSpeed, SS1_6400, "1/6400");
CORVANE_SINGLETON(ShutterSpeed, SS1_6000, "1/6000");
CORVANE_SINGLETON(ShutterSpeed, SS1_5000, "1/5000");
CORVANE_SINGLETON(ShutterSpeed, SS1_4000, "1/4000");
CORVANE_SINGLETON(ShutterSpeed, SS1_3200, "1/3200");
CORVANE_SINGLETON(ShutterSpeed, SS1_3000, "1/3000");
CORVANE_SINGLETON(ShutterSpeed, SS1_2500, "1/2500");
CORVANE_SINGLETON(ShutterSpeed, SS1_2000, "1/2000");
CORVANE_SINGLETON(ShutterSpeed, SS1_1600, "1/1600");
CORVANE_SINGLETON(ShutterSpeed, SS1_1500, "1/1500");
CORVANE_SINGLETON(ShutterSpeed, SS1_1250, "1/1250");
CORVANE_SINGLETON(ShutterSpeed, SS1_1000, "1/1000");
CORVANE_SINGLETON(ShutterSpeed, SS1_800, "1/800");
CORVANE_SINGLETON(ShutterSpeed, SS1_750, "1/750");
CORVANE_SINGLETON(ShutterSpeed, SS1_640, "1/640");
CORVANE_SINGLETON(ShutterSpeed, SS1_500, "1/500");
CORVANE_SINGLETON(ShutterSpeed, SS1_400, "1/400");
CORVANE_SINGLETON(ShutterSpeed, SS1_350, "1/350");
CORVANE_SINGLETON(ShutterSpeed, SS1_320, "1/320");
CORVANE_SINGLETON(ShutterSpeed, SS1_250, "1/250");
CORVANE_SINGLETON(ShutterSpeed, SS1_200, "1/200");
CORVANE_SINGLETON(ShutterSpeed, SS1_180, "1/180");
CORVANE_SINGLETON(ShutterSpeed, SS1_160, "1/160");
CORVANE_SINGLETON(ShutterSpeed, SS1_125, "1/125");
CORVANE_SINGLETON(ShutterSpeed, SS1_100, "1/100");
CORVANE_SINGLETON(ShutterSpeed, SS1_90, "1/90");
CORVANE_SINGLETON(ShutterSpeed, SS1_80, "1/80");
CORVANE_SINGLETON(ShutterSpeed, SS1_60, "1/60");
CORVANE_SINGLETON(ShutterSpeed, SS1_50, "1/50");
CORVANE_SINGLETON(ShutterSpeed, SS1_45, "1/45");
CORVANE_SINGLETON(ShutterSpeed, SS1_40, "1/40");
CORVANE_SINGLETON(ShutterSpeed, SS1_30, "1/30");
CORVANE_SINGLETON(ShutterSpeed, SS1_25, "1/25");
CORVANE_SINGLETON(ShutterSpeed, SS1_20, "1/20");
CORVANE_SINGLETON(ShutterSpeed, SS1_15, "1/15");
CORVANE_SINGLETON(ShutterSpeed, SS1_13, "1/13");
CORVANE_SINGLETON(ShutterSpeed, SS1_10, "1/10");
CORVANE_SINGLETON(ShutterSpeed, SS1_8, "1/8");
CORVANE_SINGLETON(ShutterSpeed, SS1_6, "1/6");
CORVANE_SINGLETON(ShutterSpeed, SS1_5, "1/5");
CORVANE_SINGLETON(ShutterSpeed, SS1_4, "1/4");
CORVANE_SINGLETON(ShutterSpeed, SS1_3, "1/3");
CORVANE_SINGLETON(ShutterSpeed, SS3_10, "0.3");
CORVANE_SINGLETON(ShutterSpeed, SS10_25, "1/2.5");
CORVANE_SINGLETON(ShutterSpeed, SS4_10, "0.4");
CORVANE_SINGLETON(ShutterSpeed, SS1_2, "1/2");
CORVANE_SINGLETON(ShutterSpeed, SS5_10, "0.5");
CORVANE_SINGLETON(ShutterSpeed, SS6_10, "0.6");
CORVANE_SINGLETON(ShutterSpeed, SS10_16, "1/1.6");
CORVANE_SINGLETON(ShutterSpeed, SS7_10, "0.7");
CORVANE_SINGLETON(ShutterSpeed, SS10_13, "1/1.3");
CORVANE_SINGLETON(ShutterSpeed, SS8_10, "0.8");
CORVANE_SINGLETON(ShutterSpeed, SS1, "1");
CORVANE_SINGLETON(ShutterSpeed, SS13_10, "1.3");
CORVANE_SINGLETON(ShutterSpeed, SS15_10, "1.5");
CORVANE_SINGLETON(ShutterSpeed, SS16_10, "1.6");
CORVANE_SINGLETON(ShutterSpeed, SS2, "2");
CORVANE_SINGLETON(ShutterSpeed, SS25_10, "2.5");
CORVANE_SINGLETON(ShutterSpeed, SS3, "3");
CORVANE_SINGLETON(ShutterSpeed, SS32_10, "3.2");
CORVANE_SINGLETON(ShutterSpeed, SS4, "4");
CORVANE_SINGLETON(ShutterSpeed, SS5, "5");
CORVANE_SINGLETON(ShutterSpeed, SS6, "6");
CORVANE_SINGLETON(ShutterSpeed, SS8, "8");
CORVANE_SINGLETON(ShutterSpeed, SS10, "10");
CORVANE_SINGLETON(ShutterSpeed, SS13, "13");
CORVANE_SINGLETON(ShutterSpeed, SS15, "15");
CORVANE_SINGLETON(ShutterSpeed, SS20, "20");
CORVANE_SINGLETON(ShutterSpeed, SS25, "25");
CORVANE_SINGLETON(ShutterSpeed, SS30, "30");
CORVANE_SINGLETON(ShutterSpeed, SS40, "40");
CORVANE_SINGLETON(ShutterSpeed, SS50, "50");
CORVANE_SINGLETON(ShutterSpeed, SS60, "60");
CORVANE_SINGLETON(ShutterSpeed, SS70, "70");
CORVANE_SINGLETON(ShutterSpeed, SS80, "80");
CORVANE_SINGLETON(ShutterSpeed, SS90, "90");
CORVANE_SINGLETON(ShutterSpeed, SS100, "100");
CORVANE_SINGLETON(ShutterSpeed, SS110, "110");
CORVANE_SINGLETON(ShutterSpeed, SS120, "120");
CORVANE_SINGLETON(ShutterSpeed, SS130, "130");
CORVANE_SINGLETON(ShutterSpeed, SS140, "140");
CORVANE_SINGLETON(ShutterSpeed, SS150, "150");
CORVANE_SINGLETON(ShutterSpeed, SS160, "160");
CORVANE_SINGLETON(ShutterSpeed, SS170, "170");
CORVANE_SINGLETON(ShutterSpeed, SS180, "180");
CORVANE_SINGLETON(ShutterSpeed, SS190, "190");
CORVANE_SINGLETON(ShutterSpeed, SS200, "200");
CORVANE_SINGLETON(ShutterSpeed, SS210, "210");
CORVANE_SINGLETON(ShutterSpeed, SS220, "220");
CORVANE_SINGLETON(ShutterSpeed, SS230, "230");
CORVANE_SINGLETON(ShutterSpeed, SS240, "240");
CORVANE_SINGLETON(ShutterSpeed, SS250, "250");
CORVANE_SINGLETON(ShutterSpeed, SS260, "260");
CORVANE_SINGLETON(ShutterSpeed, SS270, "270");
CORVANE_SINGLETON(ShutterSpeed, SS280, "280");
CORVANE_SINGLETON(ShutterSpeed, SS290, "290");
CORVANE_SINGLETON(ShutterSpeed, SS300, "300");
CORVANE_SINGLETON(ShutterSpeed, SS360, "360");
CORVANE_SINGLETON(ShutterSpeed, SS420, "420");
CORVANE_SINGLETON(ShutterSpeed, SS480, "480");
CORVANE_SINGLETON(ShutterSpeed, SS540, "540");
CORVANE_SINGLETON(ShutterSpeed, SS600, "600");
CORVANE_SINGLETON(ShutterSpeed, SS660, "660");
CORVANE_SINGLETON(ShutterSpeed, SS720, "720");
CORVANE_SINGLETON(ShutterSpeed, SS780, "780");
CORVANE_SINGLETON(ShutterSpeed, SS840, "840");
CORVANE_SINGLETON(ShutterSpeed, SS900, "900");
CORVANE_SINGLETON(ShutterSpeed, SS960, "960");
CORVANE_SINGLETON(ShutterSpeed, SS1020, "1020");
CORVANE_SINGLETON(ShutterSpeed, SS1080, "1080");
CORVANE_SINGLETON(ShutterSpeed, SS1140, "1140");
CORVANE_SINGLETON(ShutterSpeed, SS1200, "1200");
CORVANE_SINGLETON(ShutterSpeed, Bulb, "Bulb");
CORVANE_SINGLETON(ShutterSpeed, Auto, "auto");

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

CORVANE_SINGLETON(StillImageCaptureFormat, JPEG, "JPEG");
CORVANE_SINGLETON(StillImageCaptureFormat, QRW, "QRW");
CORVANE_SINGLETON(StillImageCaptureFormat, DNG, "DNG");
CORVANE_SINGLETON(StillImageCaptureFormat, QRWAndJPEG, "QRW and JPEG");
CORVANE_SINGLETON(StillImageCaptureFormat, DNGAndJPEG, "DNG and JPEG");
CORVANE_SINGLETON(StillImageCaptureFormat, TIFF, "TIFF");

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

CORVANE_SINGLETON(StillImageQuality, LargeBest, "Large Best");
CORVANE_SINGLETON(StillImageQuality, LargeBetter, "Large Better");
CORVANE_SINGLETON(StillImageQuality, LargeGood, "Large Good");
CORVANE_SINGLETON(StillImageQuality, MediumBest, "Medium Best");
CORVANE_SINGLETON(StillImageQuality, MediumBetter, "Medium Better");
CORVANE_SINGLETON(StillImageQuality, MediumGood, "Medium Good");
CORVANE_SINGLETON(StillImageQuality, SmallBest, "Small Best");
CORVANE_SINGLETON(StillImageQuality, SmallBetter, "Small Better");
CORVANE_SINGLETON(StillImageQuality, SmallGood, "Small Good");
CORVANE_SINGLETON(StillImageQuality, ExtraSmallBest, "Extra Small Best");
CORVANE_SINGLETON(StillImageQuality, ExtraSmallBetter, "Extra Small Better");
CORVANE_SINGLETON(StillImageQuality, ExtraSmallGood, "Extra Small Good");

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

CORVANE_SINGLETON(StorageWriting, True, true);
CORVANE_SINGLETON(StorageWriting, False, false);

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

CORVANE_SINGLETON(UserCaptureSettingsMode, None, "None");
CORVANE_SINGLETON(UserCaptureSettingsMode, User, "User");
CORVANE_SINGLETON(UserCaptureSettingsMode, User2, "User2");
CORVANE_SINGLETON(UserCaptureSettingsMode, User3, "User3");
CORVANE_SINGLETON(UserCaptureSettingsMode, User4, "User4");
CORVANE_SINGLETON(UserCaptureSettingsMode, User5, "User5");

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

CORVANE_SINGLETON(WhiteBalance, Undefined, "Undefined");
CORVANE_SINGLETON(WhiteBalance, Auto, "Auto");
CORVANE_SINGLETON(WhiteBalance, Daylight, "Daylight");
CORVANE_SINGLETON(WhiteBalance, Tungsten, "Tungsten Light");
CORVANE_SINGLETON(WhiteBalance, Flash, "Flash");
CORVANE_SINGLETON(WhiteBalance, Shade, "Shade");
CORVANE_SINGLETON(WhiteBalance, Cloudy, "Cloudy");
CORVANE_SINGLETON(WhiteBalance, FluorescentDaylight, "Fluorescent Light Daylight Color");
CORVANE_SINGLETON(WhiteBalance, FluorescentDaylightWhite, "Fluorescent Light Daylight White");
CORVANE_SINGLETON(WhiteBalance, FluorescentCoolWhite, "Fluorescent Light Cool White");
CORVANE_SINGLETON(WhiteBalance, FluorescentWarmWhite, "Fluorescent Light Warm White");
CORVANE_SINGLETON(WhiteBalance, Manual, "Manual");
CORVANE_SINGLETON(WhiteBalance, Manual2, "Manual 2");
CORVANE_SINGLETON(WhiteBalance, Manual3, "Manual 3");
CORVANE_SINGLETON(WhiteBalance, ColorTemperature, "Color Temperature Configuration");
CORVANE_SINGLETON(WhiteBalance, ColorTemperature2, "Color Temperature Configuration 2");
CORVANE_SINGLETON(WhiteBalance, ColorTemperature3, "Color Temperature Configuration 3");
CORVANE_SINGLETON(WhiteBalance, CTE, "CTE");
CORVANE_SINGLETON(WhiteBalance, MultiAuto, "Multi Auto");

#undef CORVANE_SINGLETON

}  // namespace Corvane::CameraController
