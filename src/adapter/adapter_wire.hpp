// Pure decoders and encoders of the vendor datasets: bytes in, values out, no I/O. Every
// decoder checks the length first and reports a dataset too short for it as nullopt, so that
// camera data can never be read past its end (and the decoders can be fuzzed on their own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::CameraController::Impl {

/// Little-endian unsigned value of `width` (1 to 8) bytes at `offset`, or nullopt when the data
/// ends before it.
std::optional<uint64_t> readLittleEndian(const uint8_t* data, size_t size, size_t offset,
                                         size_t width);
/// Appends `value` as `width` little-endian bytes.
void appendLittleEndian(std::vector<uint8_t>& out, uint64_t value, size_t width);

/// Size in bytes of one value of a DevicePropDesc data type (the PTP integer types); 0 for the
/// others.
size_t propDescValueSize(uint16_t dataType);

/// A DevicePropDesc as the setting readers use it. Values are read with the width the property
/// is known to have, whatever the data type says; the form flag is not examined.
struct PropDescView {
    const uint8_t* data = nullptr;
    size_t size = 0;

    /// The data type at byte 2.
    std::optional<uint16_t> dataType() const;
    /// The current value (at 5 + s) read with `width` bytes.
    std::optional<uint64_t> current(size_t width) const;
    /// The enumeration: a u16 count at 6 + 2s, then `count` values of `width` bytes from 8 + 2s.
    /// Nullopt when the data holds fewer values than the count announces.
    std::optional<std::vector<uint64_t>> enumeration(size_t width) const;
};

/// Battery level from the DevicePropDesc of 0x5001: the byte where the type puts the current
/// value (offset 5 + s, or 5 for types without a size).
std::optional<uint8_t> decodeBatteryLevel(const uint8_t* data, size_t size);

/// Live view geometry from the value of 0xD009.
struct LiveViewGeometry {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t focusWidth = 0;
    uint16_t focusHeight = 0;
};
/// Image size only (bytes 4 to 7); needs 8 bytes.
std::optional<LiveViewGeometry> decodeLiveViewSize(const uint8_t* data, size_t size);
/// Image and focus-area size (bytes 4 to 7 and 12 to 15); needs 16 bytes.
std::optional<LiveViewGeometry> decodeLiveViewGeometry(const uint8_t* data, size_t size);

/// The 8-byte value of 0xD036 placing the autofocus point at (x, y) live-view pixels.
std::vector<uint8_t> encodeAutofocusPoint(uint16_t x, uint16_t y);

/// Byte positions of the image-format dataset 0xD01B.
namespace ImageFormatByte {
constexpr size_t fileFormat = 4;
constexpr size_t fileFormatCopy = 5;
constexpr size_t jpegSize = 6;
constexpr size_t jpegGrade = 7;
constexpr size_t rawKind = 8;
constexpr size_t formatLock = 9;
}  // namespace ImageFormatByte

/// Whether the dataset allows raw and JPEG together only (header word >= 6 and byte 9 == 3).
/// Nullopt when the data is too short to tell.
std::optional<bool> isImageFormatLocked(const uint8_t* data, size_t size);
/// The StillImageCaptureFormat key (0 to 5; 6 for a file format the catalogue lacks).
std::optional<uint8_t> decodeCaptureFormatKey(const uint8_t* data, size_t size);
/// The StillImageQuality key, 3 x size + grade (12 for a size beyond Extra Small).
std::optional<uint8_t> decodeQualityKey(const uint8_t* data, size_t size);
/// Changes the dataset for capture-format `key`; false (dataset untouched) when it is too
/// short. `setLockByte` is for the cameras that want byte 9 = 1 on every write.
bool applyCaptureFormatKey(std::vector<uint8_t>& dataset, uint8_t key, bool setLockByte);
/// Changes the dataset for quality `key`; false (dataset untouched) when it is too short.
bool applyQualityKey(std::vector<uint8_t>& dataset, uint8_t key, bool setLockByte);

/// The text of a PTP string: UTF-16LE units from byte 1 up to the first zero unit or the end
/// of the data (the count byte is not trusted), as UTF-8.
std::string decodePtpString(const uint8_t* data, size_t size);
/// A PTP string of the ASCII `text`: count byte (units + 1), the units, a zero unit. At most 16
/// units are taken.
std::vector<uint8_t> encodePtpAsciiString(const std::string& text);

/// Broken-down local time from a camera date text, exactly "YYYYMMDDThhmmss" with every field
/// in its calendar range; nullopt for anything else (short, cut, trailing characters, month 13).
/// Daylight saving is left for mktime to decide (tm_isdst -1).
std::optional<std::tm> parseCameraDateTime(const std::string& text);
/// The camera date text of `time` in local time; nullopt when the host cannot render it or the
/// year does not have exactly four digits.
std::optional<std::string> formatCameraDateTime(int64_t time);

}  // namespace Corvane::CameraController::Impl
