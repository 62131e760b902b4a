// The pieces of the broker protocol that decide where things go: broker URLs, topic names,
// the clock comparison and the names an agent serves.
#include <gtest/gtest.h>

#include "errors.hpp"
#include "rig/net/agent_file_routes.hpp"
#include "rig/net/mqtt_client.hpp"
#include "rig/net/rig_protocol.hpp"

namespace {

using namespace camctl::rig;

TEST(RigProtocol, BrokerUrls) {
    const auto plain = parseBrokerUrl("mqtt://broker.local");
    EXPECT_EQ(plain.host, "broker.local");
    EXPECT_EQ(plain.port, 1883);
    EXPECT_FALSE(plain.tls);
    const auto secure = parseBrokerUrl("mqtts://[::1]:9000/");
    EXPECT_EQ(secure.host, "::1");
    EXPECT_EQ(secure.port, 9000);
    EXPECT_TRUE(secure.tls);
    for (const char* bad : {"tcp://h:1", "mqtt://", "mqtt://h:0", "mqtt://h:65536", "mqtt://h:x"}) {
        EXPECT_THROW(parseBrokerUrl(bad), camctl::UsageError) << bad;
    }
}

TEST(RigProtocol, TopicsAndServedFilesNameOnlyPlainAgentsAndFiles) {
    EXPECT_EQ(agentOfTopic("r", presenceTopic("r", "a1"), "presence"), "a1");
    EXPECT_EQ(agentOfTopic("r", replyTopic("r", "a1"), "presence"), "");
    EXPECT_EQ(agentOfTopic("r", "camctl/rigs/r/agents/a/b/presence", "presence"), "");
    EXPECT_EQ(agentOfTopic("r", "camctl/rigs/rx/agents/a/presence", "presence"), "");
    EXPECT_THROW(checkTopicName("--rig", "a/b"), camctl::UsageError);
    EXPECT_THROW(checkTopicName("--rig", "+"), camctl::UsageError);
    EXPECT_NO_THROW(checkTopicName("--rig", "booth-1.a_b"));
    // Served names stay inside the shot folder.
    EXPECT_TRUE(isServableName("R11_QRN_0001.JPG"));
    for (const char* bad : {"..", ".R11.partial", "a/b", "a\\b", "", "a b"}) {
        EXPECT_FALSE(isServableName(bad)) << bad;
    }
}

TEST(RigProtocol, ClockOffsetIsTheAgentsLeadWithinHalfTheRoundTrip) {
    // The agent's clock runs 5000 ahead; 300 on the way out, 100 back, 50 spent answering.
    ClockSample sample{1000, 1000 + 300 + 5000, 1000 + 300 + 50 + 5000, 1000 + 300 + 50 + 100};
    EXPECT_EQ(sample.roundTrip(), 400);
    EXPECT_EQ(sample.offset(), 5000 + (300 - 100) / 2);
}

}  // namespace
