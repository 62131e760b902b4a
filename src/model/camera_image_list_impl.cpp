#include "model/camera_image_list_impl.hpp"

#include <algorithm>
#include <stdexcept>

#include "corvane/camera_controller/camera_image.hpp"

namespace Corvane::CameraController::Impl {

CameraImageListImpl::CameraImageListImpl(const CameraImageListImpl& other)
    : CameraImageList(other) {
    const std::lock_guard<std::mutex> lock(other.mutex);
    images = other.images;
}

CameraImageListImpl& CameraImageListImpl::operator=(const CameraImageListImpl& other) {
    if (this != &other) {
        // Copy out first so that the two mutexes are never held together.
        auto copy = other.snapshot();
        const std::lock_guard<std::mutex> lock(mutex);
        images.assign(copy.begin(), copy.end());
    }
    return *this;
}

std::shared_ptr<const CameraImage> CameraImageListImpl::get(size_t index) const {
    const std::lock_guard<std::mutex> lock(mutex);
    if (index >= images.size()) {
        throw std::out_of_range("invalid deque<T> subscript");
    }
    return images[index];
}

size_t CameraImageListImpl::size() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return images.size();
}

std::unique_ptr<CameraImageList> CameraImageListImpl::clone() const {
    return std::make_unique<CameraImageListImpl>(*this);
}

void CameraImageListImpl::add(const std::shared_ptr<CameraImage>& image) {
    if (!image) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    images.push_back(image);
}

bool CameraImageListImpl::addIfAbsent(const std::shared_ptr<CameraImage>& image) {
    if (!image) {
        return false;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    const bool listed = std::any_of(images.begin(), images.end(), [&](const auto& known) {
        return known->getId() == image->getId();
    });
    if (!listed) {
        images.push_back(image);
    }
    return !listed;
}

bool CameraImageListImpl::remove(const std::shared_ptr<const CameraImage>& image) {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto end = std::remove(images.begin(), images.end(), image);
    const bool found = end != images.end();
    images.erase(end, images.end());
    return found;
}

std::vector<std::shared_ptr<CameraImage>> CameraImageListImpl::removeIf(
    const std::function<bool(const CameraImage&)>& predicate) {
    std::vector<std::shared_ptr<CameraImage>> removed;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto keepEnd = std::stable_partition(
        images.begin(), images.end(), [&](const auto& image) { return !predicate(*image); });
    removed.assign(keepEnd, images.end());
    images.erase(keepEnd, images.end());
    return removed;
}

std::shared_ptr<CameraImage> CameraImageListImpl::findById(const std::string& id) const {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = std::find_if(images.begin(), images.end(),
                                    [&](const auto& image) { return image->getId() == id; });
    return found != images.end() ? *found : nullptr;
}

bool CameraImageListImpl::contains(const std::shared_ptr<const CameraImage>& image) const {
    const std::lock_guard<std::mutex> lock(mutex);
    return std::find(images.begin(), images.end(), image) != images.end();
}

std::vector<std::shared_ptr<CameraImage>> CameraImageListImpl::snapshot() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return {images.begin(), images.end()};
}

void CameraImageListImpl::clear() {
    const std::lock_guard<std::mutex> lock(mutex);
    images.clear();
}

}  // namespace Corvane::CameraController::Impl
