#include "rig/net/mqtt_client.hpp"

#include <mosquitto.h>

#include "errors.hpp"

namespace camctl::rig {

namespace {

// libmosquitto keeps global state that is set up once per process.
void initialiseLibrary() {
    static const int initialised = mosquitto_lib_init();
    (void)initialised;
}

CameraError brokerError(const std::string& what, int code) {
    return CameraError("BrokerError", what + ": " + mosquitto_strerror(code));
}

}  // namespace

BrokerOptions parseBrokerUrl(const std::string& url) {
    BrokerOptions options;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        options.tls = true;
        options.port = 8883;
    } else {
        throw UsageError("--broker wants mqtt://HOST[:PORT] or mqtts://HOST[:PORT]");
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    const auto colon = rest.rfind(':');
    const bool bracketed = !rest.empty() && rest.front() == '[';
    const bool hasPort = colon != std::string::npos && (!bracketed || rest[colon - 1] == ']');
    options.host = hasPort ? rest.substr(0, colon) : rest;
    if (bracketed && options.host.size() >= 2 && options.host.back() == ']') {
        options.host = options.host.substr(1, options.host.size() - 2);
    }
    if (hasPort) {
        const std::string port = rest.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) < 1 ||
            std::stoi(port) > 65535) {
            throw UsageError("--broker: bad port in " + url);
        }
        options.port = std::stoi(port);
    }
    if (options.host.empty()) {
        throw UsageError("--broker: no host in " + url);
    }
    return options;
}

MqttClient::MqttClient(const BrokerOptions& broker, const std::string& clientId,
                       const std::vector<std::string>& subscriptions, Handler handler,
                       const std::optional<MqttMessage>& will, std::chrono::seconds connectLimit)
    : topics(subscriptions), handler(std::move(handler)) {
    initialiseLibrary();
    client = mosquitto_new(clientId.c_str(), true, this);
    if (client == nullptr) {
        throw CameraError("BrokerError", "cannot create an MQTT client");
    }
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Small messages must leave at once: a ping held back by Nagle's algorithm skews the clock
    // comparison by tens of milliseconds.
    mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(client, &MqttClient::onConnect);
    mosquitto_message_callback_set(client, &MqttClient::onMessage);
    int result = MOSQ_ERR_SUCCESS;
    if (!broker.user.empty()) {
        result =
            mosquitto_username_pw_set(client, broker.user.c_str(),
                                      broker.password.empty() ? nullptr : broker.password.c_str());
    }
    if (result == MOSQ_ERR_SUCCESS && (broker.tls || !broker.caFile.empty())) {
        result =
            mosquitto_tls_set(client, broker.caFile.empty() ? nullptr : broker.caFile.c_str(),
                              broker.caFile.empty() ? "/etc/ssl/certs" : nullptr,
                              broker.certFile.empty() ? nullptr : broker.certFile.c_str(),
                              broker.keyFile.empty() ? nullptr : broker.keyFile.c_str(), nullptr);
    }
    if (result == MOSQ_ERR_SUCCESS && will) {
        result =
            mosquitto_will_set(client, will->topic.c_str(), static_cast<int>(will->payload.size()),
                               will->payload.data(), will->qos, will->retain);
    }
    if (result == MOSQ_ERR_SUCCESS) {
        result =
            mosquitto_connect_async(client, broker.host.c_str(), broker.port, keepAliveSeconds);
    }
    if (result == MOSQ_ERR_SUCCESS) {
        result = mosquitto_loop_start(client);
    }
    if (result != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(client);
        throw brokerError("cannot connect to " + broker.host + ":" + std::to_string(broker.port),
                          result);
    }
    std::unique_lock<std::mutex> lock(mutex);
    connectedChanged.wait_for(lock, connectLimit, [this] { return connectResult.has_value(); });
    const std::optional<int> outcome = connectResult;
    lock.unlock();
    if (!outcome || *outcome != 0) {
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, true);
        mosquitto_destroy(client);
        throw CameraError(
            "BrokerError",
            "cannot connect to " + broker.host + ":" + std::to_string(broker.port) +
                (outcome ? std::string(": ") + mosquitto_connack_string(*outcome) : ": no answer"));
    }
}

MqttClient::~MqttClient() {
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
}

void MqttClient::publish(const MqttMessage& message) {
    const int result = mosquitto_publish(client, nullptr, message.topic.c_str(),
                                         static_cast<int>(message.payload.size()),
                                         message.payload.data(), message.qos, message.retain);
    if (result != MOSQ_ERR_SUCCESS) {
        throw brokerError("cannot publish on " + message.topic, result);
    }
}

void MqttClient::onConnect(mosquitto* client, void* self, int result) {
    auto* me = static_cast<MqttClient*>(self);
    if (result == 0) {
        for (const auto& topic : me->topics) {
            mosquitto_subscribe(client, nullptr, topic.c_str(), 1);
        }
    }
    const std::lock_guard<std::mutex> lock(me->mutex);
    me->connectResult = result;
    me->connectedChanged.notify_all();
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* me = static_cast<MqttClient*>(self);
    MqttMessage received;
    received.topic = message->topic != nullptr ? message->topic : "";
    received.payload.assign(static_cast<const char*>(message->payload),
                            static_cast<size_t>(message->payloadlen));
    received.qos = message->qos;
    received.retain = message->retain;
    // Nothing may unwind into the C library's thread.
    try {
        me->handler(received);
    } catch (const std::exception&) {
    }
}

}  // namespace camctl::rig
