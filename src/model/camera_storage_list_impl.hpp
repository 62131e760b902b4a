// The library's storage list: a vector of storage handles guarded by its own mutex.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corvane/camera_controller/camera_storage_list.hpp"

namespace Corvane::CameraController::Impl {

/// Every operation takes the list's mutex for its own span only.
class CameraStorageListImpl : public CameraStorageList {
public:
    CameraStorageListImpl() = default;
    CameraStorageListImpl(const CameraStorageListImpl&) = delete;
    CameraStorageListImpl& operator=(const CameraStorageListImpl&) = delete;

    std::shared_ptr<const CameraStorage> get(size_t index) const override;
    size_t size() const override;

    /// Appends `storage` (a null pointer is ignored).
    void add(const std::shared_ptr<CameraStorage>& storage);
    /// Removes every entry that is `storage` itself; returns whether one was found.
    bool remove(const std::shared_ptr<const CameraStorage>& storage);
    /// The first storage whose getId() equals `id`, or null.
    std::shared_ptr<CameraStorage> findById(const std::string& id) const;
    /// A copy of the current sequence, for iterating without holding the lock.
    std::vector<std::shared_ptr<CameraStorage>> snapshot() const;
    /// True when a card is in at least one storage.
    bool anyAvailable() const;
    /// Replaces the whole sequence at once.
    void assign(std::vector<std::shared_ptr<CameraStorage>> storages);
    void clear();

private:
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<CameraStorage>> storages;
};

}  // namespace Corvane::CameraController::Impl
