#include "model/camera_image_list_impl.hpp"

#include <algorithm>
#include <stdexcept>

#include "corvane/camera_controller/camera_image.hpp"

namespace Corvane::CameraController::Impl {

CameraImageListImpl::CameraImageListImpl(const CameraImageListImpl& other)
    : CameraImageList(other) {
    const std::lock_guard<std::mutex> lock(other.mutex);
    images = other.images;
    idCounts = other.idCounts;
}

CameraImageListImpl& CameraImageListImpl::operator=(const CameraImageListImpl& other) {
    if (this != &other) {
        // Copy out first so that the two mutexes are never held together.
        auto copy = other.snapshot();
        const std::lock_guard<std::mutex> lock(mutex);
        images.assign(copy.begin(), copy.end());
        recount();
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
    countIn(*image);
}

bool CameraImageListImpl::addIfAbsent(const std::shared_ptr<CameraImage>& image) {
    if (!image) {
        return false;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    if (idCounts.count(image->getId()) != 0) {
        return false;
    }
    images.push_back(image);
    countIn(*image);
    return true;
}

bool CameraImageListImpl::remove(const std::shared_ptr<const CameraImage>& image) {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto end = std::remove(images.begin(), images.end(), image);
    // The entries past `end` are moved from; every one of them was `image`.
    for (auto it = end; it != images.end(); ++it) {
        countOut(*image);
    }
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
    for (const auto& image : removed) {
        countOut(*image);
    }
    return removed;
}

std::shared_ptr<CameraImage> CameraImageListImpl::findById(const std::string& id) const {
    const std::lock_guard<std::mutex> lock(mutex);
    if (idCounts.count(id) == 0) {
        return nullptr;
    }
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
    idCounts.clear();
}

void CameraImageListImpl::countIn(const CameraImage& image) {
    ++idCounts[image.getId()];
}

void CameraImageListImpl::countOut(const CameraImage& image) {
    const auto found = idCounts.find(image.getId());
    if (found != idCounts.end() && --found->second == 0) {
        idCounts.erase(found);
    }
}

void CameraImageListImpl::recount() {
    idCounts.clear();
    for (const auto& image : images) {
        countIn(*image);
    }
}

}  // namespace Corvane::CameraController::Impl
