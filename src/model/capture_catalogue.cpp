// The catalogue as data: each class's name, factory, value copier and singletons in
// declaration order.
#include "model/capture_catalogue.hpp"

#include <stdexcept>

namespace Corvane::CameraController::Impl {

namespace {

template <class Setting, class Value>
CatalogueClass describe(std::vector<const CaptureSetting*> singletons) {
    CatalogueClass entry;
    entry.name = CaptureSettingAccess::nameOf<Setting>();
    entry.create = [] { return std::unique_ptr<CaptureSetting>(new Setting()); };
    entry.cloneValue =
        [](const CaptureSettingValue& value) -> std::unique_ptr<CaptureSettingValue> {
        const auto* same = dynamic_cast<const Value*>(&value);
        if (same == nullptr) {
            return nullptr;
        }
        return std::make_unique<Value>(*same);
    };
    entry.singletons = std::move(singletons);
    return entry;
}

}  // namespace

const std::vector<CatalogueClass>& catalogue() {
    static const std::vector<CatalogueClass> classes = {
        describe<CaptureMethod, CaptureMethodValue>({
            CaptureMethod::StillImage,
            CaptureMethod::Movie,
        }),
        describe<ExposureCompensation, ExposureCompensationValue>({
            ExposureCompensation::ECNegative5_0, ExposureCompensation::ECNegative4_7,
            ExposureCompensation::ECNegative4_5, ExposureCompensation::ECNegative4_3,
            ExposureCompensation::ECNegative4_0, ExposureCompensation::ECNegative3_7,
            ExposureCompensation::ECNegative3_5, ExposureCompensation::ECNegative3_3,
            ExposureCompensation::ECNegative3_0, ExposureCompensation::ECNegative2_7,
            ExposureCompensation::ECNegative2_5, ExposureCompensation::ECNegative2_3,
            ExposureCompensation::ECNegative2_0, ExposureCompensation::ECNegative1_7,
            ExposureCompensation::ECNegative1_5, ExposureCompensation::ECNegative1_3,
            ExposureCompensation::ECNegative1_0, ExposureCompensation::ECNegative0_7,
            ExposureCompensation::ECNegative0_5, ExposureCompensation::ECNegative0_3,
            ExposureCompensation::EC0_0,         ExposureCompensation::EC0_3,
            ExposureCompensation::EC0_5,         ExposureCompensation::EC0_7,
            ExposureCompensation::EC1_0,         ExposureCompensation::EC1_3,
            ExposureCompensation::EC1_5,         ExposureCompensation::EC1_7,
            ExposureCompensation::EC2_0,         ExposureCompensation::EC2_3,
            ExposureCompensation::EC2_5,         ExposureCompensation::EC2_7,
            ExposureCompensation::EC3_0,         ExposureCompensation::EC3_3,
            ExposureCompensation::EC3_5,         ExposureCompensation::EC3_7,
            ExposureCompensation::EC4_0,         ExposureCompensation::EC4_3,
            ExposureCompensation::EC4_5,         ExposureCompensation::EC4_7,
            ExposureCompensation::EC5_0,
        }),
        describe<ExposureProgram, ExposureProgramValue>({
            ExposureProgram::Unknown,
            ExposureProgram::Auto,
            ExposureProgram::Program,
            ExposureProgram::AperturePriority,
            ExposureProgram::ShutterSpeedPriority,
            ExposureProgram::ShutterSpeedAndAperturePriority,
            ExposureProgram::ISOPriority,
            ExposureProgram::Manual,
            ExposureProgram::Bulb,
            ExposureProgram::FlashXSyncSpeed,
            ExposureProgram::Skyglide,
            ExposureProgram::LensShutter,
        }),
        describe<FNumber, FNumberValue>({
            FNumber::Null, FNumber::F0_5, FNumber::F0_7, FNumber::F0_8, FNumber::F0_9,
            FNumber::F1_0, FNumber::F1_1, FNumber::F1_2, FNumber::F1_3, FNumber::F1_4,
            FNumber::F1_6, FNumber::F1_7, FNumber::F1_8, FNumber::F1_9, FNumber::F2_0,
            FNumber::F2_2, FNumber::F2_4, FNumber::F2_5, FNumber::F2_8, FNumber::F3_2,
            FNumber::F3_3, FNumber::F3_5, FNumber::F4_0, FNumber::F4_5, FNumber::F4_8,
            FNumber::F5_0, FNumber::F5_6, FNumber::F5_8, FNumber::F6_3, FNumber::F6_7,
            FNumber::F7_1, FNumber::F8_0, FNumber::F9_0, FNumber::F9_5, FNumber::F10,
            FNumber::F11,  FNumber::F13,  FNumber::F14,  FNumber::F16,  FNumber::F18,
            FNumber::F19,  FNumber::F20,  FNumber::F22,  FNumber::F25,  FNumber::F27,
            FNumber::F29,  FNumber::F32,  FNumber::F36,  FNumber::F38,  FNumber::F40,
            FNumber::F45,  FNumber::F51,  FNumber::F54,  FNumber::F57,  FNumber::F64,
            FNumber::F72,  FNumber::F76,  FNumber::F80,  FNumber::F81,  FNumber::F90,
            FNumber::F107, FNumber::F128, FNumber::F180, FNumber::F256,
        }),
        describe<AgileOperationEnable, AgileOperationEnableValue>({
            AgileOperationEnable::True,
            AgileOperationEnable::False,
        }),
        describe<ISO, ISOValue>({
            ISO::Auto,      ISO::ISO100,    ISO::ISO125,    ISO::ISO140,    ISO::ISO160,
            ISO::ISO200,    ISO::ISO250,    ISO::ISO280,    ISO::ISO320,    ISO::ISO400,
            ISO::ISO500,    ISO::ISO560,    ISO::ISO640,    ISO::ISO800,    ISO::ISO1000,
            ISO::ISO1100,   ISO::ISO1250,   ISO::ISO1600,   ISO::ISO2000,   ISO::ISO2200,
            ISO::ISO2500,   ISO::ISO3200,   ISO::ISO4000,   ISO::ISO4500,   ISO::ISO5000,
            ISO::ISO6400,   ISO::ISO8000,   ISO::ISO9000,   ISO::ISO10000,  ISO::ISO12800,
            ISO::ISO16000,  ISO::ISO18000,  ISO::ISO20000,  ISO::ISO25600,  ISO::ISO32000,
            ISO::ISO36000,  ISO::ISO40000,  ISO::ISO51200,  ISO::ISO64000,  ISO::ISO72000,
            ISO::ISO80000,  ISO::ISO102400, ISO::ISO128000, ISO::ISO144000, ISO::ISO160000,
            ISO::ISO204800, ISO::ISO256000, ISO::ISO288000, ISO::ISO320000, ISO::ISO409600,
            ISO::ISO512000, ISO::ISO576000, ISO::ISO640000, ISO::ISO819200,
        }),
        describe<ShutterSpeed, ShutterSpeedValue>({
            ShutterSpeed::SS1_24000, ShutterSpeed::SS1_20000, ShutterSpeed::SS1_16000,
            ShutterSpeed::SS1_12800, ShutterSpeed::SS1_12000, ShutterSpeed::SS1_10000,
            ShutterSpeed::SS1_8000,  ShutterSpeed::SS1_6400,  ShutterSpeed::SS1_6000,
            ShutterSpeed::SS1_5000,  ShutterSpeed::SS1_4000,  ShutterSpeed::SS1_3200,
            ShutterSpeed::SS1_3000,  ShutterSpeed::SS1_2500,  ShutterSpeed::SS1_2000,
            ShutterSpeed::SS1_1600,  ShutterSpeed::SS1_1500,  ShutterSpeed::SS1_1250,
            ShutterSpeed::SS1_1000,  ShutterSpeed::SS1_800,   ShutterSpeed::SS1_750,
            ShutterSpeed::SS1_640,   ShutterSpeed::SS1_500,   ShutterSpeed::SS1_400,
            ShutterSpeed::SS1_350,   ShutterSpeed::SS1_320,   ShutterSpeed::SS1_250,
            ShutterSpeed::SS1_200,   ShutterSpeed::SS1_180,   ShutterSpeed::SS1_160,
            ShutterSpeed::SS1_125,   ShutterSpeed::SS1_100,   ShutterSpeed::SS1_90,
            ShutterSpeed::SS1_80,    ShutterSpeed::SS1_60,    ShutterSpeed::SS1_50,
            ShutterSpeed::SS1_45,    ShutterSpeed::SS1_40,    ShutterSpeed::SS1_30,
            ShutterSpeed::SS1_25,    ShutterSpeed::SS1_20,    ShutterSpeed::SS1_15,
            ShutterSpeed::SS1_13,    ShutterSpeed::SS1_10,    ShutterSpeed::SS1_8,
            ShutterSpeed::SS1_6,     ShutterSpeed::SS1_5,     ShutterSpeed::SS1_4,
            ShutterSpeed::SS1_3,     ShutterSpeed::SS3_10,    ShutterSpeed::SS10_25,
            ShutterSpeed::SS4_10,    ShutterSpeed::SS1_2,     ShutterSpeed::SS5_10,
            ShutterSpeed::SS6_10,    ShutterSpeed::SS10_16,   ShutterSpeed::SS7_10,
            ShutterSpeed::SS10_13,   ShutterSpeed::SS8_10,    ShutterSpeed::SS1,
            ShutterSpeed::SS13_10,   ShutterSpeed::SS15_10,   ShutterSpeed::SS16_10,
            ShutterSpeed::SS2,       ShutterSpeed::SS25_10,   ShutterSpeed::SS3,
            ShutterSpeed::SS32_10,   ShutterSpeed::SS4,       ShutterSpeed::SS5,
            ShutterSpeed::SS6,       ShutterSpeed::SS8,       ShutterSpeed::SS10,
            ShutterSpeed::SS13,      ShutterSpeed::SS15,      ShutterSpeed::SS20,
            ShutterSpeed::SS25,      ShutterSpeed::SS30,      ShutterSpeed::SS40,
            ShutterSpeed::SS50,      ShutterSpeed::SS60,      ShutterSpeed::SS70,
            ShutterSpeed::SS80,      ShutterSpeed::SS90,      ShutterSpeed::SS100,
            ShutterSpeed::SS110,     ShutterSpeed::SS120,     ShutterSpeed::SS130,
            ShutterSpeed::SS140,     ShutterSpeed::SS150,     ShutterSpeed::SS160,
            ShutterSpeed::SS170,     ShutterSpeed::SS180,     ShutterSpeed::SS190,
            ShutterSpeed::SS200,     ShutterSpeed::SS210,     ShutterSpeed::SS220,
            ShutterSpeed::SS230,     ShutterSpeed::SS240,     ShutterSpeed::SS250,
            ShutterSpeed::SS260,     ShutterSpeed::SS270,     ShutterSpeed::SS280,
            ShutterSpeed::SS290,     ShutterSpeed::SS300,     ShutterSpeed::SS360,
            ShutterSpeed::SS420,     ShutterSpeed::SS480,     ShutterSpeed::SS540,
            ShutterSpeed::SS600,     ShutterSpeed::SS660,     ShutterSpeed::SS720,
            ShutterSpeed::SS780,     ShutterSpeed::SS840,     ShutterSpeed::SS900,
            ShutterSpeed::SS960,     ShutterSpeed::SS1020,    ShutterSpeed::SS1080,
            ShutterSpeed::SS1140,    ShutterSpeed::SS1200,    ShutterSpeed::Bulb,
            ShutterSpeed::Auto,
        }),
        describe<StillImageCaptureFormat, StillImageCaptureFormatValue>({
            StillImageCaptureFormat::JPEG,
            StillImageCaptureFormat::QRW,
            StillImageCaptureFormat::DNG,
            StillImageCaptureFormat::QRWAndJPEG,
            StillImageCaptureFormat::DNGAndJPEG,
            StillImageCaptureFormat::TIFF,
        }),
        describe<StillImageQuality, StillImageQualityValue>({
            StillImageQuality::LargeBest,
            StillImageQuality::LargeBetter,
            StillImageQuality::LargeGood,
            StillImageQuality::MediumBest,
            StillImageQuality::MediumBetter,
            StillImageQuality::MediumGood,
            StillImageQuality::SmallBest,
            StillImageQuality::SmallBetter,
            StillImageQuality::SmallGood,
            StillImageQuality::ExtraSmallBest,
            StillImageQuality::ExtraSmallBetter,
            StillImageQuality::ExtraSmallGood,
        }),
        describe<StorageWriting, StorageWritingValue>({
            StorageWriting::True,
            StorageWriting::False,
        }),
        describe<UserCaptureSettingsMode, UserCaptureSettingsModeValue>({
            UserCaptureSettingsMode::None,
            UserCaptureSettingsMode::User,
            UserCaptureSettingsMode::User2,
            UserCaptureSettingsMode::User3,
            UserCaptureSettingsMode::User4,
            UserCaptureSettingsMode::User5,
        }),
        describe<WhiteBalance, WhiteBalanceValue>({
            WhiteBalance::Undefined,
            WhiteBalance::Auto,
            WhiteBalance::Daylight,
            WhiteBalance::Tungsten,
            WhiteBalance::Flash,
            WhiteBalance::Shade,
            WhiteBalance::Cloudy,
            WhiteBalance::FluorescentDaylight,
            WhiteBalance::FluorescentDaylightWhite,
            WhiteBalance::FluorescentCoolWhite,
            WhiteBalance::FluorescentWarmWhite,
            WhiteBalance::Manual,
            WhiteBalance::Manual2,
            WhiteBalance::Manual3,
            WhiteBalance::ColorTemperature,
            WhiteBalance::ColorTemperature2,
            WhiteBalance::ColorTemperature3,
            WhiteBalance::CTE,
            WhiteBalance::MultiAuto,
        }),
    };
    return classes;
}

const CatalogueClass* findCatalogueClass(const std::string& name) {
    for (const auto& entry : catalogue()) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace Corvane::CameraController::Impl
