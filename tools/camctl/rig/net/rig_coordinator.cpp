#include "rig/net/rig_coordinator.hpp"

#include <random>
#include <thread>

namespace camctl::rig {

namespace {

using json = nlohmann::json;

std::string randomSession() {
    std::random_device device;
    return std::to_string(device()) + std::to_string(device());
}

}  // namespace

RigCoordinator::RigCoordinator(const BrokerOptions& broker, std::string rigName)
    : rig(std::move(rigName)), session(randomSession()) {
    client =
        std::make_unique<MqttClient>(broker, "camctl-rig-" + session,
                                     std::vector<std::string>{rigTopic(rig) + "/agents/+/presence",
                                                              rigTopic(rig) + "/agents/+/reply"},
                                     [this](const MqttMessage& message) { receive(message); });
}

void RigCoordinator::receive(const MqttMessage& message) {
    const int64_t received = wallClockNs();
    json body = json::parse(message.payload, nullptr, false);
    if (!body.is_object()) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    if (const std::string agent = agentOfTopic(rig, message.topic, "presence"); !agent.empty()) {
        AgentPresence& presence = presences[agent];
        presence.state = body.value("state", "offline");
        presence.http = body.value("http", presence.http);
        if (body.contains("cameras")) {
            presence.cameras = body["cameras"];
        }
    } else if (const std::string replier = agentOfTopic(rig, message.topic, "reply");
               !replier.empty() && body.contains("id") && body["id"].is_string()) {
        const std::string id = body["id"];
        // Only answers to this coordinator's requests still waited for are kept; a late or
        // repeated (QoS 1) answer is dropped.
        if (pending.count(id) == 0) {
            return;
        }
        body["received"] = received;
        replies[id][replier] = std::move(body);
    }
    changed.notify_all();
}

std::string RigCoordinator::nextId() {
    const std::lock_guard<std::mutex> lock(mutex);
    return session + "-" + std::to_string(++sequence);
}

bool RigCoordinator::online(const std::string& agent) {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = presences.find(agent);
    return found != presences.end() && found->second.state == "online";
}

std::map<std::string, AgentPresence> RigCoordinator::agents(size_t count,
                                                            std::chrono::milliseconds limit) {
    // Retained presences follow the subscription at once; a short pause lets them all in.
    constexpr auto retainedPause = std::chrono::milliseconds(300);
    const auto settle = std::chrono::steady_clock::now() + retainedPause;
    const auto deadline = std::chrono::steady_clock::now() + std::max(limit, retainedPause);
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_until(lock, settle, [] { return false; });
    changed.wait_until(lock, deadline, [&] {
        size_t up = 0;
        for (const auto& [name, presence] : presences) {
            up += presence.state == "online" ? 1 : 0;
        }
        return up >= count;
    });
    return presences;
}

std::map<std::string, json> RigCoordinator::request(json command,
                                                    const std::set<std::string>& agents,
                                                    std::chrono::milliseconds limit) {
    const std::string id = nextId();
    command["id"] = id;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        pending.insert(id);
    }
    const bool ping = command.value("command", "") == "clock";
    client->publish({commandTopic(rig), command.dump(), ping ? 0 : 1, false});
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_until(lock, deadline, [&] {
        const auto& answered = replies[id];
        for (const auto& agent : agents) {
            const auto presence = presences.find(agent);
            const bool gone = presence == presences.end() || presence->second.state != "online";
            if (!gone && answered.count(agent) == 0) {
                return false;
            }
        }
        return true;
    });
    auto answers = std::move(replies[id]);
    replies.erase(id);
    pending.erase(id);
    return answers;
}

std::map<std::string, ClockOffset> RigCoordinator::compareClocks(
    const std::set<std::string>& agents, int rounds) {
    constexpr auto pingLimit = std::chrono::milliseconds(1000);
    std::map<std::string, ClockOffset> best;
    for (int round = 0; round < rounds; ++round) {
        const int64_t sent = wallClockNs();
        for (const auto& [agent, pong] :
             request({{"command", "clock"}, {"sent", sent}}, agents, pingLimit)) {
            ClockSample sample;
            sample.sent = sent;
            sample.agentReceived = pong.value("agentReceived", int64_t{0});
            sample.agentReplied = pong.value("agentReplied", int64_t{0});
            sample.received = pong.value("received", int64_t{0});
            const auto found = best.find(agent);
            if (found == best.end() || sample.roundTrip() < found->second.roundTrip) {
                best[agent] = {sample.offset(), sample.roundTrip()};
            }
        }
    }
    return best;
}

}  // namespace camctl::rig
