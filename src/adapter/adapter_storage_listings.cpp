#include "adapter/adapter_storage_listings.hpp"

#include <utility>

#include "adapter/adapter_tasks.hpp"

namespace Corvane::CameraController::Impl {

void StorageListings::start(const std::string& storageId, std::function<void()> listing) {
    waitFor(storageId);
    {
        const MutexLock lock(mutex);
        handles.erase(storageId);
    }
    std::shared_future<void> task = std::async(std::launch::async, std::move(listing)).share();
    {
        const MutexLock lock(mutex);
        std::swap(tasks[storageId], task);
    }
    // `task` now holds the replaced future; it is released here, outside the lock.
}

std::shared_future<void> StorageListings::taskOf(const std::string& storageId) const {
    const MutexLock lock(mutex);
    const auto found = tasks.find(storageId);
    return found != tasks.end() ? found->second : std::shared_future<void>();
}

void StorageListings::waitFor(const std::string& storageId) const {
    const std::shared_future<void> task = taskOf(storageId);
    if (task.valid()) {
        task.wait();
    }
}

void StorageListings::rememberHandles(const std::string& storageId, std::vector<uint32_t> taken) {
    const MutexLock lock(mutex);
    handles[storageId] = std::move(taken);
}

std::optional<std::vector<uint32_t>> StorageListings::handlesOf(
    const std::string& storageId) const {
    const MutexLock lock(mutex);
    const auto found = handles.find(storageId);
    if (found == handles.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool StorageListings::tookHandles(const std::string& storageId) const {
    const MutexLock lock(mutex);
    if (handles.count(storageId) != 0) {
        return true;
    }
    const auto task = tasks.find(storageId);
    return task == tasks.end() || !task->second.valid() ||
           task->second.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void StorageListings::collectTasksLater() {
    const MutexLock lock(mutex);
    collectLater(std::move(tasks));
}

}  // namespace Corvane::CameraController::Impl
