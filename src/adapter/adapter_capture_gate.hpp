// The gate that keeps object-handle listings away from a capture start.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Corvane::CameraController::Impl {

/// A single-holder gate: a capture start waits for it without limit, a handle listing gives up
/// after a deadline. Unlike a mutex it may be released by a thread other than the holder.
class CaptureGate {
public:
    void acquire() {
        std::unique_lock<std::mutex> lock(mutex);
        freed.wait(lock, [this] { return held == 0; });
        held = kHeld;
    }

    /// False when the gate stayed held until `timeout` passed.
    bool tryAcquireFor(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!freed.wait_for(lock, timeout, [this] { return held == 0; })) {
            return false;
        }
        held = kHeld;
        return true;
    }

    void release() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            held = 0;
        }
        freed.notify_one();
    }

private:
    static constexpr uint32_t kHeld = 0xFFFFFFFF;
    std::mutex mutex;
    std::condition_variable freed;
    uint32_t held = 0;
};

/// Releases an acquired gate on every way out of a scope, exceptions included.
class CaptureGateHold {
public:
    explicit CaptureGateHold(CaptureGate& gate) : gate(gate) {}
    CaptureGateHold(const CaptureGateHold&) = delete;
    CaptureGateHold& operator=(const CaptureGateHold&) = delete;
    ~CaptureGateHold() { gate.release(); }

private:
    CaptureGate& gate;
};

}  // namespace Corvane::CameraController::Impl
