#include "camera_queries.hpp"

#include <algorithm>
#include <cstdlib>

#include "errors.hpp"
#include "formatting.hpp"

namespace camctl {

namespace {

uint64_t numericId(const std::string& id) {
    return std::strtoull(id.c_str(), nullptr, 10);
}

}  // namespace

std::vector<std::shared_ptr<const cc::CameraImage>> imagesInOrder(const cc::CameraDevice& camera) {
    using ImagePtr = std::shared_ptr<const cc::CameraImage>;
    const auto snapshot = camera.getImages().clone();
    std::vector<ImagePtr> images;
    for (size_t i = 0; i < snapshot->size(); ++i) {
        images.push_back(snapshot->get(i));
    }
    std::sort(images.begin(), images.end(), [](const ImagePtr& a, const ImagePtr& b) {
        const auto storageA = numericId(storageIdOf(*a));
        const auto storageB = numericId(storageIdOf(*b));
        return storageA != storageB ? storageA < storageB
                                    : numericId(a->getId()) < numericId(b->getId());
    });
    return images;
}

int64_t readCameraTime(cc::CameraDevice& camera) {
    cc::CameraTime time;
    throwIfFailed(camera.getCameraDeviceSettings({&time}), "reading the camera's clock");
    const auto* value =
        time.hasValue() ? dynamic_cast<const cc::CameraTimeValue*>(&time.getValue()) : nullptr;
    if (value == nullptr) {
        throw CameraError("Unknown", "the camera reported no time");
    }
    return value->get();
}

}  // namespace camctl
