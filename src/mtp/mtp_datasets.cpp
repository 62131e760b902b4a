#include "mtp/mtp_datasets.hpp"

#include <cstdio>
#include <ctime>

namespace Corvane::CameraController::Impl {
namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

void appendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

bool isHighSurrogate(uint16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(uint16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

template <typename T>
bool readArray(MtpDataReader& reader, std::vector<T>& values, bool (MtpDataReader::*readOne)(T&)) {
    MtpDataReader probe = reader;
    uint32_t count = 0;
    if (!probe.readU32(count)) {
        return false;
    }
    // Checked before reserving so that a forged count cannot demand gigabytes.
    if (probe.remaining() / sizeof(T) < count) {
        return false;
    }
    std::vector<T> decoded;
    decoded.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        T value{};
        (probe.*readOne)(value);
        decoded.push_back(value);
    }
    values = std::move(decoded);
    reader = probe;
    return true;
}

// The fields after OperationsSupported; stops at the first one that is not whole.
bool decodeDeviceInfoTail(MtpDataReader& reader, MtpDeviceInfo& info) {
    return reader.readU16Array(info.eventsSupported) &&
           reader.readU16Array(info.devicePropertiesSupported) &&
           reader.readU16Array(info.captureFormats) && reader.readU16Array(info.imageFormats) &&
           reader.readString(info.manufacturer) && reader.readString(info.model) &&
           reader.readString(info.deviceVersion) && reader.readString(info.serialNumber);
}

int64_t readDate(MtpDataReader& reader, bool& ok) {
    std::string text;
    ok = reader.readString(text);
    return ok ? parseMtpDate(text).value_or(0) : 0;
}

}  // namespace

bool MtpDataReader::skip(size_t count) {
    if (remaining() < count) {
        return false;
    }
    offset_ += count;
    return true;
}

uint64_t MtpDataReader::readLittleEndian(size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) {
        value |= static_cast<uint64_t>(data_[offset_ + i]) << (8 * i);
    }
    offset_ += width;
    return value;
}

bool MtpDataReader::readU16(uint16_t& value) {
    if (remaining() < 2) {
        return false;
    }
    value = static_cast<uint16_t>(readLittleEndian(2));
    return true;
}

bool MtpDataReader::readU32(uint32_t& value) {
    if (remaining() < 4) {
        return false;
    }
    value = static_cast<uint32_t>(readLittleEndian(4));
    return true;
}

bool MtpDataReader::readU64(uint64_t& value) {
    if (remaining() < 8) {
        return false;
    }
    value = readLittleEndian(8);
    return true;
}

bool MtpDataReader::readString(std::string& value) {
    if (remaining() < 1) {
        return false;
    }
    const size_t length = data_[offset_];
    if (remaining() - 1 < 2 * length) {
        return false;
    }
    ++offset_;
    std::vector<uint16_t> units(length);
    for (auto& unit : units) {
        unit = static_cast<uint16_t>(readLittleEndian(2));
    }
    value = utf16ToUtf8(units);
    return true;
}

bool MtpDataReader::readU16Array(std::vector<uint16_t>& values) {
    return readArray(*this, values, &MtpDataReader::readU16);
}

bool MtpDataReader::readU32Array(std::vector<uint32_t>& values) {
    return readArray(*this, values, &MtpDataReader::readU32);
}

std::string utf16ToUtf8(const std::vector<uint16_t>& units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size() && units[i] != 0; ++i) {
        const uint16_t unit = units[i];
        if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            const uint32_t high = unit - 0xD800u;
            const uint32_t low = units[i + 1] - 0xDC00u;
            appendUtf8(out, 0x10000u + (high << 10) + low);
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            appendUtf8(out, kReplacementCharacter);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::optional<std::string> decodeMtpString(const uint8_t* data, size_t size, size_t* consumed) {
    MtpDataReader reader(data, size);
    std::string value;
    if (!reader.readString(value)) {
        return std::nullopt;
    }
    if (consumed) {
        *consumed = reader.offset();
    }
    return value;
}

std::optional<int64_t> parseMtpDate(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = 0;
    if (std::sscanf(text.c_str(), "%4d%2d%2d%c%2d%2d%2d", &year, &month, &day, &separator, &hour,
                    &minute, &second) != 7 ||
        separator != 'T') {
        return std::nullopt;
    }
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    // The camera writes its wall-clock time; in summer that time has daylight saving applied.
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local));
}

std::optional<MtpDeviceInfo> decodeDeviceInfo(const uint8_t* data, size_t size) {
    MtpDataReader reader(data, size);
    MtpDeviceInfo info;
    if (!reader.readU16(info.standardVersion) || !reader.readU32(info.vendorExtensionId) ||
        !reader.readU16(info.vendorExtensionVersion) ||
        !reader.readString(info.vendorExtensionDesc) || !reader.readU16(info.functionalMode) ||
        !reader.readU16Array(info.operationsSupported)) {
        return std::nullopt;
    }
    info.complete = decodeDeviceInfoTail(reader, info);
    return info;
}

std::optional<std::vector<uint32_t>> decodeU32Array(const uint8_t* data, size_t size) {
    MtpDataReader reader(data, size);
    std::vector<uint32_t> values;
    if (!reader.readU32Array(values)) {
        return std::nullopt;
    }
    return values;
}

std::optional<MtpStorageInfo> decodeStorageInfo(const uint8_t* data, size_t size) {
    MtpDataReader reader(data, size);
    MtpStorageInfo info;
    if (!reader.readU16(info.storageType) || !reader.readU16(info.filesystemType) ||
        !reader.readU16(info.accessCapability) || !reader.readU64(info.maxCapacity) ||
        !reader.readU64(info.freeSpaceInBytes) || !reader.readU32(info.freeSpaceInImages) ||
        !reader.readString(info.storageDescription) || !reader.readString(info.volumeLabel)) {
        return std::nullopt;
    }
    return info;
}

std::optional<MtpObjectInfo> decodeObjectInfo(const uint8_t* data, size_t size) {
    MtpDataReader reader(data, size);
    MtpObjectInfo info;
    bool ok = reader.readU32(info.storageId) && reader.readU16(info.objectFormat) &&
              reader.readU16(info.protectionStatus) && reader.readU32(info.objectCompressedSize) &&
              reader.readU16(info.thumbFormat) && reader.readU32(info.thumbCompressedSize) &&
              reader.readU32(info.thumbPixWidth) && reader.readU32(info.thumbPixHeight) &&
              reader.readU32(info.imagePixWidth) && reader.readU32(info.imagePixHeight) &&
              reader.readU32(info.imageBitDepth) && reader.readU32(info.parentObject) &&
              reader.readU16(info.associationType) && reader.readU32(info.associationDesc) &&
              reader.readU32(info.sequenceNumber) && reader.readString(info.filename);
    if (ok) {
        info.captureDate = readDate(reader, ok);
    }
    if (ok) {
        info.modificationDate = readDate(reader, ok);
    }
    if (ok) {
        ok = reader.readString(info.keywords);
    }
    if (!ok) {
        return std::nullopt;
    }
    return info;
}

}  // namespace Corvane::CameraController::Impl
