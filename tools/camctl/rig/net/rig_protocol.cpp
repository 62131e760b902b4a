#include "rig/net/rig_protocol.hpp"

#include "errors.hpp"

namespace camctl::rig {

std::string rigTopic(const std::string& rig) {
    return "camctl/rigs/" + rig;
}

std::string presenceTopic(const std::string& rig, const std::string& agent) {
    return rigTopic(rig) + "/agents/" + agent + "/presence";
}

std::string replyTopic(const std::string& rig, const std::string& agent) {
    return rigTopic(rig) + "/agents/" + agent + "/reply";
}

std::string commandTopic(const std::string& rig) {
    return rigTopic(rig) + "/command";
}

std::string agentOfTopic(const std::string& rig, const std::string& topic, const char* leaf) {
    const std::string head = rigTopic(rig) + "/agents/";
    const std::string tail = std::string("/") + leaf;
    if (topic.size() <= head.size() + tail.size() || topic.rfind(head, 0) != 0 ||
        topic.compare(topic.size() - tail.size(), tail.size(), tail) != 0) {
        return {};
    }
    const std::string agent = topic.substr(head.size(), topic.size() - head.size() - tail.size());
    return agent.find('/') == std::string::npos ? agent : std::string();
}

void checkTopicName(const std::string& what, const std::string& name) {
    if (name.empty() || name.size() > 64 ||
        name.find_first_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.") !=
            std::string::npos) {
        throw UsageError(what + ": use 1 to 64 letters, digits or -_.");
    }
}

int64_t wallClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace camctl::rig
