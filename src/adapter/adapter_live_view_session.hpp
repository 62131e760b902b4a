// The live-view part: whether live view runs, and the frame task that fetches frames.
#pragma once

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include "adapter/adapter_camera_port.hpp"
#include "common/guarded_mutex.hpp"
#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController::Impl {

/// Switches the camera's live view (property 0xD1B0) and runs the frame task, which fetches a
/// frame (0x9006) at most every 33 ms, also after a refused frame, and hands each JPEG to the
/// device's frame listeners.
///
/// Threads and locks: `mutex` serialises starts and stops and guards `task`; it is held across
/// the switch-on transaction and the wait for a finishing frame task, and is never taken by the
/// frame task itself. `running` is a plain atomic, read by the task before every frame. Every
/// call here checks whether it runs on the frame task (a frame listener) first: there it never
/// waits for the task and never takes `mutex` (an application thread may hold it while waiting
/// for this very task). Bound of every wait: one frame transaction plus one listener call.
class LiveViewSession {
public:
    /// `owner` marks the frame task's thread (AdapterTaskMark); `port` is the camera.
    LiveViewSession(const void* owner, CameraPort& port) : owner(owner), port(port) {}
    /// Ends the task: waits for it, or on its own thread leaves it to a helper thread.
    ~LiveViewSession();
    LiveViewSession(const LiveViewSession&) = delete;
    LiveViewSession& operator=(const LiveViewSession&) = delete;

    /// Switches live view on and starts the frame task, which holds `lifetime` (the owner of
    /// this part) for one frame at a time and ends once it is gone. Ok when already running;
    /// from a frame listener it answers at once (DeviceError "Device Busy" when stopped).
    Response start(std::weak_ptr<const void> lifetime);
    /// Stops the task and waits for it; from a frame listener only asks it to end after the
    /// frame. The task switches live view off as it ends.
    void stop();
    /// For disconnect: stops and waits for the task also when it is finishing by itself, so
    /// that it is gone before the transport closes; from a frame listener only asks.
    void stopAndJoin();
    /// Asks the task to end after its frame; never blocks (for a lost connection).
    void requestStop() { running = false; }
    bool isRunning() const { return running; }

    /// One turn of the frame task: fetch again at once, after the frame period, or end.
    enum class Step { Next, NextAfterPause, Exit };
    /// Fetches one frame and hands it to the listeners.
    Step fetchFrame();

private:
    void runTask(std::weak_ptr<const void> lifetime);
    /// Switches live view off on a connected camera and clears `running`.
    void finish();
    /// Waits for the frame task to end; does nothing on the task's own thread.
    void join() REQUIRES(mutex);
    bool onOwnTask() const;

    const void* const owner;
    CameraPort& port;
    std::atomic<bool> running{false};
    Mutex mutex;
    std::future<void> task GUARDED_BY(mutex);
};

}  // namespace Corvane::CameraController::Impl
