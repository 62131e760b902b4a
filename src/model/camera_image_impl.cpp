#include "model/camera_image_impl.hpp"

#include <utility>

namespace Corvane::CameraController::Impl {

namespace {

Response ownerGone() {
    return Response(Result::Error,
                    std::make_shared<Error>(ErrorCode::Unknown, "camera object is deleted"));
}

}  // namespace

CameraImageImpl::CameraImageImpl(std::shared_ptr<ImageOperations> adapter,
                                 std::weak_ptr<CameraStorage> storage, std::string id,
                                 std::string name, uint64_t size, ImageFormat format,
                                 bool hasThumbnail, int64_t dateTime)
    : adapter(std::move(adapter)),
      storage(std::move(storage)),
      id(std::move(id)),
      name(std::move(name)),
      size(size),
      format(format),
      thumbnail(hasThumbnail),
      dateTime(dateTime) {}

ImageType CameraImageImpl::typeOf(ImageFormat format) {
    switch (format) {
        case ImageFormat::JPEG:
        case ImageFormat::TIFF:
        case ImageFormat::DPOF:
        case ImageFormat::QRW:
        case ImageFormat::DNG:
            return ImageType::StillImage;
        case ImageFormat::MP4:
        case ImageFormat::MOV:
        case ImageFormat::AVI:
            return ImageType::Movie;
        default:
            return ImageType::Unknown;
    }
}

ImageType CameraImageImpl::getType() const {
    return typeOf(format);
}

Response CameraImageImpl::getData(std::ostream& output) const {
    return adapter ? adapter->getImageData(*this, output) : ownerGone();
}

Response CameraImageImpl::getThumbnail(std::ostream& output) const {
    return adapter ? adapter->getImageThumbnail(*this, output) : ownerGone();
}

Response CameraImageImpl::deleteData() const {
    return adapter ? adapter->deleteImage(*this) : ownerGone();
}

}  // namespace Corvane::CameraController::Impl
