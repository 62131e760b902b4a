// The coordinator's side of a rig: who is online, commands to every agent, clock comparison.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "rig/net/mqtt_client.hpp"
#include "rig/net/rig_protocol.hpp"

namespace camctl::rig {

struct AgentPresence {
    std::string state;  ///< "online" or "offline"
    std::string http;   ///< where its files are served
    nlohmann::json cameras = nlohmann::json::array();
};

/// How an agent's clock compares with the coordinator's.
struct ClockOffset {
    int64_t offset = 0;     ///< agent minus coordinator, ns
    int64_t roundTrip = 0;  ///< of the best sample, ns; the offset is good to half of it
};

class RigCoordinator {
public:
    /// Connects and subscribes to the rig's presences and replies.
    RigCoordinator(const BrokerOptions& broker, std::string rig);

    /// Waits until at least `count` agents are online or `limit` passed; always gives the
    /// retained presences a moment to arrive. Returns the agents (online or not) as known now.
    std::map<std::string, AgentPresence> agents(size_t count, std::chrono::milliseconds limit);

    /// Sends `command` to every agent and waits for the answers of `agents` until each answered,
    /// went offline, or `limit` passed. Returns the answers by agent; an agent missing from it
    /// did not answer.
    std::map<std::string, nlohmann::json> request(nlohmann::json command,
                                                  const std::set<std::string>& agents,
                                                  std::chrono::milliseconds limit);

    /// Compares clocks with each agent over `rounds` pings and keeps the sample with the
    /// shortest round trip. Agents that never answered are missing.
    std::map<std::string, ClockOffset> compareClocks(const std::set<std::string>& agents,
                                                     int rounds);

    /// True while `agent` is online.
    bool online(const std::string& agent);

private:
    void receive(const MqttMessage& message);
    std::string nextId();

    const std::string rig;
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, AgentPresence> presences;
    std::set<std::string> pending;  ///< ids of requests being waited for
    std::map<std::string, std::map<std::string, nlohmann::json>> replies;  ///< by id, agent
    uint64_t sequence = 0;
    const std::string session;
    std::unique_ptr<MqttClient> client;
};

}  // namespace camctl::rig
