// The catalogue of capture settings: twelve setting classes, each with its value class and one
// static singleton per value the library can express. Read a setting by passing a
// default-constructed instance to the camera; write one by passing the singleton of the wanted
// value (for example FNumber::F5_6), or StorageWriting(true).
#pragma once

#include <string>

#include "corvane/camera_controller/setting.hpp"

namespace Corvane::CameraController {

/// Value of CaptureMethod: a text, compared exactly.
class CaptureMethodValue : public CaptureSettingValue {
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
class CaptureMethod : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    CaptureMethod();

    static const CaptureMethod* const StillImage;
    static const CaptureMethod* const Movie;

private:
    friend class Impl::CaptureSettingAccess;
    explicit CaptureMethod(const std::string& text);

    static const std::string Name;
};

/// Value of ExposureCompensation: a text, compared exactly.
class ExposureCompensationValue : public CaptureSettingValue {
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
class ExposureCompensation : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ExposureCompensation();

    static const ExposureCompensation* const ECNegative5_0;  ///< "-5.0"
    static const ExposureCompensation* const ECNegative4_7;  ///< "-4.7"
    static const ExposureCompensation* const ECNegative4_5;  ///< "-4.5"
    static const ExposureCompensation* const ECNegative4_3;  ///< "-4.3"
    static const ExposureCompensation* const ECNegative4_0;  ///< "-4.0"
    static const ExposureCompensation* const ECNegative3_7;  ///< "-3.7"
    static const ExposureCompensation* const ECNegative3_5;  ///< "-3.5"
    static const ExposureCompensation* const ECNegative3_3;  ///< "-3.3"
    static const ExposureCompensation* const ECNegative3_0;  ///< "-3.0"
    static const ExposureCompensation* const ECNegative2_7;  ///< "-2.7"
    static const ExposureCompensation* const ECNegative2_5;  ///< "-2.5"
    static const ExposureCompensation* const ECNegative2_3;  ///< "-2.3"
    static const ExposureCompensation* const ECNegative2_0;  ///< "-2.0"
    static const ExposureCompensation* const ECNegative1_7;  ///< "-1.7"
    static const ExposureCompensation* const ECNegative1_5;  ///< "-1.5"
    static const ExposureCompensation* const ECNegative1_3;  ///< "-1.3"
    static const ExposureCompensation* const ECNegative1_0;  ///< "-1.0"
    static const ExposureCompensation* const ECNegative0_7;  ///< "-0.7"
    static const ExposureCompensation* const ECNegative0_5;  ///< "-0.5"
    static const ExposureCompensation* const ECNegative0_3;  ///< "-0.3"
    static const ExposureCompensation* const EC0_0;          ///< "0.0"
    static const ExposureCompensation* const EC0_3;          ///< "0.3"
    static const ExposureCompensation* const EC0_5;          ///< "0.5"
    static const ExposureCompensation* const EC0_7;          ///< "0.7"
    static const ExposureCompensation* const EC1_0;          ///< "1.0"
    static const ExposureCompensation* const EC1_3;          ///< "1.3"
    static const ExposureCompensation* const EC1_5;          ///< "1.5"
    static const ExposureCompensation* const EC1_7;          ///< "1.7"
    static const ExposureCompensation* const EC2_0;          ///< "2.0"
    static const ExposureCompensation* const EC2_3;          ///< "2.3"
    static const ExposureCompensation* const EC2_5;          ///< "2.5"
    static const ExposureCompensation* const EC2_7;          ///< "2.7"
    static const ExposureCompensation* const EC3_0;          ///< "3.0"
    static const ExposureCompensation* const EC3_3;          ///< "3.3"
    static const ExposureCompensation* const EC3_5;          ///< "3.5"
    static const ExposureCompensation* const EC3_7;          ///< "3.7"
    static const ExposureCompensation* const EC4_0;          ///< "4.0"
    static const ExposureCompensation* const EC4_3;          ///< "4.3"
    static const ExposureCompensation* const EC4_5;          ///< "4.5"
    static const ExposureCompensation* const EC4_7;          ///< "4.7"
    static const ExposureCompensation* const EC5_0;          ///< "5.0"

private:
    friend class Impl::CaptureSettingAccess;
    explicit ExposureCompensation(const std::string& text);

    static const std::string Name;
};

/// Value of ExposureProgram: a text, compared exactly.
class ExposureProgramValue : public CaptureSettingValue {
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
class ExposureProgram : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ExposureProgram();

    static const ExposureProgram* const Unknown;
    static const ExposureProgram* const Auto;
    static const ExposureProgram* const Program;
    static const ExposureProgram* const AperturePriority;
    static const ExposureProgram* const ShutterSpeedPriority;
    static const ExposureProgram* const ShutterSpeedAndAperturePriority;
    static const ExposureProgram* const ISOPriority;
    static const ExposureProgram* const Manual;
    static const ExposureProgram* const Bulb;
    static const ExposureProgram* const FlashXSyncSpeed;
    static const ExposureProgram* const Skyglide;
    static const ExposureProgram* const LensShutter;

private:
    friend class Impl::CaptureSettingAccess;
    explicit ExposureProgram(const std::string& text);

    static const std::string Name;
};

/// Value of FNumber: a text, compared exactly.
class FNumberValue : public CaptureSettingValue {
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
class FNumber : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    FNumber();

    static const FNumber* const Null;  ///< "null"
    static const FNumber* const F0_5;  ///< "0.5"
    static const FNumber* const F0_7;  ///< "0.7"
    static const FNumber* const F0_8;  ///< "0.8"
    static const FNumber* const F0_9;  ///< "0.9"
    static const FNumber* const F1_0;  ///< "1.0"
    static const FNumber* const F1_1;  ///< "1.1"
    static const FNumber* const F1_2;  ///< "1.2"
    static const FNumber* const F1_3;  ///< "1.3"
    static const FNumber* const F1_4;  ///< "1.4"
    static const FNumber* const F1_6;  ///< "1.6"
    static const FNumber* const F1_7;  ///< "1.7"
    static const FNumber* const F1_8;  ///< "1.8"
    static const FNumber* const F1_9;  ///< "1.9"
    static const FNumber* const F2_0;  ///< "2.0"
    static const FNumber* const F2_2;  ///< "2.2"
    static const FNumber* const F2_4;  ///< "2.4"
    static const FNumber* const F2_5;  ///< "2.5"
    static const FNumber* const F2_8;  ///< "2.8"
    static const FNumber* const F3_2;  ///< "3.2"
    static const FNumber* const F3_3;  ///< "3.3"
    static const FNumber* const F3_5;  ///< "3.5"
    static const FNumber* const F4_0;  ///< "4.0"
    static const FNumber* const F4_5;  ///< "4.5"
    static const FNumber* const F4_8;  ///< "4.8"
    static const FNumber* const F5_0;  ///< "5.0"
    static const FNumber* const F5_6;  ///< "5.6"
    static const FNumber* const F5_8;  ///< "5.8"
    static const FNumber* const F6_3;  ///< "6.3"
    static const FNumber* const F6_7;  ///< "6.7"
    static const FNumber* const F7_1;  ///< "7.1"
    static const FNumber* const F8_0;  ///< "8.0"
    static const FNumber* const F9_0;  ///< "9.0"
    static const FNumber* const F9_5;  ///< "9.5"
    static const FNumber* const F10;   ///< "10"
    static const FNumber* const F11;   ///< "11"
    static const FNumber* const F13;   ///< "13"
    static const FNumber* const F14;   ///< "14"
    static const FNumber* const F16;   ///< "16"
    static const FNumber* const F18;   ///< "18"
    static const FNumber* const F19;   ///< "19"
    static const FNumber* const F20;   ///< "20"
    static const FNumber* const F22;   ///< "22"
    static const FNumber* const F25;   ///< "25"
    static const FNumber* const F27;   ///< "27"
    static const FNumber* const F29;   ///< "29"
    static const FNumber* const F32;   ///< "32"
    static const FNumber* const F36;   ///< "36"
    static const FNumber* const F38;   ///< "38"
    static const FNumber* const F40;   ///< "40"
    static const FNumber* const F45;   ///< "45"
    static const FNumber* const F51;   ///< "51"
    static const FNumber* const F54;   ///< "54"
    static const FNumber* const F57;   ///< "57"
    static const FNumber* const F64;   ///< "64"
    static const FNumber* const F72;   ///< "72"
    static const FNumber* const F76;   ///< "76"
    static const FNumber* const F80;   ///< "80"
    static const FNumber* const F81;   ///< "81"
    static const FNumber* const F90;   ///< "90"
    static const FNumber* const F107;  ///< "107"
    static const FNumber* const F128;  ///< "128"
    static const FNumber* const F180;  ///< "180"
    static const FNumber* const F256;  ///< "256"

private:
    friend class Impl::CaptureSettingAccess;
    explicit FNumber(const std::string& text);

    static const std::string Name;
};

/// Value of AgileOperationEnable: a flag, printed as "true" or "false".
class AgileOperationEnableValue : public CaptureSettingValue {
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
class AgileOperationEnable : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    AgileOperationEnable();

    static const AgileOperationEnable* const True;
    static const AgileOperationEnable* const False;

private:
    friend class Impl::CaptureSettingAccess;
    explicit AgileOperationEnable(bool value);

    static const std::string Name;
};

/// Value of ISO: a text, compared exactly.
class ISOValue : public CaptureSettingValue {
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
class ISO : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ISO();

    static const ISO* const Auto;
    static const ISO* const ISO100;     ///< "100"
    static const ISO* const ISO125;     ///< "125"
    static const ISO* const ISO140;     ///< "140"
    static const ISO* const ISO160;     ///< "160"
    static const ISO* const ISO200;     ///< "200"
    static const ISO* const ISO250;     ///< "250"
    static const ISO* const ISO280;     ///< "280"
    static const ISO* const ISO320;     ///< "320"
    static const ISO* const ISO400;     ///< "400"
    static const ISO* const ISO500;     ///< "500"
    static const ISO* const ISO560;     ///< "560"
    static const ISO* const ISO640;     ///< "640"
    static const ISO* const ISO800;     ///< "800"
    static const ISO* const ISO1000;    ///< "1000"
    static const ISO* const ISO1100;    ///< "1100"
    static const ISO* const ISO1250;    ///< "1250"
    static const ISO* const ISO1600;    ///< "1600"
    static const ISO* const ISO2000;    ///< "2000"
    static const ISO* const ISO2200;    ///< "2200"
    static const ISO* const ISO2500;    ///< "2500"
    static const ISO* const ISO3200;    ///< "3200"
    static const ISO* const ISO4000;    ///< "4000"
    static const ISO* const ISO4500;    ///< "4500"
    static const ISO* const ISO5000;    ///< "5000"
    static const ISO* const ISO6400;    ///< "6400"
    static const ISO* const ISO8000;    ///< "8000"
    static const ISO* const ISO9000;    ///< "9000"
    static const ISO* const ISO10000;   ///< "10000"
    static const ISO* const ISO12800;   ///< "12800"
    static const ISO* const ISO16000;   ///< "16000"
    static const ISO* const ISO18000;   ///< "18000"
    static const ISO* const ISO20000;   ///< "20000"
    static const ISO* const ISO25600;   ///< "25600"
    static const ISO* const ISO32000;   ///< "32000"
    static const ISO* const ISO36000;   ///< "36000"
    static const ISO* const ISO40000;   ///< "40000"
    static const ISO* const ISO51200;   ///< "51200"
    static const ISO* const ISO64000;   ///< "64000"
    static const ISO* const ISO72000;   ///< "72000"
    static const ISO* const ISO80000;   ///< "80000"
    static const ISO* const ISO102400;  ///< "102400"
    static const ISO* const ISO128000;  ///< "128000"
    static const ISO* const ISO144000;  ///< "144000"
    static const ISO* const ISO160000;  ///< "160000"
    static const ISO* const ISO204800;  ///< "204800"
    static const ISO* const ISO256000;  ///< "256000"
    static const ISO* const ISO288000;  ///< "288000"
    static const ISO* const ISO320000;  ///< "320000"
    static const ISO* const ISO409600;  ///< "409600"
    static const ISO* const ISO512000;  ///< "512000"
    static const ISO* const ISO576000;  ///< "576000"
    static const ISO* const ISO640000;  ///< "640000"
    static const ISO* const ISO819200;  ///< "819200"

private:
    friend class Impl::CaptureSettingAccess;
    explicit ISO(const std::string& text);

    static const std::string Name;
};

/// Value of ShutterSpeed: a text, compared exactly.
class ShutterSpeedValue : public CaptureSettingValue {
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
class ShutterSpeed : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    ShutterSpeed();

    static const ShutterSpeed* const SS1_24000;  ///< "1/24000"
    static const ShutterSpeed* const SS1_20000;  ///< "1/20000"
    static const ShutterSpeed* const SS1_16000;  ///< "1/16000"
    static const ShutterSpeed* const SS1_12800;  ///< "1/12800"
    static const ShutterSpeed* const SS1_12000;  ///< "1/12000"
    static const ShutterSpeed* const SS1_10000;  ///< "1/10000"
    static const ShutterSpeed* const SS1_8000;   ///< "1/8000"
    static const ShutterSpeed* const SS1_6400;   ///< "1/6400"
    static const ShutterSpeed* const SS1_6000;   ///< "1/6000"
    static const ShutterSpeed* const SS1_5000;   ///< "1/5000"
    static const ShutterSpeed* const SS1_4000;   ///< "1/4000"
    static const ShutterSpeed* const SS1_3200;   ///< "1/3200"
    static const ShutterSpeed* const SS1_3000;   ///< "1/3000"
    static const ShutterSpeed* const SS1_2500;   ///< "1/2500"
    static const ShutterSpeed* const SS1_2000;   ///< "1/2000"
    static const ShutterSpeed* const SS1_1600;   ///< "1/1600"
    static const ShutterSpeed* const SS1_1500;   ///< "1/1500"
    static const ShutterSpeed* const SS1_1250;   ///< "1/1250"
    static const ShutterSpeed* const SS1_1000;   ///< "1/1000"
    static const ShutterSpeed* const SS1_800;    ///< "1/800"
    static const ShutterSpeed* const SS1_750;    ///< "1/750"
    static const ShutterSpeed* const SS1_640;    ///< "1/640"
    static const ShutterSpeed* const SS1_500;    ///< "1/500"
    static const ShutterSpeed* const SS1_400;    ///< "1/400"
    static const ShutterSpeed* const SS1_350;    ///< "1/350"
    static const ShutterSpeed* const SS1_320;    ///< "1/320"
    static const ShutterSpeed* const SS1_250;    ///< "1/250"
    static const ShutterSpeed* const SS1_200;    ///< "1/200"
    static const ShutterSpeed* const SS1_180;    ///< "1/180"
    static const ShutterSpeed* const SS1_160;    ///< "1/160"
    static const ShutterSpeed* const SS1_125;    ///< "1/125"
    static const ShutterSpeed* const SS1_100;    ///< "1/100"
    static const ShutterSpeed* const SS1_90;     ///< "1/90"
    static const ShutterSpeed* const SS1_80;     ///< "1/80"
    static const ShutterSpeed* const SS1_60;     ///< "1/60"
    static const ShutterSpeed* const SS1_50;     ///< "1/50"
    static const ShutterSpeed* const SS1_45;     ///< "1/45"
    static const ShutterSpeed* const SS1_40;     ///< "1/40"
    static const ShutterSpeed* const SS1_30;     ///< "1/30"
    static const ShutterSpeed* const SS1_25;     ///< "1/25"
    static const ShutterSpeed* const SS1_20;     ///< "1/20"
    static const ShutterSpeed* const SS1_15;     ///< "1/15"
    static const ShutterSpeed* const SS1_13;     ///< "1/13"
    static const ShutterSpeed* const SS1_10;     ///< "1/10"
    static const ShutterSpeed* const SS1_8;      ///< "1/8"
    static const ShutterSpeed* const SS1_6;      ///< "1/6"
    static const ShutterSpeed* const SS1_5;      ///< "1/5"
    static const ShutterSpeed* const SS1_4;      ///< "1/4"
    static const ShutterSpeed* const SS1_3;      ///< "1/3"
    static const ShutterSpeed* const SS3_10;     ///< "0.3"
    static const ShutterSpeed* const SS10_25;    ///< "1/2.5"
    static const ShutterSpeed* const SS4_10;     ///< "0.4"
    static const ShutterSpeed* const SS1_2;      ///< "1/2"
    static const ShutterSpeed* const SS5_10;     ///< "0.5"
    static const ShutterSpeed* const SS6_10;     ///< "0.6"
    static const ShutterSpeed* const SS10_16;    ///< "1/1.6"
    static const ShutterSpeed* const SS7_10;     ///< "0.7"
    static const ShutterSpeed* const SS10_13;    ///< "1/1.3"
    static const ShutterSpeed* const SS8_10;     ///< "0.8"
    static const ShutterSpeed* const SS1;        ///< "1"
    static const ShutterSpeed* const SS13_10;    ///< "1.3"
    static const ShutterSpeed* const SS15_10;    ///< "1.5"
    static const ShutterSpeed* const SS16_10;    ///< "1.6"
    static const ShutterSpeed* const SS2;        ///< "2"
    static const ShutterSpeed* const SS25_10;    ///< "2.5"
    static const ShutterSpeed* const SS3;        ///< "3"
    static const ShutterSpeed* const SS32_10;    ///< "3.2"
    static const ShutterSpeed* const SS4;        ///< "4"
    static const ShutterSpeed* const SS5;        ///< "5"
    static const ShutterSpeed* const SS6;        ///< "6"
    static const ShutterSpeed* const SS8;        ///< "8"
    static const ShutterSpeed* const SS10;       ///< "10"
    static const ShutterSpeed* const SS13;       ///< "13"
    static const ShutterSpeed* const SS15;       ///< "15"
    static const ShutterSpeed* const SS20;       ///< "20"
    static const ShutterSpeed* const SS25;       ///< "25"
    static const ShutterSpeed* const SS30;       ///< "30"
    static const ShutterSpeed* const SS40;       ///< "40"
    static const ShutterSpeed* const SS50;       ///< "50"
    static const ShutterSpeed* const SS60;       ///< "60"
    static const ShutterSpeed* const SS70;       ///< "70"
    static const ShutterSpeed* const SS80;       ///< "80"
    static const ShutterSpeed* const SS90;       ///< "90"
    static const ShutterSpeed* const SS100;      ///< "100"
    static const ShutterSpeed* const SS110;      ///< "110"
    static const ShutterSpeed* const SS120;      ///< "120"
    static const ShutterSpeed* const SS130;      ///< "130"
    static const ShutterSpeed* const SS140;      ///< "140"
    static const ShutterSpeed* const SS150;      ///< "150"
    static const ShutterSpeed* const SS160;      ///< "160"
    static const ShutterSpeed* const SS170;      ///< "170"
    static const ShutterSpeed* const SS180;      ///< "180"
    static const ShutterSpeed* const SS190;      ///< "190"
    static const ShutterSpeed* const SS200;      ///< "200"
    static const ShutterSpeed* const SS210;      ///< "210"
    static const ShutterSpeed* const SS220;      ///< "220"
    static const ShutterSpeed* const SS230;      ///< "230"
    static const ShutterSpeed* const SS240;      ///< "240"
    static const ShutterSpeed* const SS250;      ///< "250"
    static const ShutterSpeed* const SS260;      ///< "260"
    static const ShutterSpeed* const SS270;      ///< "270"
    static const ShutterSpeed* const SS280;      ///< "280"
    static const ShutterSpeed* const SS290;      ///< "290"
    static const ShutterSpeed* const SS300;      ///< "300"
    static const ShutterSpeed* const SS360;      ///< "360"
    static const ShutterSpeed* const SS420;      ///< "420"
    static const ShutterSpeed* const SS480;      ///< "480"
    static const ShutterSpeed* const SS540;      ///< "540"
    static const ShutterSpeed* const SS600;      ///< "600"
    static const ShutterSpeed* const SS660;      ///< "660"
    static const ShutterSpeed* const SS720;      ///< "720"
    static const ShutterSpeed* const SS780;      ///< "780"
    static const ShutterSpeed* const SS840;      ///< "840"
    static const ShutterSpeed* const SS900;      ///< "900"
    static const ShutterSpeed* const SS960;      ///< "960"
    static const ShutterSpeed* const SS1020;     ///< "1020"
    static const ShutterSpeed* const SS1080;     ///< "1080"
    static const ShutterSpeed* const SS1140;     ///< "1140"
    static const ShutterSpeed* const SS1200;     ///< "1200"
    static const ShutterSpeed* const Bulb;
    static const ShutterSpeed* const Auto;  ///< "auto"

private:
    friend class Impl::CaptureSettingAccess;
    explicit ShutterSpeed(const std::string& text);

    static const std::string Name;
};

/// Value of StillImageCaptureFormat: a text, compared exactly.
class StillImageCaptureFormatValue : public CaptureSettingValue {
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
class StillImageCaptureFormat : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    StillImageCaptureFormat();

    static const StillImageCaptureFormat* const JPEG;
    static const StillImageCaptureFormat* const QRW;
    static const StillImageCaptureFormat* const DNG;
    static const StillImageCaptureFormat* const QRWAndJPEG;  ///< "QRW and JPEG"
    static const StillImageCaptureFormat* const DNGAndJPEG;  ///< "DNG and JPEG"
    static const StillImageCaptureFormat* const TIFF;

private:
    friend class Impl::CaptureSettingAccess;
    explicit StillImageCaptureFormat(const std::string& text);

    static const std::string Name;
};

/// Value of StillImageQuality: a text, compared exactly.
class StillImageQualityValue : public CaptureSettingValue {
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
class StillImageQuality : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    StillImageQuality();

    static const StillImageQuality* const LargeBest;         ///< "Large Best"
    static const StillImageQuality* const LargeBetter;       ///< "Large Better"
    static const StillImageQuality* const LargeGood;         ///< "Large Good"
    static const StillImageQuality* const MediumBest;        ///< "Medium Best"
    static const StillImageQuality* const MediumBetter;      ///< "Medium Better"
    static const StillImageQuality* const MediumGood;        ///< "Medium Good"
    static const StillImageQuality* const SmallBest;         ///< "Small Best"
    static const StillImageQuality* const SmallBetter;       ///< "Small Better"
    static const StillImageQuality* const SmallGood;         ///< "Small Good"
    static const StillImageQuality* const ExtraSmallBest;    ///< "Extra Small Best"
    static const StillImageQuality* const ExtraSmallBetter;  ///< "Extra Small Better"
    static const StillImageQuality* const ExtraSmallGood;    ///< "Extra Small Good"

private:
    friend class Impl::CaptureSettingAccess;
    explicit StillImageQuality(const std::string& text);

    static const std::string Name;
};

/// Value of StorageWriting: a flag, printed as "true" or "false".
class StorageWritingValue : public CaptureSettingValue {
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
class StorageWriting : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    StorageWriting();
    /// A setting holding the given flag; accepted for writing like the singletons.
    explicit StorageWriting(bool value);

    static const StorageWriting* const True;
    static const StorageWriting* const False;

private:
    friend class Impl::CaptureSettingAccess;

    static const std::string Name;
};

/// Value of UserCaptureSettingsMode: a text, compared exactly.
class UserCaptureSettingsModeValue : public CaptureSettingValue {
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
class UserCaptureSettingsMode : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    UserCaptureSettingsMode();

    static const UserCaptureSettingsMode* const None;
    static const UserCaptureSettingsMode* const User;
    static const UserCaptureSettingsMode* const User2;
    static const UserCaptureSettingsMode* const User3;
    static const UserCaptureSettingsMode* const User4;
    static const UserCaptureSettingsMode* const User5;

private:
    friend class Impl::CaptureSettingAccess;
    explicit UserCaptureSettingsMode(const std::string& text);

    static const std::string Name;
};

/// Value of WhiteBalance: a text, compared exactly.
class WhiteBalanceValue : public CaptureSettingValue {
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
class WhiteBalance : public CaptureSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    WhiteBalance();

    static const WhiteBalance* const Undefined;
    static const WhiteBalance* const Auto;
    static const WhiteBalance* const Daylight;
    static const WhiteBalance* const Tungsten;  ///< "Tungsten Light"
    static const WhiteBalance* const Flash;
    static const WhiteBalance* const Shade;
    static const WhiteBalance* const Cloudy;
    static const WhiteBalance* const FluorescentDaylight;  ///< "Fluorescent Light Daylight Color"
    static const WhiteBalance* const
        FluorescentDaylightWhite;                           ///< "Fluorescent Light Daylight White"
    static const WhiteBalance* const FluorescentCoolWhite;  ///< "Fluorescent Light Cool White"
    static const WhiteBalance* const FluorescentWarmWhite;  ///< "Fluorescent Light Warm White"
    static const WhiteBalance* const Manual;
    static const WhiteBalance* const Manual2;            ///< "Manual 2"
    static const WhiteBalance* const Manual3;            ///< "Manual 3"
    static const WhiteBalance* const ColorTemperature;   ///< "Color Temperature Configuration"
    static const WhiteBalance* const ColorTemperature2;  ///< "Color Temperature Configuration 2"
    static const WhiteBalance* const ColorTemperature3;  ///< "Color Temperature Configuration 3"
    static const WhiteBalance* const CTE;
    static const WhiteBalance* const MultiAuto;  ///< "Multi Auto"

private:
    friend class Impl::CaptureSettingAccess;
    explicit WhiteBalance(const std::string& text);

    static const std::string Name;
};

}  // namespace Corvane::CameraController
