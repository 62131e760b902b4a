// The one barrier that releases every camera of a shot at the same moment.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>

namespace camctl::rig {

using WallClock = std::chrono::system_clock;

/// Camera threads arrive once they are ready to release; the firing thread then names one
/// moment and wakes them all. The moment lies a little ahead of the wake-up, so that every
/// thread is already awake and sleeping towards the same instant rather than racing out of a
/// notification one after another.
class ReleaseBarrier {
public:
    /// How far ahead of the wake-up an unscheduled release is placed.
    static constexpr std::chrono::milliseconds wakeLead{3};

    explicit ReleaseBarrier(size_t cameras) : expected(cameras) {}
    ReleaseBarrier(const ReleaseBarrier&) = delete;
    ReleaseBarrier& operator=(const ReleaseBarrier&) = delete;

    /// Camera thread, once ready: blocks until the release moment is named and returns it, or
    /// returns nothing when the release was named before this camera was ready (it must not
    /// fire late). Never blocks longer than the firing thread's limit.
    std::optional<WallClock::time_point> arriveAndWait();
    /// Camera thread whose preparation failed: it will not arrive.
    void withdraw();

    /// Firing thread: waits until every camera arrived or withdrew, or `limit` passed, then
    /// names the moment (`at`, or a little ahead of now when `at` is empty or already past)
    /// and wakes the cameras. Returns the moment.
    WallClock::time_point release(std::optional<WallClock::time_point> at,
                                  std::chrono::milliseconds limit);

private:
    std::mutex mutex;
    std::condition_variable changed;
    const size_t expected;
    size_t settled = 0;  ///< arrived or withdrawn
    std::optional<WallClock::time_point> moment;
};

}  // namespace camctl::rig
