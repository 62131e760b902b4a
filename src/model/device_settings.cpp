#include "corvane/camera_controller/device_settings.hpp"

#include "common/classic_text.hpp"
#include "common/local_time.hpp"

#include <cstdio>
#include <ctime>

namespace Corvane::CameraController {

namespace {

// The C library's ctime form, built here because ctime itself writes past its 26-byte buffer
// (or fails) for years beyond 9999, and because it must not depend on the current locale.
std::string ctimeText(int64_t seconds) {
    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto time = static_cast<std::time_t>(seconds);
    if (static_cast<int64_t>(time) != seconds) {
        return {};
    }
    std::tm local{};
    const bool converted = Impl::toLocalTime(time, local);
    if (!converted || local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 ||
        local.tm_mon > 11) {
        return {};
    }
    char buffer[26];
    const long long year = 1900LL + local.tm_year;
    const int length = std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %lld\n",
                                     weekdays[local.tm_wday], months[local.tm_mon], local.tm_mday,
                                     local.tm_hour, local.tm_min, local.tm_sec, year);
    if (length < 0 || static_cast<size_t>(length) >= sizeof buffer) {
        return {};
    }
    return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

CameraTimeValue::CameraTimeValue(int64_t time) : time(time) {}

bool CameraTimeValue::operator==(const CameraDeviceSettingValue& other) const {
    const auto* same = dynamic_cast<const CameraTimeValue*>(&other);
    return same != nullptr && same->time == time;
}

std::string CameraTimeValue::toString() const {
    return ctimeText(time);
}

const std::string CameraTime::Name = "CameraTime";

CameraTime::CameraTime() : CameraDeviceSetting(Name) {}

CameraTime::CameraTime(int64_t time) : CameraDeviceSetting(Name, new CameraTimeValue(time)) {}

LiveViewSpecificationValue::LiveViewSpecificationValue(const LiveViewImage& image) : image(image) {}

bool LiveViewSpecificationValue::operator==(const CameraDeviceSettingValue& other) const {
    return &other == this;
}

std::string LiveViewSpecificationValue::toString() const {
    // Built in the classic locale: under a comma-decimal locale "%f" would make the
    // coordinates impossible to tell apart from their separators.
    std::string text = "Image: " + std::to_string(image.width) + "x" +
                       std::to_string(image.height) + ",FocusArea: ";
    for (const Point& corner : image.focusArea) {
        text +=
            "  (" + Impl::fixedSixDecimals(corner.x) + "," + Impl::fixedSixDecimals(corner.y) + ")";
    }
    return text;
}

const std::string LiveViewSpecification::Name = "LiveViewSpecification";

LiveViewSpecification::LiveViewSpecification() : CameraDeviceSetting(Name) {}

LiveViewSpecification::LiveViewSpecification(const LiveViewImage& image)
    : CameraDeviceSetting(Name, new LiveViewSpecificationValue(image)) {}

}  // namespace Corvane::CameraController
