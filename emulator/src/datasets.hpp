// Encoders for every dataset the camera sends, written from the wire tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transaction.hpp"

namespace Corvane::CameraController::Emulator::Wire {

struct DeviceInfoFields {
    uint32_t vendorExtensionId = 6;
    std::string vendorExtensionDesc;
    std::vector<uint16_t> operations;
    std::vector<uint16_t> events;
    std::vector<uint16_t> properties;
    std::vector<uint16_t> captureFormats;
    std::vector<uint16_t> imageFormats;
    std::string manufacturer;
    std::string model;
    std::string deviceVersion;
    std::string serialNumber;
};
Bytes encodeDeviceInfo(const DeviceInfoFields& info);

struct StorageInfoFields {
    uint16_t storageType = 0;
    uint16_t filesystemType = 0;
    uint16_t accessCapability = 0;
    uint64_t maxCapacity = 0;
    uint64_t freeSpaceInBytes = 0;
    uint32_t freeSpaceInObjects = 0;
    std::string description;
    std::string volumeLabel;
};
Bytes encodeStorageInfo(const StorageInfoFields& info);

struct ObjectInfoFields {
    uint32_t storageId = 0;
    uint16_t objectFormat = 0;
    uint16_t protectionStatus = 0;
    uint64_t compressedSize = 0;  ///< sent as 0xFFFFFFFF when it does not fit in 32 bits
    uint16_t thumbFormat = 0;
    uint32_t thumbCompressedSize = 0;
    uint32_t thumbWidth = 0;
    uint32_t thumbHeight = 0;
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    uint32_t imageBitDepth = 0;
    uint32_t parentObject = 0;
    uint16_t associationType = 0;
    uint32_t associationDesc = 0;
    uint32_t sequenceNumber = 0;
    std::string filename;
    std::string captureDate;
    std::string modificationDate;
    std::string keywords;
};
Bytes encodeObjectInfo(const ObjectInfoFields& info);

/// Byte width of a value of a PTP integer data type (0 for strings and unknown types).
unsigned valueWidth(uint16_t dataType);

/// DevicePropDesc with an enumeration form. Values are written with the data type's width.
Bytes encodePropDescEnum(uint16_t property, uint16_t dataType, bool settable, uint64_t factory,
                         uint64_t current, const std::vector<uint64_t>& values);
/// DevicePropDesc with a range form (minimum, maximum, step).
Bytes encodePropDescRange(uint16_t property, uint16_t dataType, bool settable, uint64_t factory,
                          uint64_t current, uint64_t minimum, uint64_t maximum, uint64_t step);
/// DevicePropDesc of a string property without form.
Bytes encodePropDescString(uint16_t property, bool settable, const std::string& factory,
                           const std::string& current);
/// A bare property value of an integer type.
Bytes encodeValue(uint16_t dataType, uint64_t value);

/// Shutter speed as the camera codes it: numerator in the low word, denominator in the high.
inline uint64_t shutterCode(uint32_t numerator, uint32_t denominator) {
    return static_cast<uint64_t>(numerator) | (static_cast<uint64_t>(denominator) << 32);
}

/// The condition dataset (0x900F): 140 words after a header word holding their count.
struct ConditionFields {
    uint32_t cameraState = 0;
    uint32_t objectReady = 0;
    uint32_t objectHandle = 0;
    uint32_t userSettingsMode = 0;
    uint32_t apertureWords[2] = {0, 0};
    uint32_t compensationWords[2] = {0, 0};
    uint32_t statusFlags = 0;
    uint32_t isoValid = 1;
    uint32_t whiteBalanceWord = 0;
    int32_t exposureMode = 0;
    uint32_t shutterNumerator = 0;
    uint32_t shutterDenominator = 0;
    uint32_t isoSensitivity = 0;
    uint32_t slotFileFormat[2] = {0, 0};
    uint32_t slotInactive[2] = {1, 1};
    uint32_t adjustableMask = 0;
    uint32_t slotIndex = 0;
};
constexpr uint32_t kConditionWordCount = 0x8C;
constexpr size_t kConditionSize = 4 + 4 * kConditionWordCount;
Bytes encodeCondition(const ConditionFields& condition);

/// The still-image format dataset (0xD01B).
struct ImageFormatFields {
    uint32_t header = 8;     ///< count of the bytes that follow
    uint8_t fileFormat = 0;  ///< 0 JPEG, 1 raw, 2 raw and JPEG, 5 TIFF
    uint8_t jpegSize = 0;    ///< 0 Large ... 3 Extra Small
    uint8_t jpegGrade = 2;   ///< 2 Best, 1 Better, 0 Good
    uint8_t rawKind = 0;     ///< 0 QRW, 1 DNG
    uint8_t formatLock = 0;  ///< 3: raw and JPEG only
};
constexpr size_t kImageFormatSize = 12;
Bytes encodeImageFormat(const ImageFormatFields& format);
/// False when the bytes are not a dataset of the camera's length.
bool decodeImageFormat(const uint8_t* data, size_t size, ImageFormatFields& format);

/// Live view geometry (0xD009): image size, the autofocus point, the focus area size.
Bytes encodeLiveViewGeometry(uint16_t width, uint16_t height, uint16_t pointX, uint16_t pointY,
                             uint16_t areaWidth, uint16_t areaHeight);

/// "YYYYMMDDThhmmss" in local time.
std::string formatDateTime(int64_t secondsSinceEpoch);
/// Parses "YYYYMMDDThhmmss" (anything after the seconds ignored) as local time.
bool parseDateTime(const std::string& text, int64_t& secondsSinceEpoch);

}  // namespace Corvane::CameraController::Emulator::Wire
