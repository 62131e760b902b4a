// Decoders of the standard PTP datasets. Pure functions over received bytes: they never read
// past `size`, and a dataset shorter than its own counts or string lengths is a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mtp/mtp_device.hpp"

namespace Corvane::CameraController::Impl {

/// Decoded DeviceInfo dataset (GetDeviceInfo, 0x1001).
struct MtpDeviceInfo {
    uint16_t standardVersion = 0;
    uint32_t vendorExtensionId = 0;
    uint16_t vendorExtensionVersion = 0;
    std::string vendorExtensionDesc;
    uint16_t functionalMode = 0;
    std::vector<uint16_t> operationsSupported;
    std::vector<uint16_t> eventsSupported;
    std::vector<uint16_t> devicePropertiesSupported;
    std::vector<uint16_t> captureFormats;
    std::vector<uint16_t> imageFormats;
    std::string manufacturer;
    std::string model;
    std::string deviceVersion;
    std::string serialNumber;
    /// False when the dataset stopped (or broke off) after OperationsSupported; the fields
    /// after that list are then filled only as far as they were whole.
    bool complete = false;
};

/// Bounds-checked little-endian reader over a received dataset. Every read either consumes
/// the whole field and returns true, or consumes nothing and returns false. A null `data`
/// reads as an empty dataset.
class MtpDataReader {
public:
    MtpDataReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t offset() const { return offset_; }
    size_t remaining() const { return size_ - offset_; }

    bool skip(size_t count);
    bool readU16(uint16_t& value);
    bool readU32(uint32_t& value);
    bool readU64(uint64_t& value);
    /// A PTP string (length byte N including the NUL, then N UTF-16LE units) as UTF-8.
    bool readString(std::string& value);
    /// u32 count, then count elements.
    bool readU16Array(std::vector<uint16_t>& values);
    bool readU32Array(std::vector<uint32_t>& values);

private:
    uint64_t readLittleEndian(size_t width);

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

/// UTF-16 code units to UTF-8. Stops at the first NUL unit; a lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(const std::vector<uint16_t>& units);

/// Decodes one PTP string at the start of `data`; `consumed` (optional) receives its length
/// in bytes (1 + 2N). nullopt when the string is longer than the data.
std::optional<std::string> decodeMtpString(const uint8_t* data, size_t size,
                                           size_t* consumed = nullptr);

/// Reads "YYYYMMDDThhmmss" (anything after the seconds is ignored) as local time without
/// daylight saving and returns seconds since 1970. 0 for an empty text; nullopt when the text
/// does not match the pattern.
std::optional<int64_t> parseMtpDate(const std::string& text);

/// DeviceInfo. Succeeds when the dataset is whole up to and including OperationsSupported;
/// the later fields are optional (see MtpDeviceInfo::complete).
std::optional<MtpDeviceInfo> decodeDeviceInfo(const uint8_t* data, size_t size);

/// StorageIDs and ObjectHandles: u32 count followed by count u32 values.
std::optional<std::vector<uint32_t>> decodeU32Array(const uint8_t* data, size_t size);

/// StorageInfo; storageId is left 0 for the caller to fill in.
std::optional<MtpStorageInfo> decodeStorageInfo(const uint8_t* data, size_t size);

/// ObjectInfo; objectHandle is left 0 for the caller to fill in. A date that does not match
/// the date pattern reads as 0 like an empty one.
std::optional<MtpObjectInfo> decodeObjectInfo(const uint8_t* data, size_t size);

}  // namespace Corvane::CameraController::Impl
