#include "model/camera_storage_list_impl.hpp"

#include <algorithm>
#include <stdexcept>

#include "corvane/camera_controller/camera_storage.hpp"

namespace Corvane::CameraController::Impl {

std::shared_ptr<const CameraStorage> CameraStorageListImpl::get(size_t index) const {
    const std::lock_guard<std::mutex> lock(mutex);
    if (index >= storages.size()) {
        throw std::out_of_range("invalid vector<T> subscript");
    }
    return storages[index];
}

size_t CameraStorageListImpl::size() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return storages.size();
}

void CameraStorageListImpl::add(const std::shared_ptr<CameraStorage>& storage) {
    if (!storage) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    storages.push_back(storage);
}

bool CameraStorageListImpl::remove(const std::shared_ptr<const CameraStorage>& storage) {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto end = std::remove(storages.begin(), storages.end(), storage);
    const bool found = end != storages.end();
    storages.erase(end, storages.end());
    return found;
}

std::shared_ptr<CameraStorage> CameraStorageListImpl::findById(const std::string& id) const {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = std::find_if(storages.begin(), storages.end(),
                                    [&](const auto& storage) { return storage->getId() == id; });
    return found != storages.end() ? *found : nullptr;
}

std::vector<std::shared_ptr<CameraStorage>> CameraStorageListImpl::snapshot() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return storages;
}

bool CameraStorageListImpl::anyAvailable() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return std::any_of(storages.begin(), storages.end(),
                       [](const auto& storage) { return storage->isAvailable(); });
}

void CameraStorageListImpl::assign(std::vector<std::shared_ptr<CameraStorage>> newStorages) {
    newStorages.erase(std::remove(newStorages.begin(), newStorages.end(), nullptr),
                      newStorages.end());
    const std::lock_guard<std::mutex> lock(mutex);
    storages.swap(newStorages);
}

void CameraStorageListImpl::clear() {
    const std::lock_guard<std::mutex> lock(mutex);
    storages.clear();
}

}  // namespace Corvane::CameraController::Impl
