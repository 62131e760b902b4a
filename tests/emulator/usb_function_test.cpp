// USB behaviour of the camera's side of the pipe, driven byte by byte as a host would.
#include <gtest/gtest.h>

#include "corvane/emulator/emulated_camera.hpp"
#include "emulator_test_support.hpp"
#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/ptp_container.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using Impl::BulkPipe;
using Impl::PipeEndpoint;
using Impl::PipeStatus;
namespace Ptp = Impl::Ptp;
using Testing::le16;
using Testing::le32;

class RawPipe : public ::testing::Test {
protected:
    void SetUp() override {
        camera_ = EmulatedCamera::create(Testing::fastConfig());
        pipe_ = camera_->connect();
    }

    PipeStatus command(uint16_t code, std::vector<uint32_t> parameters = {}) {
        const auto bytes = Ptp::encodeContainer(
            {Ptp::ContainerType::Command, code, ++transaction_, std::move(parameters)});
        size_t written = 0;
        return pipe_->writeBulk(bytes.data(), bytes.size(), written, 1000, true);
    }

    std::vector<uint8_t> readTransfer(size_t capacity, PipeStatus expected = PipeStatus::Ok,
                                      unsigned timeoutMs = 1000) {
        std::vector<uint8_t> buffer(capacity);
        size_t received = 0;
        EXPECT_EQ(pipe_->readBulk(buffer.data(), capacity, received, timeoutMs), expected);
        buffer.resize(received);
        return buffer;
    }

    uint16_t readResponseCode() {
        const auto bytes = readTransfer(512);
        EXPECT_EQ(bytes.size() >= 12 ? le16(&bytes[4]) : 0, 3) << "not a response container";
        return bytes.size() >= 12 ? le16(&bytes[6]) : 0;
    }

    std::shared_ptr<EmulatedCamera> camera_;
    std::unique_ptr<BulkPipe> pipe_;
    uint32_t transaction_ = 0;
};

TEST_F(RawPipe, AnswersWithOneShortTransferPerContainer) {
    EXPECT_EQ(command(0x1004), PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x2003) << "no session yet";

    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    const auto response = readTransfer(512);
    ASSERT_EQ(response.size(), 12u);
    EXPECT_EQ(le32(&response[0]), 12u);
    EXPECT_EQ(le16(&response[6]), 0x2001);
    EXPECT_EQ(le32(&response[8]), transaction_);

    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x201E);
}

TEST_F(RawPipe, ASmallReadLeavesTheRestOfTheTransfer) {
    ASSERT_EQ(command(0x1001), PipeStatus::Ok);
    const auto head = readTransfer(16);
    ASSERT_EQ(head.size(), 16u);
    EXPECT_EQ(le16(&head[4]), 2);  // data container
    EXPECT_EQ(le16(&head[6]), 0x1001);
    const uint32_t length = le32(&head[0]);
    const auto rest = readTransfer(4096);
    EXPECT_EQ(head.size() + rest.size(), length);
    EXPECT_EQ(readResponseCode(), 0x2001);
}

TEST_F(RawPipe, ATransferOfWholePacketsEndsWithAZeroLengthPacket) {
    const uint32_t handle = camera_->addFile(1, {"DCIM/100QUORN/QRN_0001.QRW", 8192});
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    ASSERT_EQ(readResponseCode(), 0x2001);

    // 12 header bytes + 1012 payload bytes = two full packets.
    ASSERT_EQ(command(0x101B, {handle, 0, 1012}), PipeStatus::Ok);
    const auto data = readTransfer(1024);
    ASSERT_EQ(data.size(), 1024u);
    const auto expected = camera_->objectData(handle);
    EXPECT_TRUE(std::equal(data.begin() + 12, data.end(), expected.begin()));
    EXPECT_TRUE(readTransfer(512).empty()) << "the zero-length packet comes next";
    EXPECT_EQ(readResponseCode(), 0x2001);

    // A read with room to spare receives the packet boundary and the end in one go.
    ASSERT_EQ(command(0x101B, {handle, 0, 1012}), PipeStatus::Ok);
    EXPECT_EQ(readTransfer(4096).size(), 1024u);
    EXPECT_EQ(readResponseCode(), 0x2001);
}

TEST_F(RawPipe, AMalformedCommandStallsUntilTheHaltsAreCleared) {
    std::vector<uint8_t> bogus(40, 0);
    bogus[0] = 40;  // longer than any command can be
    bogus[4] = 1;
    size_t written = 0;
    EXPECT_EQ(pipe_->writeBulk(bogus.data(), bogus.size(), written, 1000, true), PipeStatus::Stall);

    Impl::PipeDeviceStatus status;
    ASSERT_EQ(pipe_->getDeviceStatus(status), PipeStatus::Ok);
    EXPECT_TRUE(status.bulkInHalted);
    EXPECT_TRUE(status.bulkOutHalted);
    EXPECT_NE(status.code, 0x2001);
    EXPECT_EQ(command(0x1001), PipeStatus::Stall);

    EXPECT_EQ(pipe_->clearHalt(PipeEndpoint::BulkIn), PipeStatus::Ok);
    EXPECT_EQ(pipe_->clearHalt(PipeEndpoint::BulkOut), PipeStatus::Ok);
    ASSERT_EQ(pipe_->getDeviceStatus(status), PipeStatus::Ok);
    EXPECT_EQ(status.code, 0x2001);
    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x2001);
}

TEST_F(RawPipe, AHostDataPhaseMaySpanSeveralWritesButNotEndEarly) {
    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    ASSERT_EQ(readResponseCode(), 0x2001);

    std::vector<uint8_t> data(12 + 1000, 0x5A);
    Ptp::encodeDataHeader(0x1016, transaction_ + 1, 1000, data.data());
    ASSERT_EQ(command(0x1016, {0xD0FF}), PipeStatus::Ok);
    size_t written = 0;
    ASSERT_EQ(pipe_->writeBulk(data.data(), 512, written, 1000, false), PipeStatus::Ok);
    readTransfer(512, PipeStatus::Timeout, 20);  // nothing until the data is complete
    ASSERT_EQ(pipe_->writeBulk(data.data() + 512, data.size() - 512, written, 1000, true),
              PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x200A) << "unknown property, after all data was taken";

    // A data container cut short by a short packet is a protocol error.
    ASSERT_EQ(command(0x1016, {0xD035}), PipeStatus::Ok);
    Ptp::encodeDataHeader(0x1016, transaction_, 4, data.data());
    EXPECT_EQ(pipe_->writeBulk(data.data(), 14, written, 1000, true), PipeStatus::Stall);
}

TEST_F(RawPipe, UnpluggingFailsEveryCallAtOnceAndReplugNeedsANewConnection) {
    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    ASSERT_EQ(readResponseCode(), 0x2001);
    camera_->unplug();
    EXPECT_FALSE(pipe_->isAttached());
    readTransfer(512, PipeStatus::Disconnected, 60000);
    EXPECT_EQ(command(0x1001), PipeStatus::Disconnected);

    camera_->replug();
    EXPECT_FALSE(pipe_->isAttached()) << "the old connection stays dead";
    pipe_ = camera_->connect();
    EXPECT_TRUE(pipe_->isAttached());
    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x2001) << "the session ended with the cable";
}

TEST_F(RawPipe, UnpluggingWakesABlockedRead) {
    std::thread unplugger([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        camera_->unplug();
    });
    readTransfer(512, PipeStatus::Disconnected, 60000);
    unplugger.join();
}

TEST_F(RawPipe, LatencyDelaysTheAnswerAndCancelDropsIt) {
    camera_->setLatency(std::chrono::milliseconds(300));
    ASSERT_EQ(command(0x1001), PipeStatus::Ok);
    readTransfer(512, PipeStatus::Timeout, 10);
    EXPECT_FALSE(readTransfer(512, PipeStatus::Ok, 2000).empty());
    EXPECT_EQ(readResponseCode(), 0x2001);

    camera_->setLatency(std::chrono::microseconds(0));
    ASSERT_EQ(command(0x1001), PipeStatus::Ok);
    EXPECT_EQ(pipe_->cancel(transaction_), PipeStatus::Ok);
    readTransfer(512, PipeStatus::Timeout, 10);
}

TEST_F(RawPipe, DataForAnOperationThatTakesNoneIsSwallowed) {
    ASSERT_EQ(command(0x1002, {1}), PipeStatus::Ok);
    ASSERT_EQ(readResponseCode(), 0x2001);
    ASSERT_EQ(command(0x9999), PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x2005);
    std::vector<uint8_t> data(12 + 8, 0);
    Ptp::encodeDataHeader(0x9999, transaction_, 8, data.data());
    size_t written = 0;
    EXPECT_EQ(pipe_->writeBulk(data.data(), data.size(), written, 1000, true), PipeStatus::Ok);
    ASSERT_EQ(command(0x1004), PipeStatus::Ok);
    ASSERT_FALSE(readTransfer(512).empty());  // storage ids
    EXPECT_EQ(readResponseCode(), 0x2001);
}

}  // namespace
}  // namespace Corvane::CameraController::Emulator
