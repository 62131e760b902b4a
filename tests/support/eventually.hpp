// Waiting for what another thread brings about, bounded generously for a loaded machine.
#pragma once

#include <chrono>
#include <thread>

namespace Corvane::CameraController::Testing {

/// Polls `done` every few milliseconds until it holds or `limit` passes; true when it held.
template <class Predicate>
bool eventually(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace Corvane::CameraController::Testing
