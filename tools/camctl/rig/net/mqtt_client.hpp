// A connection to an MQTT broker (libmosquitto): JSON texts published and received on topics.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace camctl::rig {

/// Where the broker is and how to log in; credentials and TLS files are handed to libmosquitto
/// as given.
struct BrokerOptions {
    std::string host;
    int port = 1883;
    bool tls = false;  ///< "mqtts://" URLs
    std::string user;
    std::string password;
    std::string caFile;    ///< TLS: the authority that signed the broker's certificate
    std::string certFile;  ///< TLS client certificate, with keyFile
    std::string keyFile;
};

/// "mqtt://HOST[:PORT]" (1883) or "mqtts://HOST[:PORT]" (8883). Throws UsageError otherwise.
BrokerOptions parseBrokerUrl(const std::string& url);

struct MqttMessage {
    std::string topic;
    std::string payload;
    int qos = 1;
    bool retain = false;
};

class MqttClient {
public:
    /// Called on the client's network thread for every message received: keep it short.
    using Handler = std::function<void(const MqttMessage&)>;

    /// Connects (waiting up to `connectLimit`), leaves `will` with the broker to be published
    /// should this client vanish without saying goodbye, and subscribes to `subscriptions`
    /// (again after every reconnection). Throws CameraError "BrokerError" when the broker
    /// cannot be reached or refuses the login.
    MqttClient(const BrokerOptions& broker, const std::string& clientId,
               const std::vector<std::string>& subscriptions, Handler handler,
               const std::optional<MqttMessage>& will = std::nullopt,
               std::chrono::seconds connectLimit = std::chrono::seconds(10));
    /// Disconnects cleanly (the broker does not publish the will) and stops the thread.
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    /// Queues a message; returns at once. Throws CameraError "BrokerError" when the client
    /// refuses it (too large, not connected for good).
    void publish(const MqttMessage& message);

    /// Seconds between keep-alive pings; the broker declares a silent client dead after 1.5x.
    static constexpr int keepAliveSeconds = 5;

private:
    static void onConnect(mosquitto* client, void* self, int result);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);

    mosquitto* client = nullptr;
    const std::vector<std::string> topics;
    const Handler handler;
    std::mutex mutex;
    std::condition_variable connectedChanged;
    std::optional<int> connectResult;
};

}  // namespace camctl::rig
