// Names and JSON forms of the library's values, shared by the commands.
#pragma once

#include <cstdint>
#include <string>

#include <corvane/camera_controller.hpp>

#include "json.hpp"

namespace camctl {

namespace cc = Corvane::CameraController;

std::string storageTypeName(cc::StorageType type);
std::string permissionName(cc::StoragePermission permission);
std::string listingStateName(cc::ListingState state);
std::string captureStateName(cc::CaptureState state);
std::string imageFormatName(cc::ImageFormat format);

/// "2026-12-06 17:40:05" in local time, or "-" for 0 (unknown).
std::string formatLocalTime(int64_t seconds);
/// "2026-12-06T17:40:05.123Z", the time now, for event lines.
std::string timestampNow();

/// "2.5", "4", "0.25": seconds and the like without trailing zeros.
std::string formatNumber(double value);

/// Text that is safe to show on a terminal: control characters from the camera, and characters
/// that reorder the display (see DisplayControl), become '?'.
std::string printable(const std::string& text);

/// The storage id of an image, or "" for an image that is on no card.
std::string storageIdOf(const cc::CameraImage& image);

Json imageJson(const cc::CameraImage& image);
Json storageJson(const cc::CameraStorage& storage);
Json captureJson(const cc::Capture& capture);

}  // namespace camctl
