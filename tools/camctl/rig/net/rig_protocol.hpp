// The rig's topics and messages on the broker, and the clock comparison between hosts.
//
//   camctl/rigs/RIG/agents/AGENT/presence   retained, QoS 1: {"agent","state":"online"|"offline",
//                                           "http","cameras":[{"serial","model"}]}; the
//                                           broker publishes "offline" as the agent's will
//   camctl/rigs/RIG/command                 QoS 1 (clock pings QoS 0): {"id","command",...}
//   camctl/rigs/RIG/agents/AGENT/reply      QoS 1 (clock pongs QoS 0): {"id","agent","ok",...}
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace camctl::rig {

std::string rigTopic(const std::string& rig);  ///< "camctl/rigs/RIG"
std::string presenceTopic(const std::string& rig, const std::string& agent);
std::string replyTopic(const std::string& rig, const std::string& agent);
std::string commandTopic(const std::string& rig);
/// The agent named in a presence or reply topic of `rig`; empty for any other topic.
std::string agentOfTopic(const std::string& rig, const std::string& topic, const char* leaf);

/// Throws UsageError unless `name` is 1 to 64 letters, digits, '-', '_' or '.' (no wildcard,
/// no level separator).
void checkTopicName(const std::string& what, const std::string& name);

/// Nanoseconds since 1970 on this host's clock.
int64_t wallClockNs();

/// One clock ping: sent and received by the coordinator (t0, t3), received and answered by
/// the agent (t1, t2), each on its own clock.
struct ClockSample {
    int64_t sent = 0;
    int64_t agentReceived = 0;
    int64_t agentReplied = 0;
    int64_t received = 0;

    /// How far the agent's clock is ahead of the coordinator's, assuming equal delays each way.
    int64_t offset() const { return ((agentReceived - sent) + (agentReplied - received)) / 2; }
    /// The network's part of the round trip; the offset is exact to within half of it.
    int64_t roundTrip() const { return (received - sent) - (agentReplied - agentReceived); }
};

}  // namespace camctl::rig
