#include "mtp/usb/ptp_container.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace Corvane::CameraController::Impl::Ptp {
namespace {

TEST(PtpContainer, RoundTripsEveryParameterCountAndDropsThoseBeyondFive) {
    for (size_t count = 0; count <= kMaxParameters + 2; ++count) {
        SCOPED_TRACE(count);
        for (const auto type : {ContainerType::Command, ContainerType::Response}) {
            Container original{type, 0x2019, 0xFFFFFFFE, {}};
            for (size_t i = 0; i < count; ++i) {
                original.parameters.push_back(0x80000000u + static_cast<uint32_t>(i));
            }
            // Commands always carry at least one word, which then reads back as a zero.
            const size_t words = std::max<size_t>(std::min(count, kMaxParameters),
                                                  type == ContainerType::Command ? 1 : 0);
            const auto bytes = encodeContainer(original);
            EXPECT_EQ(bytes.size(), kHeaderSize + 4 * words);
            const auto decoded = decodeContainer(bytes.data(), bytes.size()).value_or(Container{});
            EXPECT_EQ(decoded.type, original.type);
            EXPECT_EQ(decoded.code, original.code);
            EXPECT_EQ(decoded.transactionId, original.transactionId);
            original.parameters.resize(words, 0);
            EXPECT_EQ(decoded.parameters, original.parameters);
        }
    }
}

// Data headers of ordinary sizes travel in every data phase of the engine's tests.
TEST(PtpContainer, PayloadTooLargeForTheLengthFieldAnnouncesAllOnes) {
    uint8_t out[kHeaderSize];
    encodeDataHeader(0x1009, 42, 0xFFFFFFF4ull, out);
    EXPECT_EQ(decodeHeader(out, sizeof out)->length, 0xFFFFFFFFu);
    encodeDataHeader(0x1009, 42, 0xFFFFFFF2ull, out);
    EXPECT_EQ(decodeHeader(out, sizeof out)->length, 0xFFFFFFFEu);
}

TEST(PtpContainer, MalformedContainersAreRejected) {
    const auto event = encodeContainer({ContainerType::Event, 0x4002, 9, {1}});
    EXPECT_FALSE(decodeHeader(event.data(), kHeaderSize - 1));
    EXPECT_FALSE(decodeHeader(nullptr, 0));
    EXPECT_TRUE(decodeHeader(event.data(), kHeaderSize));
    for (uint16_t type : {0, 5, 0xFFFF}) {
        auto copy = event;
        copy[4] = static_cast<uint8_t>(type);
        copy[5] = static_cast<uint8_t>(type >> 8);
        EXPECT_FALSE(decodeHeader(copy.data(), copy.size())) << type;
        EXPECT_FALSE(decodeContainer(copy.data(), copy.size())) << type;
    }

    const auto good = encodeContainer({ContainerType::Response, 0x2001, 5, {1, 2}});
    ASSERT_TRUE(decodeContainer(good.data(), good.size()));

    // Fewer bytes than the length field says, and more.
    EXPECT_FALSE(decodeContainer(good.data(), good.size() - 4));
    auto longer = good;
    longer.insert(longer.end(), {0, 0, 0, 0});
    EXPECT_FALSE(decodeContainer(longer.data(), longer.size()));

    // A partial parameter word, consistent with its own length field.
    auto partial = good;
    partial.pop_back();
    partial[0] = static_cast<uint8_t>(partial.size());
    EXPECT_FALSE(decodeContainer(partial.data(), partial.size()));

    // Six parameter words.
    auto six = encodeContainer({ContainerType::Response, 0x2001, 5, {1, 2, 3, 4, 5}});
    six.insert(six.end(), {6, 0, 0, 0});
    six[0] = static_cast<uint8_t>(six.size());
    EXPECT_FALSE(decodeContainer(six.data(), six.size()));

    // A length field below the header size.
    auto tiny = good;
    tiny[0] = 4;
    EXPECT_FALSE(decodeContainer(tiny.data(), tiny.size()));

    // Data containers have no parameters to decode.
    uint8_t data[kHeaderSize];
    encodeDataHeader(0x1001, 1, 0, data);
    EXPECT_FALSE(decodeContainer(data, sizeof data));
}

}  // namespace
}  // namespace Corvane::CameraController::Impl::Ptp
