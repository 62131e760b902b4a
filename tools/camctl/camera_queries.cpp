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

void sortImages(std::vector<std::shared_ptr<const cc::CameraImage>>& images) {
    // The keys are taken once per image: each takes a lock and copies strings, and a listing
    // of thousands sorts often.
    using Keyed = std::pair<std::pair<uint64_t, uint64_t>, std::shared_ptr<const cc::CameraImage>>;
    std::vector<Keyed> keyed;
    keyed.reserve(images.size());
    for (auto& image : images) {
        keyed.push_back(
            {{numericId(storageIdOf(*image)), numericId(image->getId())}, std::move(image)});
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i) {
        images[i] = std::move(keyed[i].second);
    }
}

std::vector<std::shared_ptr<const cc::CameraImage>> imagesInOrder(const cc::CameraDevice& camera) {
    const auto snapshot = camera.getImages().clone();
    std::vector<std::shared_ptr<const cc::CameraImage>> images;
    images.reserve(snapshot->size());
    for (size_t i = 0; i < snapshot->size(); ++i) {
        images.push_back(snapshot->get(i));
    }
    sortImages(images);
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
