// Reads that several commands and the web server make the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <corvane/camera_controller.hpp>

namespace camctl {

namespace cc = Corvane::CameraController;

/// Orders `images` by storage and then by id (numerically).
void sortImages(std::vector<std::shared_ptr<const cc::CameraImage>>& images);

/// A snapshot of the camera's images, by storage and then by id (numerically).
std::vector<std::shared_ptr<const cc::CameraImage>> imagesInOrder(const cc::CameraDevice& camera);

/// The camera's clock in seconds since 1970-01-01. Throws CameraError when it cannot be read.
int64_t readCameraTime(cc::CameraDevice& camera);

}  // namespace camctl
