#include "serve/event_hub.hpp"

#include "formatting.hpp"
#include "serve/api_json.hpp"

namespace camctl::serve {

void EventHub::publish(const std::string& name, const nlohmann::json& data) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        history.push_back(EventMessage{++sequenceCount, name, dumpJson(data)});
        if (history.size() > historyLength) {
            history.pop_front();
        }
    }
    published.notify_all();
}

std::vector<EventMessage> EventHub::after(uint64_t sequence, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    const uint64_t wakes = wakeCount;
    published.wait_for(lock, timeout,
                       [&] { return sequenceCount > sequence || wakeCount != wakes; });
    std::vector<EventMessage> messages;
    for (const auto& message : history) {
        if (message.sequence > sequence) {
            messages.push_back(message);
        }
    }
    return messages;
}

uint64_t EventHub::newest() const {
    std::lock_guard<std::mutex> lock(mutex);
    return sequenceCount;
}

void EventHub::wake() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++wakeCount;
    }
    published.notify_all();
}

void EventHub::imageAdded(const std::shared_ptr<const cc::CameraDevice>&,
                          const std::shared_ptr<const cc::CameraImage>& image) {
    // Pictures in the transfer buffer are announced by the tether gallery, which keeps them.
    if (image && image->getStorage()) {
        publish("imageAdded", {{"image", imageJsonOf(*image)}});
    }
}

void EventHub::imageStored(const std::shared_ptr<const cc::CameraDevice>&,
                           const std::shared_ptr<const cc::CameraImage>& image) {
    if (image) {
        publish("imageStored", {{"image", imageJsonOf(*image)}});
    }
}

void EventHub::captureComplete(const std::shared_ptr<const cc::CameraDevice>&,
                               const std::shared_ptr<const cc::Capture>& capture) {
    if (capture) {
        publish("captureComplete", {{"capture", toNlohmann(captureJson(*capture))}});
    }
}

void EventHub::deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>&,
                                  cc::DeviceInterface) {
    publish("deviceDisconnected", nlohmann::json::object());
}

void EventHub::captureSettingsChanged(
    const std::shared_ptr<const cc::CameraDevice>&,
    const std::vector<std::shared_ptr<const cc::CaptureSetting>>& settings) {
    nlohmann::json changed = nlohmann::json::object();
    for (const auto& setting : settings) {
        if (setting) {
            changed[setting->getName()] =
                setting->hasValue() ? nlohmann::json(setting->getValue().toString()) : nullptr;
        }
    }
    publish("captureSettingsChanged", {{"settings", changed}});
}

std::string sseText(const EventMessage& message) {
    return "id: " + std::to_string(message.sequence) + "\nevent: " + message.name +
           "\ndata: " + message.data + "\n\n";
}

}  // namespace camctl::serve
