// Runs a test body that could deadlock under a time limit, so that a regression fails the run
// instead of hanging it.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

namespace Corvane::CameraController::Testing {

/// Runs `body` on its own thread and returns what it returns; a body still running after
/// `limit` aborts the test program with a line naming `what` (a deadlocked thread cannot be
/// stopped any other way).
template <class Body>
auto finishesWithin(std::chrono::seconds limit, const std::string& what, Body body) {
    auto finished = std::async(std::launch::async, std::move(body));
    if (finished.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "Watchdog: %s did not return within %llds\n", what.c_str(),
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::abort();
    }
    return finished.get();
}

}  // namespace Corvane::CameraController::Testing
