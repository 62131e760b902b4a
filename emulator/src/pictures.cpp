#include "pictures.hpp"

#include <turbojpeg.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "byte_writer.hpp"

namespace Corvane::CameraController::Emulator {

namespace Jpeg {

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

constexpr size_t kLiveViewFrameCount = 8;

// Offset just past SOI and a leading APP0 (JFIF) segment, so EXIF can take APP0's place.
size_t bodyStart(const Bytes& jpeg) {
    size_t pos = 2;
    if (jpeg.size() >= 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) {
        pos = 4 + ((jpeg[4] << 8) | jpeg[5]);
    }
    return pos;
}

void putBigEndian16(Bytes& out, size_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// TIFF structure of an EXIF segment: IFD0 with the orientation, IFD1 pointing at the
// thumbnail, then the thumbnail itself.
Bytes exifTiff(const Bytes& thumbnail) {
    Wire::ByteWriter w(80 + thumbnail.size());
    constexpr uint32_t kIfd0 = 8;
    constexpr uint32_t kIfd1 = kIfd0 + 2 + 12 + 4;
    constexpr uint32_t kThumb = kIfd1 + 2 + 3 * 12 + 4;
    w.u8('I').u8('I').u16(42).u32(kIfd0);
    w.u16(1).u16(0x0112).u16(3).u32(1).u32(1).u32(kIfd1);
    w.u16(3);
    w.u16(0x0103).u16(3).u32(1).u32(6);
    w.u16(0x0201).u16(4).u32(1).u32(kThumb);
    w.u16(0x0202).u16(4).u32(1).u32(static_cast<uint32_t>(thumbnail.size()));
    w.u32(0);
    w.raw(thumbnail.data(), thumbnail.size());
    return w.take();
}

}  // namespace

Bytes encode(const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
    TjHandle handle(tjInitCompress());
    if (!handle) {
        return {};
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int rc =
        tjCompress2(handle.get(), rgb, static_cast<int>(width), 0, static_cast<int>(height),
                    TJPF_RGB, &out, &outSize, TJSAMP_420, quality, TJFLAG_FASTDCT);
    Bytes result;
    if (rc == 0 && out != nullptr) {
        result.assign(out, out + outSize);
    }
    tjFree(out);
    return result;
}

Bytes renderScene(uint32_t width, uint32_t height, double phase) {
    Bytes rgb(static_cast<size_t>(width) * height * 3);
    const uint32_t horizon = height * 3 / 5;
    const double sunX = width * 0.7;
    const double sunY = height * 0.25;
    const double sunR2 = std::pow(height * 0.08, 2);
    const uint32_t barX = static_cast<uint32_t>(phase * width) % (width ? width : 1);
    const uint32_t barWidth = width / 16 + 1;
    uint8_t* p = rgb.data();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            const double dx = x - sunX;
            const double dy = y - sunY;
            if (dx * dx + dy * dy < sunR2) {
                p[0] = 255, p[1] = 220, p[2] = 90;
            } else if (y < horizon) {
                p[0] = static_cast<uint8_t>(90 + 80 * y / horizon);
                p[1] = static_cast<uint8_t>(140 + 60 * y / horizon);
                p[2] = 235;
            } else {
                const bool stripe = ((x / 24 + y / 24) & 1) != 0;
                p[0] = stripe ? 70 : 60;
                p[1] = static_cast<uint8_t>(stripe ? 140 : 120);
                p[2] = 50;
            }
            if (x >= barX && x < barX + barWidth && y >= horizon) {
                p[0] = 200, p[1] = 40, p[2] = 40;
            }
        }
    }
    return rgb;
}

Bytes assembleWithThumbnail(const Bytes& body, const Bytes& thumbnail, const std::string& comment) {
    const Bytes tiff = exifTiff(thumbnail);
    Bytes out;
    out.reserve(body.size() + tiff.size() + comment.size() + 32);
    out.push_back(0xFF);
    out.push_back(0xD8);
    out.push_back(0xFF);
    out.push_back(0xE1);
    putBigEndian16(out, 2 + 6 + tiff.size());
    static const char kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), kExif, kExif + 6);
    out.insert(out.end(), tiff.begin(), tiff.end());
    if (!comment.empty()) {
        const size_t n = std::min<size_t>(comment.size(), 60000);
        out.push_back(0xFF);
        out.push_back(0xFE);
        putBigEndian16(out, 2 + n);
        out.insert(out.end(), comment.begin(), comment.begin() + static_cast<long>(n));
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool extractThumbnail(const uint8_t* file, size_t size, Bytes& thumbnail) {
    if (size < 4 || file[0] != 0xFF || file[1] != 0xD8) {
        return false;
    }
    size_t pos = 2;
    while (pos + 4 <= size && file[pos] == 0xFF && file[pos + 1] != 0xDA) {
        const size_t length = (file[pos + 2] << 8) | file[pos + 3];
        if (length < 2 || pos + 2 + length > size) {
            return false;
        }
        const uint8_t* seg = file + pos + 4;
        const size_t segSize = length - 2;
        if (file[pos + 1] == 0xE1 && segSize > 6 + 8 && std::memcmp(seg, "Exif\0\0", 6) == 0) {
            const uint8_t* tiff = seg + 6;
            const size_t tiffSize = segSize - 6;
            const size_t ifd0 = Wire::readU32(tiff + 4);
            if (ifd0 + 2 > tiffSize) {
                return false;
            }
            const size_t n0 = Wire::readU16(tiff + ifd0);
            const size_t nextAt = ifd0 + 2 + 12 * n0;
            if (nextAt + 4 > tiffSize) {
                return false;
            }
            const size_t ifd1 = Wire::readU32(tiff + nextAt);
            if (ifd1 == 0 || ifd1 + 2 > tiffSize) {
                return false;
            }
            uint32_t offset = 0;
            uint32_t length1 = 0;
            const size_t n1 = Wire::readU16(tiff + ifd1);
            for (size_t i = 0; i < n1 && ifd1 + 2 + 12 * (i + 1) <= tiffSize; ++i) {
                const uint8_t* entry = tiff + ifd1 + 2 + 12 * i;
                if (Wire::readU16(entry) == 0x0201) {
                    offset = Wire::readU32(entry + 8);
                } else if (Wire::readU16(entry) == 0x0202) {
                    length1 = Wire::readU32(entry + 8);
                }
            }
            if (offset == 0 || static_cast<uint64_t>(offset) + length1 > tiffSize) {
                return false;
            }
            thumbnail.assign(tiff + offset, tiff + offset + length1);
            return true;
        }
        pos += 2 + length;
    }
    return false;
}

bool dimensions(const uint8_t* file, size_t size, uint32_t& width, uint32_t& height) {
    TjHandle handle(tjInitDecompress());
    int w = 0;
    int h = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (!handle || tjDecompressHeader3(handle.get(), file, static_cast<unsigned long>(size), &w, &h,
                                       &subsampling, &colorspace) != 0) {
        return false;
    }
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    return true;
}

}  // namespace Jpeg

std::pair<uint32_t, uint32_t> PictureFactory::stillDimensions(uint8_t sizeClass) {
    switch (sizeClass) {
        case 0:
            return {1920, 1280};
        case 1:
            return {1440, 960};
        case 2:
            return {960, 640};
        default:
            return {640, 428};
    }
}

const std::vector<SharedBytes>& PictureFactory::liveViewFrames(uint16_t width, uint16_t height) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& frames = frames_[{width, height}];
    if (frames.empty()) {
        for (size_t i = 0; i < Jpeg::kLiveViewFrameCount; ++i) {
            const double phase = static_cast<double>(i) / Jpeg::kLiveViewFrameCount;
            const Bytes rgb = Jpeg::renderScene(width, height, phase);
            frames.push_back(
                std::make_shared<const Bytes>(Jpeg::encode(rgb.data(), width, height, 70)));
        }
    }
    return frames;
}

SharedBytes PictureFactory::thumbnail() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thumbnail_) {
        const Bytes rgb = Jpeg::renderScene(kThumbnailWidth, kThumbnailHeight, 0.3);
        thumbnail_ = std::make_shared<const Bytes>(
            Jpeg::encode(rgb.data(), kThumbnailWidth, kThumbnailHeight, 80));
    }
    return thumbnail_;
}

const PictureFactory::Encoded& PictureFactory::encodedStill(uint8_t sizeClass, uint8_t grade) {
    auto it = stills_.find({sizeClass, grade});
    if (it == stills_.end()) {
        const auto [w, h] = stillDimensions(sizeClass);
        const int quality = grade >= 2 ? 95 : grade == 1 ? 85 : 70;
        const Bytes rgb = Jpeg::renderScene(w, h, 0.3);
        const Bytes jpeg = Jpeg::encode(rgb.data(), w, h, quality);
        const size_t start = jpeg.empty() ? 0 : Jpeg::bodyStart(jpeg);
        Encoded encoded{Bytes(jpeg.begin() + static_cast<long>(start), jpeg.end()), w, h};
        it = stills_.emplace(std::make_pair(sizeClass, grade), std::move(encoded)).first;
    }
    return it->second;
}

StillPicture PictureFactory::still(uint8_t sizeClass, uint8_t grade, const std::string& label) {
    const SharedBytes thumb = thumbnail();
    std::lock_guard<std::mutex> lock(mutex_);
    const Encoded& encoded = encodedStill(sizeClass > 3 ? 3 : sizeClass, grade);
    StillPicture picture;
    picture.file =
        std::make_shared<const Bytes>(Jpeg::assembleWithThumbnail(encoded.main, *thumb, label));
    picture.thumbnail = thumb;
    picture.width = encoded.width;
    picture.height = encoded.height;
    return picture;
}

}  // namespace Corvane::CameraController::Emulator
