// The transfer-buffer part's record of the images it made.
#pragma once

#include <memory>
#include <vector>

#include "common/guarded_mutex.hpp"

namespace Corvane::CameraController {
class CameraImage;
}

namespace Corvane::CameraController::Impl {

class CameraImageImpl;

/// Images made from the camera's transfer buffer (tether images), held weakly, to tell them
/// from stored images whose storage has gone. Thread-safe: one leaf lock for list edits.
class TetherImageRegistry {
public:
    /// Remembers `image`, dropping entries whose image is gone.
    void remember(const std::shared_ptr<CameraImageImpl>& image);
    /// Whether `image` is one this registry remembers and that still exists.
    bool contains(const CameraImage& image) const;

private:
    mutable Mutex mutex;
    std::vector<std::weak_ptr<CameraImageImpl>> images GUARDED_BY(mutex);
};

}  // namespace Corvane::CameraController::Impl
