#include "capture_collector.hpp"

#include "failure_reason.hpp"
#include "interrupt.hpp"

namespace camctl {

CaptureCollector::CaptureCollector(std::filesystem::path tetherFolder)
    : tetherFolder(std::move(tetherFolder)) {}

DownloadedFile CaptureCollector::saveFromTransferBuffer(const cc::CameraImage& image) const {
    // The picture is released when this handler returns, so a busy camera is asked again here
    // rather than later; the bound keeps the library's event task from stalling for long.
    const auto deadline = std::chrono::steady_clock::now() + busyRetryLimit;
    while (true) {
        try {
            return downloadImage(image, tetherFolder);
        } catch (const CameraError& failure) {
            if (!isBusy(failure) || std::chrono::steady_clock::now() >= deadline ||
                !sleepUnlessInterrupted(busyRetryPause)) {
                throw;
            }
        }
    }
}

void CaptureCollector::imageAdded(const std::shared_ptr<const cc::CameraDevice>& device,
                                  const std::shared_ptr<const cc::CameraImage>& image) {
    // Files on a card are also announced here in movie mode; imageStored reports them.
    if (!image || image->getStorage()) {
        return;
    }
    ProducedImage item{image, std::nullopt, {}};
    // Nothing may escape a handler: an exception would end the library's event task.
    try {
        item.file = saveFromTransferBuffer(*image);
    } catch (const CameraError& failure) {
        const bool gone = device && !device->isConnected(cc::DeviceInterface::USB);
        item.error = describeFailure(failure.codeName(), failure.what(),
                                     failureReason(failure.codeName(), failure.what(), gone));
    } catch (const std::exception& failure) {
        item.error = failure.what();
    }
    std::lock_guard<std::mutex> lock(mutex);
    produced.push_back(std::move(item));
    changed.notify_all();
}

void CaptureCollector::imageStored(const std::shared_ptr<const cc::CameraDevice>&,
                                   const std::shared_ptr<const cc::CameraImage>& image) {
    if (!image) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex);
    produced.push_back(ProducedImage{image, std::nullopt, {}});
    changed.notify_all();
}

void CaptureCollector::captureComplete(const std::shared_ptr<const cc::CameraDevice>&,
                                       const std::shared_ptr<const cc::Capture>& capture) {
    if (!capture) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex);
    completed.insert(capture->getId());
    changed.notify_all();
}

void CaptureCollector::deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>&,
                                          cc::DeviceInterface) {
    std::lock_guard<std::mutex> lock(mutex);
    disconnected = true;
    changed.notify_all();
}

CaptureOutcome CaptureCollector::waitFor(const cc::Capture& capture,
                                         std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
        if (completed.count(capture.getId()) > 0 ||
            capture.getState() == cc::CaptureState::Complete) {
            return CaptureOutcome::Complete;
        }
        if (capture.getState() == cc::CaptureState::Unknown) {
            return CaptureOutcome::Failed;
        }
        if (disconnected) {
            return CaptureOutcome::Disconnected;
        }
        if (interrupted()) {
            return CaptureOutcome::Interrupted;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return CaptureOutcome::TimedOut;
        }
        // The state is also polled: a completion can happen between start and registration.
        changed.wait_for(lock, std::chrono::milliseconds(50));
    }
}

std::vector<ProducedImage> CaptureCollector::take() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<ProducedImage> result;
    result.swap(produced);
    return result;
}

}  // namespace camctl
