#include "mtp/usb/ptp_container.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace Corvane::CameraController::Impl::Ptp {
namespace {

TEST(PtpContainer, CommandWithParametersHasExactWireLayout) {
    Container command{ContainerType::Command, 0x1008, 0x01020304, {0xAABBCCDD, 7}};
    const std::vector<uint8_t> expected = {0x14, 0x00, 0x00, 0x00,  // length 20
                                           0x01, 0x00,              // command
                                           0x08, 0x10,              // GetObjectInfo
                                           0x04, 0x03, 0x02, 0x01,  // transaction id
                                           0xDD, 0xCC, 0xBB, 0xAA, 0x07, 0x00, 0x00, 0x00};
    EXPECT_EQ(encodeContainer(command), expected);
}

TEST(PtpContainer, CommandWithoutParametersCarriesOneZeroWord) {
    const auto bytes = encodeContainer({ContainerType::Command, 0x1001, 1, {}});
    ASSERT_EQ(bytes.size(), kHeaderSize + 4);
    EXPECT_EQ(bytes[0], 16);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 12, bytes.end()), std::vector<uint8_t>(4, 0));

    // Only commands are padded: an empty response is a bare header.
    EXPECT_EQ(encodeContainer({ContainerType::Response, 0x2001, 1, {}}).size(), kHeaderSize);
}

TEST(PtpContainer, ParametersPastTheFifthAreDropped) {
    const auto bytes = encodeContainer({ContainerType::Command, 0x9011, 3, {1, 2, 3, 4, 5, 6, 7}});
    ASSERT_EQ(bytes.size(), kHeaderSize + 20);
    const auto decoded = decodeContainer(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->parameters, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
}

TEST(PtpContainer, RoundTripsEveryParameterCount) {
    for (size_t count = 0; count <= kMaxParameters; ++count) {
        Container original{ContainerType::Response, 0x2019, 0xFFFFFFFE, {}};
        for (size_t i = 0; i < count; ++i) {
            original.parameters.push_back(0x80000000u + static_cast<uint32_t>(i));
        }
        const auto bytes = encodeContainer(original);
        const auto decoded = decodeContainer(bytes.data(), bytes.size());
        ASSERT_TRUE(decoded) << count;
        EXPECT_EQ(decoded->type, original.type);
        EXPECT_EQ(decoded->code, original.code);
        EXPECT_EQ(decoded->transactionId, original.transactionId);
        EXPECT_EQ(decoded->parameters, original.parameters);
    }
}

TEST(PtpContainer, DataHeaderCarriesPayloadLength) {
    uint8_t out[kHeaderSize];
    encodeDataHeader(0x1009, 42, 500, out);
    const auto header = decodeHeader(out, sizeof out);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->length, 512u);
    EXPECT_EQ(header->type, ContainerType::Data);
    EXPECT_EQ(header->code, 0x1009);
    EXPECT_EQ(header->transactionId, 42u);

    // A payload that does not fit the length field announces 0xFFFFFFFF.
    encodeDataHeader(0x1009, 42, 0xFFFFFFF4ull, out);
    EXPECT_EQ(decodeHeader(out, sizeof out)->length, 0xFFFFFFFFu);
    encodeDataHeader(0x1009, 42, 0xFFFFFFF2ull, out);
    EXPECT_EQ(decodeHeader(out, sizeof out)->length, 0xFFFFFFFEu);
}

TEST(PtpContainer, HeaderRejectsShortInputAndUnknownTypes) {
    const auto bytes = encodeContainer({ContainerType::Event, 0x4002, 9, {1}});
    EXPECT_FALSE(decodeHeader(bytes.data(), kHeaderSize - 1));
    EXPECT_FALSE(decodeHeader(nullptr, 0));
    EXPECT_TRUE(decodeHeader(bytes.data(), kHeaderSize));

    for (uint16_t type : {0, 5, 0xFFFF}) {
        auto copy = bytes;
        copy[4] = static_cast<uint8_t>(type);
        copy[5] = static_cast<uint8_t>(type >> 8);
        EXPECT_FALSE(decodeHeader(copy.data(), copy.size())) << type;
        EXPECT_FALSE(decodeContainer(copy.data(), copy.size())) << type;
    }
}

TEST(PtpContainer, MalformedContainersAreRejected) {
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
