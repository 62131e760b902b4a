// The capture part: captures started and not yet complete, and the gate a start holds.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "adapter/adapter_capture_gate.hpp"
#include "common/guarded_mutex.hpp"

namespace Corvane::CameraController::Impl {

class CaptureImpl;

/// The pending captures, oldest first, and what ends them. Thread-safe: one leaf lock, held
/// for list edits only; no call runs a transaction, waits or calls a listener (the caller
/// reports what these return). The gate keeps handle listings away from a capture start.
class PendingCaptures {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    void add(std::shared_ptr<CaptureImpl> capture);
    /// A copy of the list, oldest first.
    std::vector<std::shared_ptr<CaptureImpl>> snapshot() const;
    bool empty() const;
    /// Every capture ends Unknown; the list is emptied.
    void abandonAll();
    /// The movie captures end Unknown and leave the list.
    void abandonMovies();
    /// Takes the captures `expired` picks out of the list (the caller ends them).
    std::vector<std::shared_ptr<CaptureImpl>> takeExpired(
        const std::function<bool(const CaptureImpl&)>& expired);
    /// Counts one arrived file against the oldest capture, completing it at zero; the completed
    /// capture (out of the list) or null. A file restarts a quiet movie's wait.
    std::shared_ptr<CaptureImpl> fileArrived(TimePoint now);

    /// The oldest capture, a movie whose recording has ended and that got no file for `wait`:
    /// out of the list, with whether it got any file at all. Null otherwise.
    struct EndedMovie {
        std::shared_ptr<CaptureImpl> capture;
        bool gotFiles = false;
    };
    std::optional<EndedMovie> takeQuietMovie(bool recording, TimePoint now,
                                             std::chrono::seconds wait);

    /// Held by a capture start from the shutter to the confirmed start.
    CaptureGate& gate() { return captureGate; }
    /// Set while a movie start waits for the camera: the recording is not yet in the condition.
    std::atomic<bool> movieStartPending{false};

private:
    /// The pending movie whose recording has ended, since when no file came for it.
    struct QuietMovie {
        std::weak_ptr<CaptureImpl> capture;
        TimePoint since;
        bool gotFiles = false;
    };

    CaptureGate captureGate;
    mutable Mutex mutex;
    std::vector<std::shared_ptr<CaptureImpl>> captures GUARDED_BY(mutex);
    QuietMovie quietMovie GUARDED_BY(mutex);
};

}  // namespace Corvane::CameraController::Impl
