// Camera events as server-sent-event messages, kept in a short history that each stream
// reads at its own pace.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>
#include <nlohmann/json.hpp>

namespace camctl::serve {

namespace cc = Corvane::CameraController;

struct EventMessage {
    uint64_t sequence;
    std::string name;  ///< the SSE event name, e.g. "imageStored"
    std::string data;  ///< one line of JSON
};

class EventHub : public cc::CameraEventListener {
public:
    /// How many messages a slow stream may fall behind before it loses the oldest.
    static constexpr size_t historyLength = 256;

    /// Adds a message (also used by the server for its own events, e.g. "deviceConnected").
    void publish(const std::string& name, const nlohmann::json& data);

    /// The messages after `sequence`, waiting up to `timeout` for one; empty on timeout or
    /// after wake().
    std::vector<EventMessage> after(uint64_t sequence, std::chrono::milliseconds timeout);
    /// The newest sequence number, where a new stream starts reading.
    uint64_t newest() const;
    void wake();

    void imageAdded(const std::shared_ptr<const cc::CameraDevice>& device,
                    const std::shared_ptr<const cc::CameraImage>& image) override;
    void imageStored(const std::shared_ptr<const cc::CameraDevice>& device,
                     const std::shared_ptr<const cc::CameraImage>& image) override;
    void captureComplete(const std::shared_ptr<const cc::CameraDevice>& device,
                         const std::shared_ptr<const cc::Capture>& capture) override;
    void deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>& device,
                            cc::DeviceInterface deviceInterface) override;
    void captureSettingsChanged(
        const std::shared_ptr<const cc::CameraDevice>& device,
        const std::vector<std::shared_ptr<const cc::CaptureSetting>>& settings) override;

private:
    mutable std::mutex mutex;
    std::condition_variable published;
    std::deque<EventMessage> history;
    uint64_t sequenceCount = 0;
    uint64_t wakeCount = 0;
};

/// "event: NAME\ndata: JSON\n\n"; JSON from nlohmann never holds a raw line break.
std::string sseText(const EventMessage& message);

}  // namespace camctl::serve
