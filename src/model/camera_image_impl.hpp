// The library's image handle.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "corvane/camera_controller/camera_image.hpp"
#include "model/image_operations.hpp"

namespace Corvane::CameraController::Impl {

/// An image as listed by an adapter, whose image operations it forwards to. Everything but the
/// valid flag is fixed at construction.
/// The adapter is held strongly so that the handle can still report failures after the device
/// is gone; the storage is held weakly so that images do not keep a removed card alive.
class CameraImageImpl : public CameraImage {
public:
    /// `storage` is empty for an image in the camera's transfer buffer. `adapter` may be null
    /// only in tests; camera operations then fail with "camera object is deleted".
    CameraImageImpl(std::shared_ptr<ImageOperations> adapter, std::weak_ptr<CameraStorage> storage,
                    std::string id, std::string name, uint64_t size, ImageFormat format,
                    bool hasThumbnail, int64_t dateTime);

    const std::string& getId() const override { return id; }
    const std::string& getName() const override { return name; }
    uint64_t getSize() const override { return size; }
    ImageType getType() const override;
    ImageFormat getFormat() const override { return format; }
    bool hasThumbnail() const override { return thumbnail; }
    int64_t getDateTime() const override { return dateTime; }
    bool isValid() const override { return valid.load(); }
    std::shared_ptr<const CameraStorage> getStorage() const override { return storage.lock(); }
    /// Forwarded to the adapter's getImageData with this image.
    Response getData(std::ostream& output) const override;
    /// Forwarded to the adapter's getImageThumbnail with this image.
    Response getThumbnail(std::ostream& output) const override;
    /// Forwarded to the adapter's deleteImage with this image.
    Response deleteData() const override;

    /// Marks the image as deleted or vanished. Never undone.
    void invalidate() { valid.store(false); }
    /// The storage for library-side updates; empty as for getStorage().
    std::shared_ptr<CameraStorage> lockStorage() const { return storage.lock(); }

    /// The ImageType of `format`.
    static ImageType typeOf(ImageFormat format);

private:
    const std::shared_ptr<ImageOperations> adapter;
    const std::weak_ptr<CameraStorage> storage;
    const std::string id;
    const std::string name;
    const uint64_t size;
    const ImageFormat format;
    const bool thumbnail;
    std::atomic<bool> valid{true};
    const int64_t dateTime;
};

}  // namespace Corvane::CameraController::Impl
