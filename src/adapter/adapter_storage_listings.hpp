// The storage listings part: one background listing task per storage, the object handles each
// listing took, and the requests that hold the listings back.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/guarded_mutex.hpp"

namespace Corvane::CameraController::Impl {

/// Keyed by storage id. Thread-safe: one leaf lock, held for map edits only; no call runs a
/// transaction or a listener under it. Only start() and waitFor() wait for a task, outside the
/// lock; a listing task must call neither for its own storage.
///
/// The handles a listing took are the baseline an update after a capture compares the card
/// with: a file missing from them is new. The listing fills it once it has the card's handles;
/// the update writes it only once the listing is complete.
class StorageListings {
public:
    StorageListings() = default;
    StorageListings(const StorageListings&) = delete;
    StorageListings& operator=(const StorageListings&) = delete;
    /// Waits for every listing task that is still running (they use the adapter's members).
    ~StorageListings() = default;

    /// Waits for the storage's previous listing to end, forgets its handles (a baseline left
    /// from an earlier listing would make old files look new) and runs `listing` on a task of
    /// its own.
    void start(const std::string& storageId, std::function<void()> listing);
    /// Waits for the storage's listing task to end; at once when none runs.
    void waitFor(const std::string& storageId) const;

    /// The listing of `storageId` has taken the card's handles.
    void rememberHandles(const std::string& storageId, std::vector<uint32_t> handles);
    /// The baseline of `storageId`; none until a listing has taken the card's handles.
    std::optional<std::vector<uint32_t>> handlesOf(const std::string& storageId) const;
    /// Whether the latest listing of the storage has taken the card's handles or has ended
    /// without them (so nothing is left to wait for).
    bool tookHandles(const std::string& storageId) const;

    /// Hands every task to a helper thread; for the adapter's destruction on a listing task,
    /// which cannot wait for itself.
    void collectTasksLater();

    /// Asks every running listing to pause before its next object for as long as one is held
    /// (counted: the event task and a capture start may hold one each).
    class PauseRequest {
    public:
        explicit PauseRequest(StorageListings& listings) : listings(listings) {
            ++listings.pauseRequests;
        }
        ~PauseRequest() { --listings.pauseRequests; }
        PauseRequest(const PauseRequest&) = delete;
        PauseRequest& operator=(const PauseRequest&) = delete;

    private:
        StorageListings& listings;
    };
    bool pauseRequested() const { return pauseRequests != 0; }

private:
    std::shared_future<void> taskOf(const std::string& storageId) const;

    std::atomic<uint32_t> pauseRequests{0};
    mutable Mutex mutex;
    std::map<std::string, std::vector<uint32_t>> handles GUARDED_BY(mutex);
    // Last, so that it is destroyed first.
    std::map<std::string, std::shared_future<void>> tasks GUARDED_BY(mutex);
};

}  // namespace Corvane::CameraController::Impl
