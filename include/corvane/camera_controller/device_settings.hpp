// Settings of the camera device itself: its clock and the geometry of the live view image.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/point.hpp"
#include "corvane/camera_controller/setting.hpp"

namespace Corvane::CameraController {

/// Value of CameraTime: seconds since 1970-01-01 00:00:00 UTC.
class CORVANE_API CameraTimeValue : public CameraDeviceSettingValue {
public:
    explicit CameraTimeValue(int64_t time);
    CameraTimeValue(const CameraTimeValue&) = default;
    CameraTimeValue& operator=(const CameraTimeValue&) = default;

    /// Equal to another CameraTimeValue holding the same time.
    bool operator==(const CameraDeviceSettingValue& other) const override;
    /// The C library's ctime text of the time in local time, such as
    /// "Thu Jan  1 00:00:00 1970\n" (the newline is part of it); empty when the time cannot be
    /// rendered in that form.
    std::string toString() const override;
    int64_t get() const { return time; }

private:
    int64_t time;
};

/// The camera's clock. Read it with a default-constructed instance; write it with
/// CameraTime(seconds).
class CORVANE_API CameraTime : public CameraDeviceSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    CameraTime();
    /// A setting holding `time`, seconds since 1970-01-01 00:00:00 UTC.
    explicit CameraTime(int64_t time);

private:
    friend class Impl::CameraDeviceSettingAccess;

    static const std::string Name;
};

/// Geometry of the live view image. Copied by value.
struct CORVANE_API LiveViewImage {
    int32_t width = 0;   ///< pixels
    int32_t height = 0;  ///< pixels
    /// Corners of the focus area as fractions of the image width and height (0 is the left or
    /// top edge, 1 the right or bottom edge): top-left, top-right, bottom-right, bottom-left.
    std::array<Point, 4> focusArea{};
};

/// Value of LiveViewSpecification. Equality is identity: a value equals only itself, never a
/// distinct object with the same contents.
class CORVANE_API LiveViewSpecificationValue : public CameraDeviceSettingValue {
public:
    explicit LiveViewSpecificationValue(const LiveViewImage& image);
    LiveViewSpecificationValue(const LiveViewSpecificationValue&) = default;
    LiveViewSpecificationValue& operator=(const LiveViewSpecificationValue&) = default;

    bool operator==(const CameraDeviceSettingValue& other) const override;
    /// "Image: 720x480,FocusArea:   (0.250000,0.250000)  (0.750000,0.250000)  ..." with the
    /// four corners in order, coordinates with six decimals.
    std::string toString() const override;
    const LiveViewImage& get() const { return image; }

private:
    LiveViewImage image;
};

/// The live view geometry of the camera; read-only. Read it with a default-constructed instance.
class CORVANE_API LiveViewSpecification : public CameraDeviceSetting {
public:
    /// A setting without a value, to be filled by a camera read.
    LiveViewSpecification();

private:
    friend class Impl::CameraDeviceSettingAccess;
    explicit LiveViewSpecification(const LiveViewImage& image);

    static const std::string Name;
};

}  // namespace Corvane::CameraController
