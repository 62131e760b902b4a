// Little-endian dataset writer for the camera's side of the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::CameraController::Emulator::Wire {

/// Appends little-endian integers and PTP strings to a growing byte vector.
class ByteWriter {
public:
    ByteWriter() = default;
    explicit ByteWriter(size_t reserve) { bytes_.reserve(reserve); }

    ByteWriter& u8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    ByteWriter& u16(uint16_t v) { return little(v, 2); }
    ByteWriter& u32(uint32_t v) { return little(v, 4); }
    ByteWriter& u64(uint64_t v) { return little(v, 8); }
    ByteWriter& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    ByteWriter& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    ByteWriter& raw(const uint8_t* data, size_t size) {
        bytes_.insert(bytes_.end(), data, data + size);
        return *this;
    }
    /// PTP string: a count byte (UTF-16 units including the terminator, 0 for ""), then the
    /// UTF-16LE units. Text longer than 254 units is cut, as the count is one byte.
    ByteWriter& string(const std::string& utf8);
    /// PTP array of 16-bit values: u32 count, then the values.
    ByteWriter& array16(const std::vector<uint16_t>& values);
    ByteWriter& array32(const std::vector<uint32_t>& values);

    size_t size() const { return bytes_.size(); }
    std::vector<uint8_t>& bytes() { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    ByteWriter& little(uint64_t v, int width) {
        for (int i = 0; i < width; ++i) {
            bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
        return *this;
    }

    std::vector<uint8_t> bytes_;
};

/// UTF-8 to UTF-16 code units; malformed sequences become U+FFFD.
std::u16string utf8ToUtf16(const std::string& utf8);
/// UTF-16 code units to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const std::u16string& utf16);

/// Reads a PTP string at `data[0..size)`; nullopt-like false when it runs past the end.
bool readPtpString(const uint8_t* data, size_t size, std::string& text, size_t& consumed);

inline uint16_t readU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t readU64(const uint8_t* p) {
    return static_cast<uint64_t>(readU32(p)) | (static_cast<uint64_t>(readU32(p + 4)) << 32);
}
inline void putU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

}  // namespace Corvane::CameraController::Emulator::Wire
