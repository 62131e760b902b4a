#include "device/listener_delivery.hpp"

#include <exception>

#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"

namespace Corvane::CameraController::Impl {

void deliverToListeners(const std::vector<std::shared_ptr<CameraEventListener>>& listeners,
                        const std::string& eventName, const ListenerCall& call) {
    if (!call) {
        return;
    }
    for (const auto& listener : listeners) {
        if (!listener) {
            continue;
        }
        try {
            call(*listener);
        } catch (const std::exception& e) {
            writeDiagnostic("[error][" + eventName + "] event listener threw: " + e.what());
        } catch (...) {
            writeDiagnostic("[error][" + eventName + "] event listener threw");
        }
    }
}

}  // namespace Corvane::CameraController::Impl
