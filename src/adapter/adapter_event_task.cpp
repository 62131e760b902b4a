// The event task's lifecycle: start, stop, the wait for its first pass.
#include "adapter/adapter_event_task.hpp"

#include <thread>
#include <utility>

namespace Corvane::CameraController::Impl {

namespace {

constexpr std::chrono::milliseconds kFirstPassPoll{10};

}  // namespace

EventTask::~EventTask() {
    currentStop()->request();
    if (AdapterTaskMark::current(owner) == AdapterTask::Events) {
        // The task dropped its owner's last reference: it cannot wait for itself, and it no
        // longer touches this part.
        collectLater(std::move(future));
    } else if (future.valid()) {
        future.wait();
    }
}

std::unique_lock<std::mutex> EventTask::lockLifecycle() {
    // Inside a listener the lock may be held by an application thread that waits for the very
    // task running the listener: try it instead of waiting.
    if (onAnyTask()) {
        return std::unique_lock<std::mutex>(lifecycleMutex, std::try_to_lock);
    }
    return std::unique_lock<std::mutex>(lifecycleMutex);
}

void EventTask::start(std::weak_ptr<const void> lifetime, Pass pass) {
    // An earlier task is asked to end first, so that two never poll side by side for long.
    currentStop()->request();
    std::future<void> previous = std::move(future);
    if (previous.valid()) {
        if (onAnyTask()) {
            // Restarted from a listener: of that very task, which ends after its pass, or of
            // the frame task, which must not wait for a task that may be waiting for it.
            collectLater(std::move(previous));
        } else {
            previous.wait();
        }
    }
    const auto stop = std::make_shared<EventLoopStop>();
    {
        const MutexLock lock(stopMutex);
        stopRequest = stop;
    }
    firstPassDone = false;
    future = std::async(std::launch::async, &EventTask::run, this, std::move(lifetime),
                        std::move(pass), stop);
}

std::shared_ptr<EventLoopStop> EventTask::currentStop() const {
    const MutexLock lock(stopMutex);
    return stopRequest;
}

void EventTask::stop() {
    currentStop()->request();
    if (onAnyTask()) {
        // A task never waits for another: the event task may itself be waiting for the
        // frame task (a listener stopping live view). It ends after its current pass.
        return;
    }
    if (future.valid()) {
        future.wait();
    }
}

bool EventTask::waitForFirstPass(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!firstPassDone) {
        // A task that already ended (camera gone) will never finish a pass.
        const bool ended =
            future.valid() && future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        if (ended || std::chrono::steady_clock::now() >= deadline) {
            return firstPassDone;
        }
        std::this_thread::sleep_for(kFirstPassPoll);
    }
    return true;
}

void EventTask::run(std::weak_ptr<const void> lifetime, const Pass& pass,
                    const std::shared_ptr<EventLoopStop>& stop) {
    // Declared first, so that it still marks the thread when the last reference to the owner
    // is dropped here and the owner, this part with it, is destroyed on this thread.
    const AdapterTaskMark mark(owner, AdapterTask::Events);
    for (;;) {
        std::optional<std::chrono::milliseconds> pause;
        {
            // Held for one pass only; this part is not touched once the owner is gone.
            const auto alive = lifetime.lock();
            if (alive == nullptr) {
                return;
            }
            pause = pass(*stop);
            if (!pause) {
                firstPassDone = false;
                return;
            }
        }
        stop->pauseFor(*pause);
    }
}

}  // namespace Corvane::CameraController::Impl
