#include "rig/release_barrier.hpp"

namespace camctl::rig {

std::optional<WallClock::time_point> ReleaseBarrier::arriveAndWait() {
    std::unique_lock<std::mutex> lock(mutex);
    if (moment) {
        return std::nullopt;
    }
    ++settled;
    changed.notify_all();
    changed.wait(lock, [this] { return moment.has_value(); });
    return moment;
}

void ReleaseBarrier::withdraw() {
    const std::lock_guard<std::mutex> lock(mutex);
    ++settled;
    changed.notify_all();
}

WallClock::time_point ReleaseBarrier::release(std::optional<WallClock::time_point> at,
                                              std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, limit, [this] { return settled >= expected; });
    const auto earliest = WallClock::now() + wakeLead;
    moment = at && *at > earliest ? *at : earliest;
    changed.notify_all();
    return *moment;
}

}  // namespace camctl::rig
