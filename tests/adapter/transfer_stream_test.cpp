#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

#include "adapter/adapter_transfer_stream.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using namespace std::string_literals;

/// Writes, moves back, and moves past the end three ways; every seekable stream must end up
/// with the same bytes.
void runTransferMoves(std::ostream& out) {
    out << "abc";
    ASSERT_TRUE(seekOrZeroFill(out, std::ios_base::beg, 5));  // two zeros
    out << "d";
    ASSERT_TRUE(seekOrZeroFill(out, std::ios_base::beg, 1));  // back inside
    out << "B";
    ASSERT_TRUE(seekOrZeroFill(out, std::ios_base::cur, 6));  // from 2 to 8: two zeros
    out << "e";
    ASSERT_TRUE(seekOrZeroFill(out, std::ios_base::end, 1));  // one zero
    out << "f";
    ASSERT_TRUE(seekOrZeroFill(out, std::ios_base::end, 0));
    ASSERT_TRUE(seekOrZeroFill(out, std::ios_base::beg, 12));  // a gap with nothing after it
    ASSERT_TRUE(out.flush());
}

const std::string kExpected = "aBc\0\0d\0\0e\0f\0"s;

TEST(TransferStream, StringAndFileStreamsHoldTheSameBytesAfterMovesPastTheEnd) {
    std::stringstream both;
    runTransferMoves(both);
    EXPECT_EQ(both.str(), kExpected);

    std::ostringstream outOnly;
    runTransferMoves(outOnly);
    EXPECT_EQ(outOnly.str(), kExpected);

    // Bytes already in the stream count as written.
    std::ostringstream prefilled("0123456789");
    ASSERT_TRUE(seekOrZeroFill(prefilled, std::ios_base::end, 2));
    EXPECT_EQ(prefilled.str(), "0123456789\0\0"s);

    const std::string path = ::testing::TempDir() + "transfer_stream_test.bin";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        runTransferMoves(file);
    }
    std::ifstream back(path, std::ios::binary);
    const std::string onDisk((std::istreambuf_iterator<char>(back)), {});
    std::remove(path.c_str());
    EXPECT_EQ(onDisk, kExpected);
}

TEST(TransferStream, MovesBeforeTheStartOnAFailedStreamOrPastTheLargestPictureAreRefused) {
    std::ostringstream out;
    out << "abc";
    EXPECT_FALSE(seekOrZeroFill(out, std::ios_base::cur, -4));
    EXPECT_TRUE(out.fail());
    EXPECT_FALSE(seekOrZeroFill(out, std::ios_base::end, 2));
    EXPECT_EQ(out.str(), "abc");

    // A corrupt instruction must not make the host write gigabytes of zeros.
    const std::pair<std::ios_base::seekdir, std::streamoff> tooFar[] = {
        {std::ios_base::beg, kMaxTransferPosition + 1}, {std::ios_base::end, kMaxTransferPosition}};
    for (const auto& [way, offset] : tooFar) {
        std::ostringstream fresh;
        fresh << "abc";
        EXPECT_FALSE(seekOrZeroFill(fresh, way, offset));
        EXPECT_EQ(fresh.str(), "abc");
    }
}

/// An append-only sink, as a pipe or socket is: it cannot tell or change its position.
class AppendOnly : public std::streambuf {
public:
    std::string bytes;

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            bytes += traits_type::to_char_type(c);
        }
        return traits_type::not_eof(c);
    }
};

TEST(TransferStream, AStreamThatCannotSeekTakesForwardMovesOnly) {
    AppendOnly sink;
    std::ostream out(&sink);
    out << "ab";
    EXPECT_TRUE(seekOrZeroFill(out, std::ios_base::cur, 2));
    EXPECT_TRUE(seekOrZeroFill(out, std::ios_base::end, 1));
    EXPECT_TRUE(seekOrZeroFill(out, std::ios_base::end, 0));
    out << "c";
    EXPECT_EQ(sink.bytes, "ab\0\0\0c"s);

    EXPECT_FALSE(seekOrZeroFill(out, std::ios_base::beg, 6));
    EXPECT_TRUE(out.fail());
    EXPECT_EQ(sink.bytes, "ab\0\0\0c"s);
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
