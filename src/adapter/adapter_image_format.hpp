// Image identity rules: the ImageFormat of an MTP object and the handle behind an image id.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>

#include "corvane/camera_controller/image_types.hpp"

namespace Corvane::CameraController::Impl {

namespace ObjectFormat {
constexpr uint16_t Undefined = 0x3000;
constexpr uint16_t Association = 0x3001;
constexpr uint16_t Dpof = 0x3006;
constexpr uint16_t Avi = 0x300A;
constexpr uint16_t Mov = 0x300D;
constexpr uint16_t UnknownImage = 0x3800;
constexpr uint16_t ExifJpeg = 0x3801;
constexpr uint16_t Jfif = 0x3808;
constexpr uint16_t Tiff = 0x380D;
constexpr uint16_t Mp4 = 0xB982;
}  // namespace ObjectFormat

/// The file name from its last "." on, lower-cased; empty when the name has no ".".
inline std::string lowerExtension(const std::string& filename) {
    const size_t dot = filename.rfind('.');
    if (dot == std::string::npos) {
        return {};
    }
    std::string extension = filename.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

/// Raw files come as undefined or unknown-image objects; only their extension tells them apart.
inline ImageFormat imageFormatOf(uint16_t objectFormat, const std::string& filename) {
    switch (objectFormat) {
        case ObjectFormat::ExifJpeg:
            return ImageFormat::JPEG;
        case ObjectFormat::Tiff:
            return ImageFormat::TIFF;
        case ObjectFormat::Dpof:
            return ImageFormat::DPOF;
        case ObjectFormat::Undefined:
        case ObjectFormat::UnknownImage: {
            const std::string extension = lowerExtension(filename);
            if (extension == ".qrw") {
                return ImageFormat::QRW;
            }
            if (extension == ".dng") {
                return ImageFormat::DNG;
            }
            return ImageFormat::Unknown;
        }
        case ObjectFormat::Mp4:
            return ImageFormat::MP4;
        case ObjectFormat::Mov:
            return ImageFormat::MOV;
        case ObjectFormat::Avi:
            return ImageFormat::AVI;
        default:
            return ImageFormat::Unknown;
    }
}

/// The decimal number in `text` if it is one that fits 32 bits (an object handle or a storage
/// id); nothing otherwise.
inline std::optional<uint32_t> parseU32(const std::string& text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFULL) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace Corvane::CameraController::Impl
