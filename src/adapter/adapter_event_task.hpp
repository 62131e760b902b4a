// The event task's part: its lifecycle, its stop request, and the lock of connect/disconnect.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

#include "adapter/adapter_tasks.hpp"
#include "common/guarded_mutex.hpp"

namespace Corvane::CameraController::Impl {

/// Starts, stops and waits for the event task, which runs one pass at a time and pauses between
/// passes without holding its owner, so the owner may be released while it runs.
///
/// Threads and locks: the lifecycle lock (lockLifecycle) serialises connect and disconnect,
/// which start and stop the task, and so guards `future` (not marked: it is a plain
/// std::mutex tried from listeners). It is taken before every other adapter lock. `stopMutex`
/// (a leaf) guards the pointer to the running task's stop request, which discovery reads from
/// any thread. `firstPassDone` is a plain atomic. Rules: only application threads wait for the
/// task; on any task of the owner (inside a listener) a stop only asks, a restart leaves the
/// old task to a helper thread. Bound of a wait: one pause plus one pass.
class EventTask {
public:
    /// One pass; the pause before the next, or none when the task is to end.
    using Pass = std::function<std::optional<std::chrono::milliseconds>(EventLoopStop& stop)>;

    /// `owner` marks the task's thread (AdapterTaskMark).
    explicit EventTask(const void* owner) : owner(owner) {}
    /// Asks the task to stop and waits for it, or on its own thread leaves it to a helper.
    ~EventTask();
    EventTask(const EventTask&) = delete;
    EventTask& operator=(const EventTask&) = delete;

    /// Takes the lifecycle lock; on a task thread only when free (the result then owns
    /// nothing, and the caller answers at once instead of waiting).
    std::unique_lock<std::mutex> lockLifecycle();

    /// Ends an earlier task, then starts a new one that runs `pass` while it can lock
    /// `lifetime` (the owner of this part), with a fresh stop request.
    void start(std::weak_ptr<const void> lifetime, Pass pass);
    /// Asks the task to stop and waits for it; on any task of the owner it only asks.
    void stop();
    /// The running task's stop request (a finished task's when none runs).
    std::shared_ptr<EventLoopStop> currentStop() const;
    /// Whether the current task has finished a pass and not ended yet.
    bool isRunning() const { return firstPassDone; }
    /// Called by a pass once it completed; isRunning() turns true.
    void markPassDone() { firstPassDone = true; }
    /// Waits until the task has finished its first pass, ended, or `timeout` passed; true on a
    /// finished pass. Only on an application thread, under the lifecycle lock.
    bool waitForFirstPass(std::chrono::milliseconds timeout) const;

private:
    void run(std::weak_ptr<const void> lifetime, const Pass& pass,
             const std::shared_ptr<EventLoopStop>& stop);
    bool onAnyTask() const { return AdapterTaskMark::current(owner) != AdapterTask::None; }

    const void* const owner;
    std::mutex lifecycleMutex;
    std::future<void> future;
    std::atomic<bool> firstPassDone{false};
    mutable Mutex stopMutex;
    std::shared_ptr<EventLoopStop> stopRequest GUARDED_BY(stopMutex) =
        std::make_shared<EventLoopStop>();
};

}  // namespace Corvane::CameraController::Impl
