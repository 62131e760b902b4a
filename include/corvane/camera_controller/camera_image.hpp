// Handle of one image (file) on the camera.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/image_types.hpp"
#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController {

class CameraStorage;

/// An image on the camera, on a card or (after a capture without a card) in the camera's
/// transfer buffer. The getters never fail and keep their values after the image is deleted;
/// isValid() then turns false and the camera operations fail.
///
/// The getters are safe from any thread. getData, getThumbnail and deleteData talk to the camera
/// on the caller's thread and block until the transfer ends.
class CORVANE_API CameraImage {
public:
    CameraImage() = default;
    CameraImage(const CameraImage&) = default;
    CameraImage& operator=(const CameraImage&) = default;
    virtual ~CameraImage() = default;

    /// The decimal text of the image's object handle on the camera.
    virtual const std::string& getId() const = 0;
    /// The file name.
    virtual const std::string& getName() const = 0;
    /// The file size in bytes.
    virtual uint64_t getSize() const = 0;
    /// StillImage for JPEG, TIFF, DPOF, QRW and DNG; Movie for MP4, MOV and AVI; else Unknown.
    virtual ImageType getType() const = 0;
    virtual ImageFormat getFormat() const = 0;
    virtual bool hasThumbnail() const = 0;
    /// Capture time in seconds since 1970-01-01 (the camera's local clock); 0 when unknown.
    virtual int64_t getDateTime() const = 0;
    /// False once the image was deleted or vanished from the camera.
    virtual bool isValid() const = 0;
    /// The storage the image is on; empty for an image in the transfer buffer or once the
    /// storage object no longer exists.
    virtual std::shared_ptr<const CameraStorage> getStorage() const = 0;
    /// Downloads the file into `output` as it arrives. On failure the bytes written so far stay
    /// in `output`. A picture in the transfer buffer may be sent out of order; `output` is then
    /// moved within what was written, and a gap is filled with zero bytes, so any seekable
    /// stream works (one that cannot seek as long as the camera only moves forward).
    virtual Response getData(std::ostream& output) const = 0;
    /// Downloads the image's thumbnail into `output`.
    virtual Response getThumbnail(std::ostream& output) const = 0;
    /// Deletes the file on the camera; on success the image is removed from the lists and
    /// reports isValid() false.
    virtual Response deleteData() const = 0;
};

}  // namespace Corvane::CameraController
