#include "adapter/adapter_tether_image_registry.hpp"

#include <algorithm>

#include "model/camera_image_impl.hpp"

namespace Corvane::CameraController::Impl {

void TetherImageRegistry::remember(const std::shared_ptr<CameraImageImpl>& image) {
    const MutexLock lock(mutex);
    images.erase(std::remove_if(images.begin(), images.end(),
                                [](const auto& known) { return known.expired(); }),
                 images.end());
    images.push_back(image);
}

bool TetherImageRegistry::contains(const CameraImage& image) const {
    const MutexLock lock(mutex);
    return std::any_of(images.begin(), images.end(), [&image](const auto& known) {
        const auto held = known.lock();
        return held != nullptr && static_cast<const CameraImage*>(held.get()) == &image;
    });
}

}  // namespace Corvane::CameraController::Impl
