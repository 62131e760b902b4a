#include "formatting.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "display_controls.hpp"

namespace camctl {

std::string storageTypeName(cc::StorageType type) {
    switch (type) {
        case cc::StorageType::FixedROM:
            return "FixedROM";
        case cc::StorageType::RemovableROM:
            return "RemovableROM";
        case cc::StorageType::FixedRAM:
            return "FixedRAM";
        case cc::StorageType::RemovableRAM:
            return "RemovableRAM";
        case cc::StorageType::Unknown:
            break;
    }
    return "Unknown";
}

std::string permissionName(cc::StoragePermission permission) {
    switch (permission) {
        case cc::StoragePermission::ReadWrite:
            return "ReadWrite";
        case cc::StoragePermission::ReadOnly:
            return "ReadOnly";
        case cc::StoragePermission::ReadOnlyWithDeletion:
            return "ReadOnlyWithDeletion";
        case cc::StoragePermission::Unknown:
            break;
    }
    return "Unknown";
}

std::string listingStateName(cc::ListingState state) {
    switch (state) {
        case cc::ListingState::Idle:
            return "Idle";
        case cc::ListingState::Running:
            return "Running";
        case cc::ListingState::Paused:
            return "Paused";
        case cc::ListingState::Complete:
            return "Complete";
        case cc::ListingState::Stopped:
            return "Stopped";
        case cc::ListingState::Failed:
            return "Failed";
    }
    return "Unknown";
}

std::string captureStateName(cc::CaptureState state) {
    switch (state) {
        case cc::CaptureState::Executing:
            return "Executing";
        case cc::CaptureState::Complete:
            return "Complete";
        case cc::CaptureState::Unknown:
            break;
    }
    return "Unknown";
}

std::string imageFormatName(cc::ImageFormat format) {
    switch (format) {
        case cc::ImageFormat::JPEG:
            return "JPEG";
        case cc::ImageFormat::TIFF:
            return "TIFF";
        case cc::ImageFormat::DPOF:
            return "DPOF";
        case cc::ImageFormat::QRW:
            return "QRW";
        case cc::ImageFormat::DNG:
            return "DNG";
        case cc::ImageFormat::MP4:
            return "MP4";
        case cc::ImageFormat::MOV:
            return "MOV";
        case cc::ImageFormat::AVI:
            return "AVI";
        case cc::ImageFormat::Unknown:
            break;
    }
    return "Unknown";
}

std::string formatLocalTime(int64_t seconds) {
    if (seconds == 0) {
        return "-";
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return "-";
    }
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

std::string timestampNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t time = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&time, &utc);
    char buffer[40];
    const size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(buffer + n, sizeof buffer - n, ".%03dZ", static_cast<int>(millis));
    return buffer;
}

std::string formatNumber(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

std::string printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t control = displayControlAt(text, i).length;
        const auto c = static_cast<unsigned char>(text[i]);
        out += control > 0 || c < 0x20 || c == 0x7F ? '?' : text[i];
        i += control > 0 ? control : 1;
    }
    return out;
}

std::string storageIdOf(const cc::CameraImage& image) {
    const auto storage = image.getStorage();
    return storage ? storage->getId() : std::string();
}

Json imageJson(const cc::CameraImage& image) {
    Json json = Json::object();
    json.set("id", image.getId());
    json.set("name", image.getName());
    json.set("size", image.getSize());
    json.set("format", imageFormatName(image.getFormat()));
    json.set("date",
             image.getDateTime() == 0 ? Json() : Json(formatLocalTime(image.getDateTime())));
    json.set("dateEpoch", image.getDateTime());
    const std::string storage = storageIdOf(image);
    json.set("storage", storage.empty() ? Json() : Json(storage));
    return json;
}

Json storageJson(const cc::CameraStorage& storage) {
    Json json = Json::object();
    json.set("id", storage.getId());
    json.set("available", storage.isAvailable());
    json.set("type", storageTypeName(storage.getType()));
    json.set("permission", permissionName(storage.getPermission()));
    json.set("capacity", storage.getMaxCapacity());
    json.set("freeBytes", storage.getFreeSpaceInBytes());
    json.set("freeImages", storage.getFreeSpaceInImages());
    json.set("listing", listingStateName(storage.getListingState()));
    json.set("images", storage.getImages().size());
    return json;
}

Json captureJson(const cc::Capture& capture) {
    Json json = Json::object();
    json.set("id", capture.getId());
    const auto* method = capture.getMethod();
    json.set("method", method != nullptr && method->hasValue() ? Json(method->getValue().toString())
                                                               : Json());
    json.set("state", captureStateName(capture.getState()));
    return json;
}

}  // namespace camctl
