// Every value of the capture setting catalogue, written once: for each setting class, its
// static singletons in catalogue order with the payload each one holds (the text its value
// prints, or the flag). The class declarations in capture_settings.hpp, the singletons'
// definitions and the library's catalogue table are all expanded from these lists.
//
// Each list takes a macro X(Class, Member, Payload); for example CORVANE_FNUMBER_VALUES has the
// entry X(FNumber, F5_6, "5.6"): the singleton FNumber::F5_6, whose value prints "5.6".
#pragma once

/// The values of CaptureMethod.
#define CORVANE_CAPTURE_METHOD_VALUES(X)       \
    X(CaptureMethod, StillImage, "StillImage") \
    X(CaptureMethod, Movie, "Movie")

/// The values of ExposureCompensation.
#define CORVANE_EXPOSURE_COMPENSATION_VALUES(X)    \
    X(ExposureCompensation, ECNegative5_0, "-5.0") \
    X(ExposureCompensation, ECNegative4_7, "-4.7") \
    X(ExposureCompensation, ECNegative4_5, "-4.5") \
    X(ExposureCompensation, ECNegative4_3, "-4.3") \
    X(ExposureCompensation, ECNegative4_0, "-4.0") \
    X(ExposureCompensation, ECNegative3_7, "-3.7") \
    X(ExposureCompensation, ECNegative3_5, "-3.5") \
    X(ExposureCompensation, ECNegative3_3, "-3.3") \
    X(ExposureCompensation, ECNegative3_0, "-3.0") \
    X(ExposureCompensation, ECNegative2_7, "-2.7") \
    X(ExposureCompensation, ECNegative2_5, "-2.5") \
    X(ExposureCompensation, ECNegative2_3, "-2.3") \
    X(ExposureCompensation, ECNegative2_0, "-2.0") \
    X(ExposureCompensation, ECNegative1_7, "-1.7") \
    X(ExposureCompensation, ECNegative1_5, "-1.5") \
    X(ExposureCompensation, ECNegative1_3, "-1.3") \
    X(ExposureCompensation, ECNegative1_0, "-1.0") \
    X(ExposureCompensation, ECNegative0_7, "-0.7") \
    X(ExposureCompensation, ECNegative0_5, "-0.5") \
    X(ExposureCompensation, ECNegative0_3, "-0.3") \
    X(ExposureCompensation, EC0_0, "0.0")          \
    X(ExposureCompensation, EC0_3, "0.3")          \
    X(ExposureCompensation, EC0_5, "0.5")          \
    X(ExposureCompensation, EC0_7, "0.7")          \
    X(ExposureCompensation, EC1_0, "1.0")          \
    X(ExposureCompensation, EC1_3, "1.3")          \
    X(ExposureCompensation, EC1_5, "1.5")          \
    X(ExposureCompensation, EC1_7, "1.7")          \
    X(ExposureCompensation, EC2_0, "2.0")          \
    X(ExposureCompensation, EC2_3, "2.3")          \
    X(ExposureCompensation, EC2_5, "2.5")          \
    X(ExposureCompensation, EC2_7, "2.7")          \
    X(ExposureCompensation, EC3_0, "3.0")          \
    X(ExposureCompensation, EC3_3, "3.3")          \
    X(ExposureCompensation, EC3_5, "3.5")          \
    X(ExposureCompensation, EC3_7, "3.7")          \
    X(ExposureCompensation, EC4_0, "4.0")          \
    X(ExposureCompensation, EC4_3, "4.3")          \
    X(ExposureCompensation, EC4_5, "4.5")          \
    X(ExposureCompensation, EC4_7, "4.7")          \
    X(ExposureCompensation, EC5_0, "5.0")

/// The values of ExposureProgram.
#define CORVANE_EXPOSURE_PROGRAM_VALUES(X)                                                 \
    X(ExposureProgram, Unknown, "Unknown")                                                 \
    X(ExposureProgram, Auto, "Auto")                                                       \
    X(ExposureProgram, Program, "Program")                                                 \
    X(ExposureProgram, AperturePriority, "AperturePriority")                               \
    X(ExposureProgram, ShutterSpeedPriority, "ShutterSpeedPriority")                       \
    X(ExposureProgram, ShutterSpeedAndAperturePriority, "ShutterSpeedAndAperturePriority") \
    X(ExposureProgram, ISOPriority, "ISOPriority")                                         \
    X(ExposureProgram, Manual, "Manual")                                                   \
    X(ExposureProgram, Bulb, "Bulb")                                                       \
    X(ExposureProgram, FlashXSyncSpeed, "FlashXSyncSpeed")                                 \
    X(ExposureProgram, Skyglide, "Skyglide")                                               \
    X(ExposureProgram, LensShutter, "LensShutter")

/// The values of FNumber.
#define CORVANE_FNUMBER_VALUES(X) \
    X(FNumber, Null, "null")      \
    X(FNumber, F0_5, "0.5")       \
    X(FNumber, F0_7, "0.7")       \
    X(FNumber, F0_8, "0.8")       \
    X(FNumber, F0_9, "0.9")       \
    X(FNumber, F1_0, "1.0")       \
    X(FNumber, F1_1, "1.1")       \
    X(FNumber, F1_2, "1.2")       \
    X(FNumber, F1_3, "1.3")       \
    X(FNumber, F1_4, "1.4")       \
    X(FNumber, F1_6, "1.6")       \
    X(FNumber, F1_7, "1.7")       \
    X(FNumber, F1_8, "1.8")       \
    X(FNumber, F1_9, "1.9")       \
    X(FNumber, F2_0, "2.0")       \
    X(FNumber, F2_2, "2.2")       \
    X(FNumber, F2_4, "2.4")       \
    X(FNumber, F2_5, "2.5")       \
    X(FNumber, F2_8, "2.8")       \
    X(FNumber, F3_2, "3.2")       \
    X(FNumber, F3_3, "3.3")       \
    X(FNumber, F3_5, "3.5")       \
    X(FNumber, F4_0, "4.0")       \
    X(FNumber, F4_5, "4.5")       \
    X(FNumber, F4_8, "4.8")       \
    X(FNumber, F5_0, "5.0")       \
    X(FNumber, F5_6, "5.6")       \
    X(FNumber, F5_8, "5.8")       \
    X(FNumber, F6_3, "6.3")       \
    X(FNumber, F6_7, "6.7")       \
    X(FNumber, F7_1, "7.1")       \
    X(FNumber, F8_0, "8.0")       \
    X(FNumber, F9_0, "9.0")       \
    X(FNumber, F9_5, "9.5")       \
    X(FNumber, F10, "10")         \
    X(FNumber, F11, "11")         \
    X(FNumber, F13, "13")         \
    X(FNumber, F14, "14")         \
    X(FNumber, F16, "16")         \
    X(FNumber, F18, "18")         \
    X(FNumber, F19, "19")         \
    X(FNumber, F20, "20")         \
    X(FNumber, F22, "22")         \
    X(FNumber, F25, "25")         \
    X(FNumber, F27, "27")         \
    X(FNumber, F29, "29")         \
    X(FNumber, F32, "32")         \
    X(FNumber, F36, "36")         \
    X(FNumber, F38, "38")         \
    X(FNumber, F40, "40")         \
    X(FNumber, F45, "45")         \
    X(FNumber, F51, "51")         \
    X(FNumber, F54, "54")         \
    X(FNumber, F57, "57")         \
    X(FNumber, F64, "64")         \
    X(FNumber, F72, "72")         \
    X(FNumber, F76, "76")         \
    X(FNumber, F80, "80")         \
    X(FNumber, F81, "81")         \
    X(FNumber, F90, "90")         \
    X(FNumber, F107, "107")       \
    X(FNumber, F128, "128")       \
    X(FNumber, F180, "180")       \
    X(FNumber, F256, "256")

/// The values of AgileOperationEnable.
#define CORVANE_AGILE_OPERATION_ENABLE_VALUES(X) \
    X(AgileOperationEnable, True, true)          \
    X(AgileOperationEnable, False, false)

/// The values of ISO.
#define CORVANE_ISO_VALUES(X)   \
    X(ISO, Auto, "Auto")        \
    X(ISO, ISO100, "100")       \
    X(ISO, ISO125, "125")       \
    X(ISO, ISO140, "140")       \
    X(ISO, ISO160, "160")       \
    X(ISO, ISO200, "200")       \
    X(ISO, ISO250, "250")       \
    X(ISO, ISO280, "280")       \
    X(ISO, ISO320, "320")       \
    X(ISO, ISO400, "400")       \
    X(ISO, ISO500, "500")       \
    X(ISO, ISO560, "560")       \
    X(ISO, ISO640, "640")       \
    X(ISO, ISO800, "800")       \
    X(ISO, ISO1000, "1000")     \
    X(ISO, ISO1100, "1100")     \
    X(ISO, ISO1250, "1250")     \
    X(ISO, ISO1600, "1600")     \
    X(ISO, ISO2000, "2000")     \
    X(ISO, ISO2200, "2200")     \
    X(ISO, ISO2500, "2500")     \
    X(ISO, ISO3200, "3200")     \
    X(ISO, ISO4000, "4000")     \
    X(ISO, ISO4500, "4500")     \
    X(ISO, ISO5000, "5000")     \
    X(ISO, ISO6400, "6400")     \
    X(ISO, ISO8000, "8000")     \
    X(ISO, ISO9000, "9000")     \
    X(ISO, ISO10000, "10000")   \
    X(ISO, ISO12800, "12800")   \
    X(ISO, ISO16000, "16000")   \
    X(ISO, ISO18000, "18000")   \
    X(ISO, ISO20000, "20000")   \
    X(ISO, ISO25600, "25600")   \
    X(ISO, ISO32000, "32000")   \
    X(ISO, ISO36000, "36000")   \
    X(ISO, ISO40000, "40000")   \
    X(ISO, ISO51200, "51200")   \
    X(ISO, ISO64000, "64000")   \
    X(ISO, ISO72000, "72000")   \
    X(ISO, ISO80000, "80000")   \
    X(ISO, ISO102400, "102400") \
    X(ISO, ISO128000, "128000") \
    X(ISO, ISO144000, "144000") \
    X(ISO, ISO160000, "160000") \
    X(ISO, ISO204800, "204800") \
    X(ISO, ISO256000, "256000") \
    X(ISO, ISO288000, "288000") \
    X(ISO, ISO320000, "320000") \
    X(ISO, ISO409600, "409600") \
    X(ISO, ISO512000, "512000") \
    X(ISO, ISO576000, "576000") \
    X(ISO, ISO640000, "640000") \
    X(ISO, ISO819200, "819200")

/// The values of ShutterSpeed.
#define CORVANE_SHUTTER_SPEED_VALUES(X)   \
    X(ShutterSpeed, SS1_24000, "1/24000") \
    X(ShutterSpeed, SS1_20000, "1/20000") \
    X(ShutterSpeed, SS1_16000, "1/16000") \
    X(ShutterSpeed, SS1_12800, "1/12800") \
    X(ShutterSpeed, SS1_12000, "1/12000") \
    X(ShutterSpeed, SS1_10000, "1/10000") \
    X(ShutterSpeed, SS1_8000, "1/8000")   \
    X(ShutterSpeed, SS1_6400, "1/6400")   \
    X(ShutterSpeed, SS1_6000, "1/6000")   \
    X(ShutterSpeed, SS1_5000, "1/5000")   \
    X(ShutterSpeed, SS1_4000, "1/4000")   \
    X(ShutterSpeed, SS1_3200, "1/3200")   \
    X(ShutterSpeed, SS1_3000, "1/3000")   \
    X(ShutterSpeed, SS1_2500, "1/2500")   \
    X(ShutterSpeed, SS1_2000, "1/2000")   \
    X(ShutterSpeed, SS1_1600, "1/1600")   \
    X(ShutterSpeed, SS1_1500, "1/1500")   \
    X(ShutterSpeed, SS1_1250, "1/1250")   \
    X(ShutterSpeed, SS1_1000, "1/1000")   \
    X(ShutterSpeed, SS1_800, "1/800")     \
    X(ShutterSpeed, SS1_750, "1/750")     \
    X(ShutterSpeed, SS1_640, "1/640")     \
    X(ShutterSpeed, SS1_500, "1/500")     \
    X(ShutterSpeed, SS1_400, "1/400")     \
    X(ShutterSpeed, SS1_350, "1/350")     \
    X(ShutterSpeed, SS1_320, "1/320")     \
    X(ShutterSpeed, SS1_250, "1/250")     \
    X(ShutterSpeed, SS1_200, "1/200")     \
    X(ShutterSpeed, SS1_180, "1/180")     \
    X(ShutterSpeed, SS1_160, "1/160")     \
    X(ShutterSpeed, SS1_125, "1/125")     \
    X(ShutterSpeed, SS1_100, "1/100")     \
    X(ShutterSpeed, SS1_90, "1/90")       \
    X(ShutterSpeed, SS1_80, "1/80")       \
    X(ShutterSpeed, SS1_60, "1/60")       \
    X(ShutterSpeed, SS1_50, "1/50")       \
    X(ShutterSpeed, SS1_45, "1/45")       \
    X(ShutterSpeed, SS1_40, "1/40")       \
    X(ShutterSpeed, SS1_30, "1/30")       \
    X(ShutterSpeed, SS1_25, "1/25")       \
    X(ShutterSpeed, SS1_20, "1/20")       \
    X(ShutterSpeed, SS1_15, "1/15")       \
    X(ShutterSpeed, SS1_13, "1/13")       \
    X(ShutterSpeed, SS1_10, "1/10")       \
    X(ShutterSpeed, SS1_8, "1/8")         \
    X(ShutterSpeed, SS1_6, "1/6")         \
    X(ShutterSpeed, SS1_5, "1/5")         \
    X(ShutterSpeed, SS1_4, "1/4")         \
    X(ShutterSpeed, SS1_3, "1/3")         \
    X(ShutterSpeed, SS3_10, "0.3")        \
    X(ShutterSpeed, SS10_25, "1/2.5")     \
    X(ShutterSpeed, SS4_10, "0.4")        \
    X(ShutterSpeed, SS1_2, "1/2")         \
    X(ShutterSpeed, SS5_10, "0.5")        \
    X(ShutterSpeed, SS6_10, "0.6")        \
    X(ShutterSpeed, SS10_16, "1/1.6")     \
    X(ShutterSpeed, SS7_10, "0.7")        \
    X(ShutterSpeed, SS10_13, "1/1.3")     \
    X(ShutterSpeed, SS8_10, "0.8")        \
    X(ShutterSpeed, SS1, "1")             \
    X(ShutterSpeed, SS13_10, "1.3")       \
    X(ShutterSpeed, SS15_10, "1.5")       \
    X(ShutterSpeed, SS16_10, "1.6")       \
    X(ShutterSpeed, SS2, "2")             \
    X(ShutterSpeed, SS25_10, "2.5")       \
    X(ShutterSpeed, SS3, "3")             \
    X(ShutterSpeed, SS32_10, "3.2")       \
    X(ShutterSpeed, SS4, "4")             \
    X(ShutterSpeed, SS5, "5")             \
    X(ShutterSpeed, SS6, "6")             \
    X(ShutterSpeed, SS8, "8")             \
    X(ShutterSpeed, SS10, "10")           \
    X(ShutterSpeed, SS13, "13")           \
    X(ShutterSpeed, SS15, "15")           \
    X(ShutterSpeed, SS20, "20")           \
    X(ShutterSpeed, SS25, "25")           \
    X(ShutterSpeed, SS30, "30")           \
    X(ShutterSpeed, SS40, "40")           \
    X(ShutterSpeed, SS50, "50")           \
    X(ShutterSpeed, SS60, "60")           \
    X(ShutterSpeed, SS70, "70")           \
    X(ShutterSpeed, SS80, "80")           \
    X(ShutterSpeed, SS90, "90")           \
    X(ShutterSpeed, SS100, "100")         \
    X(ShutterSpeed, SS110, "110")         \
    X(ShutterSpeed, SS120, "120")         \
    X(ShutterSpeed, SS130, "130")         \
    X(ShutterSpeed, SS140, "140")         \
    X(ShutterSpeed, SS150, "150")         \
    X(ShutterSpeed, SS160, "160")         \
    X(ShutterSpeed, SS170, "170")         \
    X(ShutterSpeed, SS180, "180")         \
    X(ShutterSpeed, SS190, "190")         \
    X(ShutterSpeed, SS200, "200")         \
    X(ShutterSpeed, SS210, "210")         \
    X(ShutterSpeed, SS220, "220")         \
    X(ShutterSpeed, SS230, "230")         \
    X(ShutterSpeed, SS240, "240")         \
    X(ShutterSpeed, SS250, "250")         \
    X(ShutterSpeed, SS260, "260")         \
    X(ShutterSpeed, SS270, "270")         \
    X(ShutterSpeed, SS280, "280")         \
    X(ShutterSpeed, SS290, "290")         \
    X(ShutterSpeed, SS300, "300")         \
    X(ShutterSpeed, SS360, "360")         \
    X(ShutterSpeed, SS420, "420")         \
    X(ShutterSpeed, SS480, "480")         \
    X(ShutterSpeed, SS540, "540")         \
    X(ShutterSpeed, SS600, "600")         \
    X(ShutterSpeed, SS660, "660")         \
    X(ShutterSpeed, SS720, "720")         \
    X(ShutterSpeed, SS780, "780")         \
    X(ShutterSpeed, SS840, "840")         \
    X(ShutterSpeed, SS900, "900")         \
    X(ShutterSpeed, SS960, "960")         \
    X(ShutterSpeed, SS1020, "1020")       \
    X(ShutterSpeed, SS1080, "1080")       \
    X(ShutterSpeed, SS1140, "1140")       \
    X(ShutterSpeed, SS1200, "1200")       \
    X(ShutterSpeed, Bulb, "Bulb")         \
    X(ShutterSpeed, Auto, "auto")

/// The values of StillImageCaptureFormat.
#define CORVANE_STILL_IMAGE_CAPTURE_FORMAT_VALUES(X)       \
    X(StillImageCaptureFormat, JPEG, "JPEG")               \
    X(StillImageCaptureFormat, QRW, "QRW")                 \
    X(StillImageCaptureFormat, DNG, "DNG")                 \
    X(StillImageCaptureFormat, QRWAndJPEG, "QRW and JPEG") \
    X(StillImageCaptureFormat, DNGAndJPEG, "DNG and JPEG") \
    X(StillImageCaptureFormat, TIFF, "TIFF")

/// The values of StillImageQuality.
#define CORVANE_STILL_IMAGE_QUALITY_VALUES(X)                    \
    X(StillImageQuality, LargeBest, "Large Best")                \
    X(StillImageQuality, LargeBetter, "Large Better")            \
    X(StillImageQuality, LargeGood, "Large Good")                \
    X(StillImageQuality, MediumBest, "Medium Best")              \
    X(StillImageQuality, MediumBetter, "Medium Better")          \
    X(StillImageQuality, MediumGood, "Medium Good")              \
    X(StillImageQuality, SmallBest, "Small Best")                \
    X(StillImageQuality, SmallBetter, "Small Better")            \
    X(StillImageQuality, SmallGood, "Small Good")                \
    X(StillImageQuality, ExtraSmallBest, "Extra Small Best")     \
    X(StillImageQuality, ExtraSmallBetter, "Extra Small Better") \
    X(StillImageQuality, ExtraSmallGood, "Extra Small Good")

/// The values of StorageWriting.
#define CORVANE_STORAGE_WRITING_VALUES(X) \
    X(StorageWriting, True, true)         \
    X(StorageWriting, False, false)

/// The values of UserCaptureSettingsMode.
#define CORVANE_USER_CAPTURE_SETTINGS_MODE_VALUES(X) \
    X(UserCaptureSettingsMode, None, "None")         \
    X(UserCaptureSettingsMode, User, "User")         \
    X(UserCaptureSettingsMode, User2, "User2")       \
    X(UserCaptureSettingsMode, User3, "User3")       \
    X(UserCaptureSettingsMode, User4, "User4")       \
    X(UserCaptureSettingsMode, User5, "User5")

/// The values of WhiteBalance.
#define CORVANE_WHITE_BALANCE_VALUES(X)                                           \
    X(WhiteBalance, Undefined, "Undefined")                                       \
    X(WhiteBalance, Auto, "Auto")                                                 \
    X(WhiteBalance, Daylight, "Daylight")                                         \
    X(WhiteBalance, Tungsten, "Tungsten Light")                                   \
    X(WhiteBalance, Flash, "Flash")                                               \
    X(WhiteBalance, Shade, "Shade")                                               \
    X(WhiteBalance, Cloudy, "Cloudy")                                             \
    X(WhiteBalance, FluorescentDaylight, "Fluorescent Light Daylight Color")      \
    X(WhiteBalance, FluorescentDaylightWhite, "Fluorescent Light Daylight White") \
    X(WhiteBalance, FluorescentCoolWhite, "Fluorescent Light Cool White")         \
    X(WhiteBalance, FluorescentWarmWhite, "Fluorescent Light Warm White")         \
    X(WhiteBalance, Manual, "Manual")                                             \
    X(WhiteBalance, Manual2, "Manual 2")                                          \
    X(WhiteBalance, Manual3, "Manual 3")                                          \
    X(WhiteBalance, ColorTemperature, "Color Temperature Configuration")          \
    X(WhiteBalance, ColorTemperature2, "Color Temperature Configuration 2")       \
    X(WhiteBalance, ColorTemperature3, "Color Temperature Configuration 3")       \
    X(WhiteBalance, CTE, "CTE")                                                   \
    X(WhiteBalance, MultiAuto, "Multi Auto")
