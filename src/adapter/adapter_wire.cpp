// Vendor dataset codecs.
#include "adapter/adapter_wire.hpp"

#include "common/local_time.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr size_t kPropDescCurrentBase = 5;
constexpr size_t kImageFormatHeaderLockMinimum = 6;
constexpr uint8_t kImageFormatLocked = 3;

uint8_t gradeKey(uint8_t gradeByte) {
    if (gradeByte == 2) {
        return 0;
    }
    return gradeByte == 1 ? 1 : 2;
}

void appendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Reads up to `width` decimal digits at `pos`, as "%0<width>d" would; nullopt without a digit.
/// The number written in text[pos, pos + width) when all of it is digits.
std::optional<int> fixedDigits(const std::string& text, size_t pos, size_t width) {
    if (pos > text.size() || text.size() - pos < width) {
        return std::nullopt;
    }
    int value = 0;
    for (size_t i = pos; i < pos + width; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<uint64_t> readLittleEndian(const uint8_t* data, size_t size, size_t offset,
                                         size_t width) {
    if (data == nullptr || width == 0 || width > 8 || offset > size || size - offset < width) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) {
        value |= static_cast<uint64_t>(data[offset + i]) << (8 * i);
    }
    return value;
}

void appendLittleEndian(std::vector<uint8_t>& out, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

size_t propDescValueSize(uint16_t dataType) {
    switch (dataType) {
        case 1:
        case 2:
            return 1;
        case 3:
        case 4:
            return 2;
        case 5:
        case 6:
            return 4;
        case 7:
        case 8:
            return 8;
        case 9:
        case 10:
            return 16;
        default:
            return 0;
    }
}

std::optional<uint16_t> PropDescView::dataType() const {
    const auto type = readLittleEndian(data, size, 2, 2);
    if (!type) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(*type);
}

std::optional<uint64_t> PropDescView::current(size_t width) const {
    const auto type = dataType();
    if (!type) {
        return std::nullopt;
    }
    return readLittleEndian(data, size, kPropDescCurrentBase + propDescValueSize(*type), width);
}

std::optional<std::vector<uint64_t>> PropDescView::enumeration(size_t width) const {
    const auto type = dataType();
    if (!type) {
        return std::nullopt;
    }
    const size_t s = propDescValueSize(*type);
    const auto count = readLittleEndian(data, size, 6 + 2 * s, 2);
    if (!count) {
        return std::nullopt;
    }
    // The count is the camera's word: make sure the values are there before reserving room
    // for them, or a ten-byte answer could make us allocate half a megabyte.
    if (8 + 2 * s + *count * width > size) {
        return std::nullopt;
    }
    std::vector<uint64_t> values;
    values.reserve(*count);
    for (size_t i = 0; i < *count; ++i) {
        const auto value = readLittleEndian(data, size, 8 + 2 * s + i * width, width);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
    }
    return values;
}

std::optional<uint8_t> decodeBatteryLevel(const uint8_t* data, size_t size) {
    const auto type = PropDescView{data, size}.dataType();
    if (!type) {
        return std::nullopt;
    }
    const auto level =
        readLittleEndian(data, size, kPropDescCurrentBase + propDescValueSize(*type), 1);
    if (!level) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(*level);
}

std::optional<LiveViewGeometry> decodeLiveViewSize(const uint8_t* data, size_t size) {
    const auto width = readLittleEndian(data, size, 4, 2);
    const auto height = readLittleEndian(data, size, 6, 2);
    if (!width || !height) {
        return std::nullopt;
    }
    LiveViewGeometry geometry;
    geometry.width = static_cast<uint16_t>(*width);
    geometry.height = static_cast<uint16_t>(*height);
    return geometry;
}

std::optional<LiveViewGeometry> decodeLiveViewGeometry(const uint8_t* data, size_t size) {
    auto geometry = decodeLiveViewSize(data, size);
    const auto focusWidth = readLittleEndian(data, size, 12, 2);
    const auto focusHeight = readLittleEndian(data, size, 14, 2);
    if (!geometry || !focusWidth || !focusHeight) {
        return std::nullopt;
    }
    geometry->focusWidth = static_cast<uint16_t>(*focusWidth);
    geometry->focusHeight = static_cast<uint16_t>(*focusHeight);
    return geometry;
}

std::vector<uint8_t> encodeAutofocusPoint(uint16_t x, uint16_t y) {
    std::vector<uint8_t> value;
    appendLittleEndian(value, 2, 4);
    appendLittleEndian(value, x, 2);
    appendLittleEndian(value, y, 2);
    return value;
}

std::optional<bool> isImageFormatLocked(const uint8_t* data, size_t size) {
    const auto header = readLittleEndian(data, size, 0, 4);
    if (!header) {
        return std::nullopt;
    }
    if (*header < kImageFormatHeaderLockMinimum) {
        return false;
    }
    const auto lock = readLittleEndian(data, size, ImageFormatByte::formatLock, 1);
    if (!lock) {
        return std::nullopt;
    }
    return *lock == kImageFormatLocked;
}

std::optional<uint8_t> decodeCaptureFormatKey(const uint8_t* data, size_t size) {
    const auto format = readLittleEndian(data, size, ImageFormatByte::fileFormat, 1);
    const auto raw = readLittleEndian(data, size, ImageFormatByte::rawKind, 1);
    const auto locked = isImageFormatLocked(data, size);
    if (!format || !raw || !locked) {
        return std::nullopt;
    }
    const bool dng = *raw != 0;
    if (*locked) {
        return dng ? 4 : 3;
    }
    switch (*format) {
        case 0:
            return 0;
        case 1:
            return dng ? 2 : 1;
        case 2:
            return dng ? 4 : 3;
        case 5:
            return 5;
        default:
            return 6;
    }
}

std::optional<uint8_t> decodeQualityKey(const uint8_t* data, size_t size) {
    const auto jpegSize = readLittleEndian(data, size, ImageFormatByte::jpegSize, 1);
    const auto grade = readLittleEndian(data, size, ImageFormatByte::jpegGrade, 1);
    if (!jpegSize || !grade) {
        return std::nullopt;
    }
    if (*jpegSize > 3) {
        return 12;
    }
    return static_cast<uint8_t>(3 * *jpegSize + gradeKey(static_cast<uint8_t>(*grade)));
}

bool applyCaptureFormatKey(std::vector<uint8_t>& dataset, uint8_t key, bool setLockByte) {
    const auto locked = isImageFormatLocked(dataset.data(), dataset.size());
    const size_t needed =
        setLockByte ? ImageFormatByte::formatLock + 1 : ImageFormatByte::rawKind + 1;
    if (!locked || dataset.size() < needed || key > 5) {
        return false;
    }
    static constexpr uint8_t kFileFormat[] = {0, 1, 1, 2, 2, 5};
    if (!*locked) {
        dataset[ImageFormatByte::fileFormat] = kFileFormat[key];
    }
    if (key >= 1 && key <= 4) {
        dataset[ImageFormatByte::rawKind] = (key == 2 || key == 4) ? 1 : 0;
    }
    if (setLockByte) {
        dataset[ImageFormatByte::formatLock] = 1;
    }
    dataset[ImageFormatByte::fileFormatCopy] = dataset[ImageFormatByte::fileFormat];
    return true;
}

bool applyQualityKey(std::vector<uint8_t>& dataset, uint8_t key, bool setLockByte) {
    const size_t needed =
        setLockByte ? ImageFormatByte::formatLock + 1 : ImageFormatByte::jpegGrade + 1;
    if (dataset.size() < needed || key > 11) {
        return false;
    }
    static constexpr uint8_t kGradeByte[] = {2, 1, 0};
    dataset[ImageFormatByte::jpegSize] = key / 3;
    dataset[ImageFormatByte::jpegGrade] = kGradeByte[key % 3];
    if (setLockByte) {
        dataset[ImageFormatByte::formatLock] = 1;
    }
    dataset[ImageFormatByte::fileFormatCopy] = dataset[ImageFormatByte::fileFormat];
    return true;
}

std::string decodePtpString(const uint8_t* data, size_t size) {
    std::string text;
    size_t offset = 1;
    while (const auto unit = readLittleEndian(data, size, offset, 2)) {
        offset += 2;
        if (*unit == 0) {
            break;
        }
        uint32_t codePoint = static_cast<uint32_t>(*unit);
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            const auto low = readLittleEndian(data, size, offset, 2);
            if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                offset += 2;
                codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (*low - 0xDC00);
            } else {
                codePoint = 0xFFFD;
            }
        } else if (codePoint >= 0xDC00 && codePoint <= 0xDFFF) {
            codePoint = 0xFFFD;
        }
        appendUtf8(text, codePoint);
    }
    return text;
}

std::vector<uint8_t> encodePtpAsciiString(const std::string& text) {
    constexpr size_t kMaxUnits = 16;
    const size_t units = text.size() < kMaxUnits ? text.size() : kMaxUnits;
    std::vector<uint8_t> out;
    out.reserve(2 * units + 3);
    out.push_back(static_cast<uint8_t>(units + 1));
    for (size_t i = 0; i < units; ++i) {
        appendLittleEndian(out, static_cast<uint8_t>(text[i]), 2);
    }
    appendLittleEndian(out, 0, 2);
    return out;
}

std::optional<std::tm> parseCameraDateTime(const std::string& text) {
    constexpr size_t kLength = 15;
    constexpr size_t kSeparator = 8;
    if (text.size() != kLength || text[kSeparator] != 'T') {
        return std::nullopt;
    }
    const auto year = fixedDigits(text, 0, 4);
    const auto month = fixedDigits(text, 4, 2);
    const auto day = fixedDigits(text, 6, 2);
    const auto hour = fixedDigits(text, 9, 2);
    const auto minute = fixedDigits(text, 11, 2);
    const auto second = fixedDigits(text, 13, 2);
    if (!year || !month || !day || !hour || !minute || !second) {
        return std::nullopt;
    }
    // mktime would quietly roll an impossible field into a different, made-up date.
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    std::tm broken{};
    broken.tm_year = *year - 1900;
    broken.tm_mon = *month - 1;
    broken.tm_mday = *day;
    broken.tm_hour = *hour;
    broken.tm_min = *minute;
    broken.tm_sec = *second;
    // The camera shows wall-clock time, with daylight saving when it applies (that is how the
    // clock is written); let the C library decide whether it does.
    broken.tm_isdst = -1;
    return broken;
}

std::optional<std::string> formatCameraDateTime(int64_t time) {
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm local{};
    if (!toLocalTime(seconds, local)) {
        return std::nullopt;
    }
    char buffer[32];
    const size_t length = std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%S", &local);
    const std::string text(buffer, length);
    // Years outside 1000 to 9999 have no place in the camera's fixed-width form.
    if (!parseCameraDateTime(text)) {
        return std::nullopt;
    }
    return text;
}

}  // namespace Corvane::CameraController::Impl
