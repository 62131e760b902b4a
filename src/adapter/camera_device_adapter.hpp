// The interface between a camera device front and the protocol spoken over one transport.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

#include "corvane/camera_controller/point.hpp"
#include "corvane/camera_controller/response.hpp"
#include "model/image_operations.hpp"

namespace Corvane::CameraController {

class CameraImage;
class CameraStorage;
class CameraDeviceSetting;
class CaptureSetting;

namespace Impl {
class ListImagesResponse;
}

/// One transport's view of a camera. The device front calls connect/disconnect/isConnected on
/// the adapter of the interface the application names, and every other operation on the first
/// connected adapter. All operations run on the caller's thread and return failures as
/// Responses; they may block for as long as the camera takes (a capture start up to about a
/// minute), never without bound.
class CameraDeviceAdapter : public Impl::ImageOperations,
                            public std::enable_shared_from_this<CameraDeviceAdapter> {
public:
    CameraDeviceAdapter() = default;
    CameraDeviceAdapter(const CameraDeviceAdapter&) = delete;
    CameraDeviceAdapter& operator=(const CameraDeviceAdapter&) = delete;
    virtual ~CameraDeviceAdapter() = default;

    virtual Response connect() = 0;
    virtual Response disconnect() = 0;
    virtual bool isConnected() const = 0;

    virtual Response focus(int32_t adjustment) = 0;
    virtual Response focus(const Point& point) = 0;
    virtual Response focus() = 0;

    virtual StartCaptureResponse startCapture(const Point& focusPoint) = 0;
    virtual StartCaptureResponse startCapture(bool withFocus) = 0;
    virtual Response stopCapture() = 0;

    virtual Response startLiveView() = 0;
    virtual Response stopLiveView() = 0;

    /// Starts the background listing of one storage.
    virtual Impl::ListImagesResponse listImages(std::shared_ptr<CameraStorage> storage) = 0;
    /// Starts the background listing of every available storage.
    virtual Response listImages() = 0;

    /// Reached through the image handle: writes the image's bytes to `out` as they arrive.
    virtual Response getImageData(const CameraImage& image, std::ostream& out) = 0;
    virtual Response getImageThumbnail(const CameraImage& image, std::ostream& out) = 0;
    virtual Response deleteImage(const CameraImage& image) = 0;

    virtual Response getCameraDeviceSettings(const std::vector<CameraDeviceSetting*>& settings) = 0;
    virtual Response setCameraDeviceSettings(
        const std::vector<const CameraDeviceSetting*>& settings) = 0;
    virtual Response getCaptureSettings(const std::vector<CaptureSetting*>& settings) = 0;
    virtual Response setCaptureSettings(const std::vector<const CaptureSetting*>& settings) = 0;
};

}  // namespace Corvane::CameraController
