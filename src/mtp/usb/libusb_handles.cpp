// Built only where libusb is available; the engine itself does not need it.
#if __has_include(<libusb.h>)

#include "mtp/usb/libusb_handles.hpp"

#include <mutex>

namespace Corvane::CameraController::Impl {

std::shared_ptr<LibusbContext> LibusbContext::instance() {
    static std::mutex mutex;
    static std::weak_ptr<LibusbContext> shared;
    std::lock_guard<std::mutex> lock(mutex);
    if (auto context = shared.lock()) {
        return context;
    }
    libusb_context* raw = nullptr;
    if (libusb_init(&raw) != LIBUSB_SUCCESS) {
        return nullptr;
    }
    auto context = std::make_shared<LibusbContext>(raw);
    shared = context;
    return context;
}

}  // namespace Corvane::CameraController::Impl

#endif
