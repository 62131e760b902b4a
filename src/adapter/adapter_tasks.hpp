// Bookkeeping shared by the adapter's background tasks (events, live view, listings).
#pragma once

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

namespace Corvane::CameraController::Impl {

enum class AdapterTask { None, Events, LiveView, Listing };

/// Marks the calling thread as running `task` of the adapter `owner` while the object lives.
/// The mark lives in the thread rather than in the adapter: it still holds when the task has
/// dropped the adapter's last reference (the adapter is then destroyed on the task's thread),
/// and it leaves with the task, so a thread id reused later never looks like a running task.
class AdapterTaskMark {
public:
    AdapterTaskMark(const void* owner, AdapterTask task);
    ~AdapterTaskMark();
    AdapterTaskMark(const AdapterTaskMark&) = delete;
    AdapterTaskMark& operator=(const AdapterTaskMark&) = delete;

    /// The task of `owner` that the calling thread runs; None on every other thread.
    static AdapterTask current(const void* owner);

private:
    const void* previousOwner;
    AdapterTask previousTask;
};

/// The event task's stop request and wake-up. Each task gets its own, and holds it itself, so
/// that it can pause between passes without holding the adapter. A lost connection is marked
/// here too, so that only the task that was running when it was lost reports it: a mark made
/// while no task runs dies with the finished task's object instead of waiting for the next.
class EventLoopStop {
public:
    /// Asks the task to stop and to report the lost connection first.
    void requestForLoss() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            lost = true;
            stop = true;
        }
        wake.notify_all();
    }
    /// Whether a loss is to be reported; true once.
    bool takeLoss() {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(lost, false);
    }
    void request() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        wake.notify_all();
    }
    bool requested() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return stop;
    }
    /// Waits `duration` or until a stop is requested; false when stopping.
    bool pauseFor(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, duration, [this] { return stop; });
    }

private:
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool lost = false;
};

/// Lets a helper thread wait for `task` (a future or a container of them) and release it. For
/// a task that dropped its adapter's last reference: it cannot wait for itself, and by then it
/// no longer touches the adapter.
template <class Task>
void collectLater(Task&& task) {
    std::thread([owned = std::forward<Task>(task)]() mutable {
        auto released = std::move(owned);
    }).detach();
}

}  // namespace Corvane::CameraController::Impl
