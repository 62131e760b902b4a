#include "model/camera_storage_impl.hpp"

#include <algorithm>

namespace Corvane::CameraController::Impl {

CameraStorageImpl::CameraStorageImpl() : knownIds(1), currentId(&knownIds.front()) {}

const std::string& CameraStorageImpl::getId() const {
    const std::lock_guard<std::mutex> lock(idMutex);
    return *currentId;
}

void CameraStorageImpl::setId(const std::string& newId) {
    const std::lock_guard<std::mutex> lock(idMutex);
    if (*currentId == newId) {
        return;
    }
    // A deque never moves its elements on push_back, so earlier references stay valid.
    const auto known = std::find(knownIds.begin(), knownIds.end(), newId);
    if (known != knownIds.end()) {
        currentId = &*known;
        return;
    }
    knownIds.push_back(newId);
    currentId = &knownIds.back();
}

}  // namespace Corvane::CameraController::Impl
