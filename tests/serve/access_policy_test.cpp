// Listen addresses and the token comparison, on their own.
#include <gtest/gtest.h>

#include "errors.hpp"
#include "serve/access_policy.hpp"

namespace {

using camctl::serve::isLocalOnlyAddress;
using camctl::serve::parseListenAddress;

TEST(ListenAddress, AcceptsHostPortAndIpv6InBracketsAndOnlyLoopbackGoesWithoutToken) {
    EXPECT_EQ(parseListenAddress("").host, "127.0.0.1");
    EXPECT_EQ(parseListenAddress("").port, 8080);
    EXPECT_EQ(parseListenAddress("0.0.0.0:9000").host, "0.0.0.0");
    EXPECT_EQ(parseListenAddress("0.0.0.0:9000").port, 9000);
    EXPECT_EQ(parseListenAddress(":0").port, 0);
    EXPECT_EQ(parseListenAddress(":0").host, "127.0.0.1");
    EXPECT_EQ(parseListenAddress("[::1]:81").host, "::1");
    EXPECT_EQ(parseListenAddress("[::1]:81").port, 81);
    for (const char* bad :
         {"host:", "host:99999", "host:-1", "host:8o", "::1:80", "[::1", "[::1]x"}) {
        EXPECT_THROW(parseListenAddress(bad), camctl::UsageError) << bad;
    }
    // Only the loopback names go without a token.
    EXPECT_TRUE(isLocalOnlyAddress("127.0.0.1"));
    EXPECT_TRUE(isLocalOnlyAddress("::1"));
    EXPECT_TRUE(isLocalOnlyAddress("localhost"));
    for (const char* open : {"0.0.0.0", "::", "127.0.0.2", "192.168.1.5", "", "127.0.0.1.nip.io"}) {
        EXPECT_FALSE(isLocalOnlyAddress(open)) << open;
    }
}

TEST(Token, GeneratedTokensDifferAndSecretsCompareExactly) {
    const auto a = camctl::serve::generateToken();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, camctl::serve::generateToken());
    EXPECT_TRUE(camctl::serve::sameSecret("abc", "abc"));
    EXPECT_FALSE(camctl::serve::sameSecret("abc", "abd"));
    EXPECT_FALSE(camctl::serve::sameSecret("abc", "abcd"));
    EXPECT_FALSE(camctl::serve::sameSecret("", "abc"));
    EXPECT_FALSE(camctl::serve::sameSecret("abc", ""));
}

}  // namespace
