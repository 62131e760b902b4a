// Real JPEG pictures for live view and captured stills, encoded with libjpeg-turbo.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "transaction.hpp"

namespace Corvane::CameraController::Emulator {

struct StillPicture {
    SharedBytes file;       ///< whole JPEG file, EXIF thumbnail included
    SharedBytes thumbnail;  ///< the embedded thumbnail, a JPEG of its own
    uint32_t width = 0;
    uint32_t height = 0;
};

constexpr uint32_t kThumbnailWidth = 160;
constexpr uint32_t kThumbnailHeight = 120;

/// Renders and encodes pictures once and hands out shared bytes afterwards. Thread-safe.
class PictureFactory {
public:
    /// A ring of live view frames of the given size, encoded on first use.
    const std::vector<SharedBytes>& liveViewFrames(uint16_t width, uint16_t height);
    /// A still of JPEG size class 0 (large) to 3 (extra small) and grade 2 best, 1 better,
    /// 0 good; `label` goes into a comment segment so that each shot's bytes differ.
    StillPicture still(uint8_t sizeClass, uint8_t grade, const std::string& label);
    /// The thumbnail every still carries.
    SharedBytes thumbnail();

    static std::pair<uint32_t, uint32_t> stillDimensions(uint8_t sizeClass);

private:
    struct Encoded {
        Bytes main;  ///< the picture without its JFIF header
        uint32_t width;
        uint32_t height;
    };
    const Encoded& encodedStill(uint8_t sizeClass, uint8_t grade);

    std::mutex mutex_;
    std::map<std::pair<uint16_t, uint16_t>, std::vector<SharedBytes>> frames_;
    std::map<std::pair<uint8_t, uint8_t>, Encoded> stills_;
    SharedBytes thumbnail_;
};

namespace Jpeg {

/// Encodes packed RGB; empty on failure.
Bytes encode(const uint8_t* rgb, uint32_t width, uint32_t height, int quality);
/// A landscape with a bar whose position depends on `phase` (0..1).
Bytes renderScene(uint32_t width, uint32_t height, double phase);
/// Builds SOI, an EXIF segment carrying `thumbnail`, a comment, then `body` (the rest of a
/// JPEG after its SOI and JFIF segment).
Bytes assembleWithThumbnail(const Bytes& body, const Bytes& thumbnail, const std::string& comment);
/// Finds the thumbnail of an EXIF segment; false when there is none.
bool extractThumbnail(const uint8_t* file, size_t size, Bytes& thumbnail);
/// Width and height from a JPEG header; false when it is not a decodable JPEG.
bool dimensions(const uint8_t* file, size_t size, uint32_t& width, uint32_t& height);

}  // namespace Jpeg

}  // namespace Corvane::CameraController::Emulator
