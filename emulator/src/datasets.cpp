#include "datasets.hpp"

#include <cstdio>
#include <ctime>

#include "byte_writer.hpp"
#include "common/local_time.hpp"

namespace Corvane::CameraController::Emulator::Wire {

Bytes encodeDeviceInfo(const DeviceInfoFields& info) {
    ByteWriter w(512);
    w.u16(100).u32(info.vendorExtensionId).u16(100).string(info.vendorExtensionDesc);
    w.u16(0);  // functional mode: standard
    w.array16(info.operations).array16(info.events).array16(info.properties);
    w.array16(info.captureFormats).array16(info.imageFormats);
    w.string(info.manufacturer).string(info.model).string(info.deviceVersion);
    w.string(info.serialNumber);
    return w.take();
}

Bytes encodeStorageInfo(const StorageInfoFields& info) {
    ByteWriter w(64);
    w.u16(info.storageType).u16(info.filesystemType).u16(info.accessCapability);
    w.u64(info.maxCapacity).u64(info.freeSpaceInBytes).u32(info.freeSpaceInObjects);
    w.string(info.description).string(info.volumeLabel);
    return w.take();
}

Bytes encodeObjectInfo(const ObjectInfoFields& info) {
    ByteWriter w(128);
    const uint32_t size = info.compressedSize > 0xFFFFFFFFull
                              ? 0xFFFFFFFFu
                              : static_cast<uint32_t>(info.compressedSize);
    w.u32(info.storageId).u16(info.objectFormat).u16(info.protectionStatus).u32(size);
    w.u16(info.thumbFormat).u32(info.thumbCompressedSize).u32(info.thumbWidth);
    w.u32(info.thumbHeight).u32(info.imageWidth).u32(info.imageHeight).u32(info.imageBitDepth);
    w.u32(info.parentObject).u16(info.associationType).u32(info.associationDesc);
    w.u32(info.sequenceNumber).string(info.filename).string(info.captureDate);
    w.string(info.modificationDate).string(info.keywords);
    return w.take();
}

unsigned valueWidth(uint16_t dataType) {
    switch (dataType) {
        case 0x0001:
        case 0x0002:
            return 1;
        case 0x0003:
        case 0x0004:
            return 2;
        case 0x0005:
        case 0x0006:
            return 4;
        case 0x0007:
        case 0x0008:
            return 8;
        default:
            return 0;
    }
}

namespace {

void putValue(ByteWriter& w, uint16_t dataType, uint64_t value) {
    switch (valueWidth(dataType)) {
        case 1:
            w.u8(static_cast<uint8_t>(value));
            break;
        case 2:
            w.u16(static_cast<uint16_t>(value));
            break;
        case 4:
            w.u32(static_cast<uint32_t>(value));
            break;
        case 8:
            w.u64(value);
            break;
        default:
            break;
    }
}

ByteWriter propDescHead(uint16_t property, uint16_t dataType, bool settable, uint64_t factory,
                        uint64_t current) {
    ByteWriter w(64);
    w.u16(property).u16(dataType).u8(settable ? 1 : 0);
    putValue(w, dataType, factory);
    putValue(w, dataType, current);
    return w;
}

}  // namespace

Bytes encodePropDescEnum(uint16_t property, uint16_t dataType, bool settable, uint64_t factory,
                         uint64_t current, const std::vector<uint64_t>& values) {
    ByteWriter w = propDescHead(property, dataType, settable, factory, current);
    w.u8(2).u16(static_cast<uint16_t>(values.size()));
    for (const uint64_t v : values) {
        putValue(w, dataType, v);
    }
    return w.take();
}

Bytes encodePropDescRange(uint16_t property, uint16_t dataType, bool settable, uint64_t factory,
                          uint64_t current, uint64_t minimum, uint64_t maximum, uint64_t step) {
    ByteWriter w = propDescHead(property, dataType, settable, factory, current);
    w.u8(1);
    putValue(w, dataType, minimum);
    putValue(w, dataType, maximum);
    putValue(w, dataType, step);
    return w.take();
}

Bytes encodePropDescString(uint16_t property, bool settable, const std::string& factory,
                           const std::string& current) {
    ByteWriter w(80);
    w.u16(property).u16(0xFFFF).u8(settable ? 1 : 0).string(factory).string(current).u8(0);
    return w.take();
}

Bytes encodeValue(uint16_t dataType, uint64_t value) {
    ByteWriter w(8);
    putValue(w, dataType, value);
    return w.take();
}

Bytes encodeCondition(const ConditionFields& c) {
    Bytes bytes(kConditionSize, 0);
    uint8_t* p = bytes.data();
    putU32(p + 0, kConditionWordCount);
    putU32(p + 24, c.cameraState);
    putU32(p + 32, c.objectReady);
    putU32(p + 36, c.objectHandle);
    putU32(p + 40, c.userSettingsMode);
    putU32(p + 64, c.apertureWords[0]);
    putU32(p + 68, c.apertureWords[1]);
    putU32(p + 72, c.compensationWords[0]);
    putU32(p + 76, c.compensationWords[1]);
    putU32(p + 104, c.statusFlags);
    putU32(p + 108, c.isoValid);
    putU32(p + 120, c.whiteBalanceWord);
    putU32(p + 184, static_cast<uint32_t>(c.exposureMode));
    putU32(p + 272, c.shutterNumerator);
    putU32(p + 276, c.shutterDenominator);
    putU32(p + 312, c.isoSensitivity);
    putU32(p + 464, c.slotFileFormat[0]);
    putU32(p + 468, c.slotFileFormat[1]);
    putU32(p + 484, c.slotInactive[0]);
    putU32(p + 488, c.slotInactive[1]);
    putU32(p + 504, c.adjustableMask);
    putU32(p + 560, c.slotIndex);
    return bytes;
}

Bytes encodeImageFormat(const ImageFormatFields& f) {
    Bytes bytes(kImageFormatSize, 0);
    putU32(bytes.data(), f.header);
    bytes[4] = f.fileFormat;
    bytes[5] = f.fileFormat;
    bytes[6] = f.jpegSize;
    bytes[7] = f.jpegGrade;
    bytes[8] = f.rawKind;
    bytes[9] = f.formatLock;
    return bytes;
}

bool decodeImageFormat(const uint8_t* data, size_t size, ImageFormatFields& f) {
    if (size != kImageFormatSize) {
        return false;
    }
    f.header = readU32(data);
    f.fileFormat = data[4];
    f.jpegSize = data[6];
    f.jpegGrade = data[7];
    f.rawKind = data[8];
    f.formatLock = data[9];
    return true;
}

Bytes encodeLiveViewGeometry(uint16_t width, uint16_t height, uint16_t pointX, uint16_t pointY,
                             uint16_t areaWidth, uint16_t areaHeight) {
    ByteWriter w(16);
    w.u32(1).u16(width).u16(height).u16(pointX).u16(pointY).u16(areaWidth).u16(areaHeight);
    return w.take();
}

std::string formatDateTime(int64_t secondsSinceEpoch) {
    const auto t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm parts{};
    if (!Impl::toLocalTime(t, parts)) {
        return "19700101T000000";
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &parts);
    return text;
}

bool parseDateTime(const std::string& text, int64_t& secondsSinceEpoch) {
    std::tm parts{};
    char separator = 0;
    if (text.size() < 15 ||
        std::sscanf(text.c_str(), "%4d%2d%2d%c%2d%2d%2d", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &separator, &parts.tm_hour, &parts.tm_min,
                    &parts.tm_sec) != 7 ||
        separator != 'T') {
        return false;
    }
    if (parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 || parts.tm_mday > 31 ||
        parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60) {
        return false;
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    const std::time_t t = std::mktime(&parts);
    if (t == static_cast<std::time_t>(-1)) {
        return false;
    }
    secondsSinceEpoch = t;
    return true;
}

}  // namespace Corvane::CameraController::Emulator::Wire
