// Downloading camera images into a folder: safe names, progress, no partial files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include <corvane/camera_controller.hpp>

#include "json.hpp"

namespace camctl {

namespace cc = Corvane::CameraController;

struct DownloadedFile {
    std::filesystem::path path;
    uint64_t size = 0;
};

/// Downloads `image` into `folder` (created if needed) under its sanitised name. Shows a progress
/// bar when standard error is a terminal. Throws CameraError when the camera fails or delivers a
/// different number of bytes than it announced, Interrupted on Ctrl-C, LocalFileError on a
/// local write failure; in each case no file is left under the final name.
DownloadedFile downloadImage(const cc::CameraImage& image, const std::filesystem::path& folder);

/// The name a downloaded image gets before any "-N" suffix.
std::string localNameFor(const cc::CameraImage& image);

}  // namespace camctl
