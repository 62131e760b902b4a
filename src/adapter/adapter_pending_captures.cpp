#include "adapter/adapter_pending_captures.hpp"

#include <utility>

#include "corvane/camera_controller/capture_settings.hpp"
#include "model/capture_impl.hpp"

namespace Corvane::CameraController::Impl {

void PendingCaptures::add(std::shared_ptr<CaptureImpl> capture) {
    const MutexLock lock(mutex);
    captures.push_back(std::move(capture));
}

std::vector<std::shared_ptr<CaptureImpl>> PendingCaptures::snapshot() const {
    const MutexLock lock(mutex);
    return captures;
}

bool PendingCaptures::empty() const {
    const MutexLock lock(mutex);
    return captures.empty();
}

void PendingCaptures::abandonAll() {
    std::vector<std::shared_ptr<CaptureImpl>> abandoned;
    {
        const MutexLock lock(mutex);
        abandoned.swap(captures);
    }
    for (const auto& capture : abandoned) {
        capture->finish(CaptureState::Unknown);
    }
}

void PendingCaptures::abandonMovies() {
    const auto isMovie = [](const CaptureImpl& capture) {
        return capture.getMethod() == CaptureMethod::Movie;
    };
    for (const auto& capture : takeExpired(isMovie)) {
        capture->finish(CaptureState::Unknown);
    }
}

std::vector<std::shared_ptr<CaptureImpl>> PendingCaptures::takeExpired(
    const std::function<bool(const CaptureImpl&)>& expired) {
    std::vector<std::shared_ptr<CaptureImpl>> taken;
    const MutexLock lock(mutex);
    for (auto it = captures.begin(); it != captures.end();) {
        if (expired(**it)) {
            taken.push_back(*it);
            it = captures.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

std::shared_ptr<CaptureImpl> PendingCaptures::fileArrived(TimePoint now) {
    const MutexLock lock(mutex);
    if (captures.empty()) {
        return nullptr;
    }
    const std::shared_ptr<CaptureImpl> oldest = captures.front();
    // A file restarts the wait for the next one.
    quietMovie = QuietMovie{oldest, now, true};
    if (oldest->fileArrived() < 1) {
        oldest->finish(CaptureState::Complete);
    }
    if (oldest->getState() != CaptureState::Complete) {
        return nullptr;
    }
    captures.erase(captures.begin());
    return oldest;
}

std::optional<PendingCaptures::EndedMovie> PendingCaptures::takeQuietMovie(
    bool recording, TimePoint now, std::chrono::seconds wait) {
    const MutexLock lock(mutex);
    const auto oldest = captures.empty() ? nullptr : captures.front();
    if (oldest == nullptr || oldest->getMethod() != CaptureMethod::Movie || recording) {
        quietMovie = QuietMovie{};
        return std::nullopt;
    }
    if (quietMovie.capture.lock() != oldest) {
        quietMovie = QuietMovie{oldest, now, false};
        return std::nullopt;
    }
    if (now - quietMovie.since < wait) {
        return std::nullopt;
    }
    EndedMovie ended{oldest, quietMovie.gotFiles};
    captures.erase(captures.begin());
    quietMovie = QuietMovie{};
    return ended;
}

}  // namespace Corvane::CameraController::Impl
