// The library's storage handle.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "corvane/camera_controller/camera_storage.hpp"
#include "model/camera_image_list_impl.hpp"

namespace Corvane::CameraController::Impl {

/// A card slot. The scalar figures are single atomics written by the adapter's threads and read
/// without a lock. A new storage has an empty id, no images and zero or false everywhere else.
class CameraStorageImpl : public CameraStorage {
public:
    CameraStorageImpl();
    CameraStorageImpl(const CameraStorageImpl&) = delete;
    CameraStorageImpl& operator=(const CameraStorageImpl&) = delete;

    const std::string& getId() const override;
    bool isAvailable() const override { return available.load(); }
    StorageType getType() const override { return type.load(); }
    StoragePermission getPermission() const override { return permission.load(); }
    uint64_t getMaxCapacity() const override { return maxCapacity.load(); }
    uint64_t getFreeSpaceInBytes() const override { return freeSpaceInBytes.load(); }
    uint32_t getFreeSpaceInImages() const override { return freeSpaceInImages.load(); }
    ListingState getListingState() const override { return listingState.load(); }
    const CameraImageList& getImages() const override { return images; }

    /// Sets the id. References handed out by getId() stay valid: an unchanged id is not
    /// reassigned, and a changed one is kept beside the earlier ones for the storage's lifetime.
    void setId(const std::string& newId);
    void setAvailable(bool value) { available.store(value); }
    void setType(StorageType value) { type.store(value); }
    void setPermission(StoragePermission value) { permission.store(value); }
    void setMaxCapacity(uint64_t value) { maxCapacity.store(value); }
    void setFreeSpaceInBytes(uint64_t value) { freeSpaceInBytes.store(value); }
    void setFreeSpaceInImages(uint32_t value) { freeSpaceInImages.store(value); }
    void setListingState(ListingState value) { listingState.store(value); }
    /// Atomically replaces `expected` by `desired`; returns false (changing nothing) when the
    /// state was not `expected`.
    bool changeListingState(ListingState expected, ListingState desired) {
        return listingState.compare_exchange_strong(expected, desired);
    }
    /// The storage's own image list, for library-side updates.
    CameraImageListImpl& getImagesImpl() { return images; }

private:
    // Every id ever set, so that a reference from getId() never dangles; `currentId` points
    // into it. Storages keep one id in practice, so this holds one or two entries.
    std::deque<std::string> knownIds;
    const std::string* currentId;
    std::atomic<bool> available{false};
    std::atomic<StorageType> type{StorageType::Unknown};
    std::atomic<StoragePermission> permission{StoragePermission::Unknown};
    std::atomic<uint64_t> maxCapacity{0};
    std::atomic<uint64_t> freeSpaceInBytes{0};
    std::atomic<uint32_t> freeSpaceInImages{0};
    std::atomic<ListingState> listingState{ListingState::Idle};
    CameraImageListImpl images;
    mutable std::mutex idMutex;
};

}  // namespace Corvane::CameraController::Impl
