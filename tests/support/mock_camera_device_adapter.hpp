// gmock double of the adapter interface, for tests of the device front.
#pragma once

#include <gmock/gmock.h>

#include <ostream>

#include "adapter/camera_device_adapter.hpp"
#include "corvane/camera_controller/camera_image.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "model/list_images_response.hpp"

namespace Corvane::CameraController::Testing {

class MockCameraDeviceAdapter : public CameraDeviceAdapter {
public:
    MOCK_METHOD(Response, connect, (), (override));
    MOCK_METHOD(Response, disconnect, (), (override));
    MOCK_METHOD(bool, isConnected, (), (const, override));
    MOCK_METHOD(Response, focus, (int32_t), (override));
    MOCK_METHOD(Response, focus, (const Point&), (override));
    MOCK_METHOD(Response, focus, (), (override));
    MOCK_METHOD(StartCaptureResponse, startCapture, (const Point&), (override));
    MOCK_METHOD(StartCaptureResponse, startCapture, (bool), (override));
    MOCK_METHOD(Response, stopCapture, (), (override));
    MOCK_METHOD(Response, startLiveView, (), (override));
    MOCK_METHOD(Response, stopLiveView, (), (override));
    MOCK_METHOD(Impl::ListImagesResponse, listImages, (std::shared_ptr<CameraStorage>), (override));
    MOCK_METHOD(Response, listImages, (), (override));
    MOCK_METHOD(Response, getImageData, (const CameraImage&, std::ostream&), (override));
    MOCK_METHOD(Response, getImageThumbnail, (const CameraImage&, std::ostream&), (override));
    MOCK_METHOD(Response, deleteImage, (const CameraImage&), (override));
    MOCK_METHOD(Response, getCameraDeviceSettings, (const std::vector<CameraDeviceSetting*>&),
                (override));
    MOCK_METHOD(Response, setCameraDeviceSettings, (const std::vector<const CameraDeviceSetting*>&),
                (override));
    MOCK_METHOD(Response, getCaptureSettings, (const std::vector<CaptureSetting*>&), (override));
    MOCK_METHOD(Response, setCaptureSettings, (const std::vector<const CaptureSetting*>&),
                (override));
};

}  // namespace Corvane::CameraController::Testing
