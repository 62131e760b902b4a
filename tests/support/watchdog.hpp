// Runs a test body that could deadlock under a time limit, so that a regression fails the run
// instead of hanging it.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace Corvane::CameraController::Testing {

/// Runs `body` on its own thread; a body still running after `limit` aborts the test program
/// with a line naming `what` (a deadlocked thread cannot be stopped any other way).
template <class Body>
void finishesWithin(std::chrono::seconds limit, const char* what, Body body) {
    std::promise<void> done;
    auto finished = done.get_future();
    std::thread runner([&body, &done] {
        body();
        done.set_value();
    });
    if (finished.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "Watchdog: %s did not return within %llds\n", what,
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::abort();
    }
    runner.join();
}

}  // namespace Corvane::CameraController::Testing
