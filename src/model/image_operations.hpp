// What an image handle asks of the camera that listed it.
#pragma once

#include <iosfwd>

#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController {

class CameraImage;

namespace Impl {

/// The camera side of an image handle's operations. Each call runs on the caller's thread,
/// returns failures as Responses and blocks for as long as the camera takes, never without
/// bound.
class ImageOperations {
public:
    ImageOperations() = default;
    ImageOperations(const ImageOperations&) = delete;
    ImageOperations& operator=(const ImageOperations&) = delete;
    virtual ~ImageOperations() = default;

    /// Writes the image's bytes to `out` as they arrive.
    virtual Response getImageData(const CameraImage& image, std::ostream& out) = 0;
    virtual Response getImageThumbnail(const CameraImage& image, std::ostream& out) = 0;
    virtual Response deleteImage(const CameraImage& image) = 0;
};

}  // namespace Impl
}  // namespace Corvane::CameraController
