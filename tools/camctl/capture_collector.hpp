// Gathers what a capture produces, as the camera reports it through events.
#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>

#include "download.hpp"

namespace camctl {

namespace cc = Corvane::CameraController;

/// An image a capture produced, and where it was saved if it was.
struct ProducedImage {
    std::shared_ptr<const cc::CameraImage> image;
    std::optional<DownloadedFile> file;
    std::string error;  ///< why it could not be saved, if it could not
};

enum class CaptureOutcome { Complete, Failed, Disconnected, TimedOut, Interrupted };

/// A listener for the length of a capture command. Pictures taken without a card exist only in
/// the camera's transfer buffer, which the library releases as soon as the imageAdded handler
/// returns, so those are downloaded right there, on the library's event thread.
class CaptureCollector : public cc::CameraEventListener {
public:
    /// `tetherFolder`: where pictures from the transfer buffer are saved.
    explicit CaptureCollector(std::filesystem::path tetherFolder);

    void imageAdded(const std::shared_ptr<const cc::CameraDevice>& device,
                    const std::shared_ptr<const cc::CameraImage>& image) override;
    void imageStored(const std::shared_ptr<const cc::CameraDevice>& device,
                     const std::shared_ptr<const cc::CameraImage>& image) override;
    void captureComplete(const std::shared_ptr<const cc::CameraDevice>& device,
                         const std::shared_ptr<const cc::Capture>& capture) override;
    void deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>& device,
                            cc::DeviceInterface deviceInterface) override;

    /// Waits until `capture` is complete, has failed, the camera is gone, Ctrl-C is pressed or
    /// `timeout` has passed.
    CaptureOutcome waitFor(const cc::Capture& capture, std::chrono::milliseconds timeout);
    /// The images reported since the last call.
    std::vector<ProducedImage> take();

    /// How long a picture in the transfer buffer is asked for again while the camera answers
    /// that it is busy, and the pause between two tries.
    static constexpr std::chrono::seconds busyRetryLimit{10};
    static constexpr std::chrono::milliseconds busyRetryPause{200};

private:
    DownloadedFile saveFromTransferBuffer(const cc::CameraImage& image) const;

    std::filesystem::path tetherFolder;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ProducedImage> produced;
    std::set<std::string> completed;
    bool disconnected = false;
};

}  // namespace camctl
