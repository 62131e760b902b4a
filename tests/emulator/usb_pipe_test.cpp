// The camera's side of the USB pipe, driven byte by byte as a host would: packet semantics,
// stalls, unplugging, and the PTP session rules the camera enforces.
#include <gtest/gtest.h>

#include <algorithm>

#include "corvane/emulator/emulated_camera.hpp"
#include "emulator_test_support.hpp"
#include "mtp/usb/bulk_pipe.hpp"
#include "usb/ptp_test_support.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using Impl::BulkPipe;
using Impl::PipeDeviceStatus;
using Impl::PipeEndpoint;
using Impl::PipeStatus;
namespace Ptp = Impl::Ptp;
using namespace Testing;

constexpr uint16_t kGetDeviceInfo = 0x1001;
constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kCloseSession = 0x1003;
constexpr uint16_t kGetStorageIds = 0x1004;
constexpr uint16_t kSetDevicePropValue = 0x1016;
constexpr uint16_t kOk = 0x2001;

class RawPipe : public ::testing::Test {
protected:
    void SetUp() override { start(); }

    void start(CameraConfig config = Testing::fastConfig()) {
        camera_ = EmulatedCamera::create(std::move(config));
        pipe_ = camera_->connect();
    }

    /// Sends a command container; without `id` the next transaction id is used.
    PipeStatus command(uint16_t code, std::vector<uint32_t> parameters = {}, uint32_t id = 0) {
        transaction_ = id != 0 || code == kOpenSession ? id : transaction_ + 1;
        const auto bytes = Impl::Testing::commandBytes(code, transaction_, std::move(parameters));
        return write(bytes.data(), bytes.size());
    }

    PipeStatus write(const uint8_t* data, size_t size, bool terminate = true) {
        size_t written = 0;
        return pipe_->writeBulk(data, size, written, 1000, terminate);
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

    /// One transaction without data phase from the host; a data container from the camera is
    /// skipped. The response code, 0 when none came.
    uint16_t transact(uint16_t code, uint32_t id, std::vector<uint32_t> parameters = {}) {
        if (command(code, std::move(parameters), id) != PipeStatus::Ok) {
            return 0;
        }
        for (int container = 0; container < 2; ++container) {
            const auto bytes = readTransfer(16384);
            if (bytes.size() >= 12 && le16(&bytes[4]) == 3) {
                return le16(&bytes[6]);
            }
        }
        return 0;
    }

    void openSession() { ASSERT_EQ(transact(kOpenSession, 0, {1}), kOk); }

    PipeDeviceStatus status() {
        PipeDeviceStatus result;
        EXPECT_EQ(pipe_->getDeviceStatus(result), PipeStatus::Ok);
        return result;
    }

    std::shared_ptr<EmulatedCamera> camera_;
    std::unique_ptr<BulkPipe> pipe_;
    uint32_t transaction_ = 0;
};

TEST_F(RawPipe, ATransferOfWholePacketsEndsWithAZeroLengthPacket) {
    const uint32_t handle = camera_->addFile(1, {"DCIM/100QUORN/QRN_0001.QRW", 8192});
    ASSERT_NE(handle, 0u);
    openSession();

    // 12 header bytes + 1012 payload bytes = two full packets.
    ASSERT_EQ(command(0x101B, {handle, 0, 1012}), PipeStatus::Ok);
    const auto data = readTransfer(1024);
    ASSERT_EQ(data.size(), 1024u);
    const auto expected = camera_->objectData(handle);
    EXPECT_TRUE(std::equal(data.begin() + 12, data.end(), expected.begin()));
    EXPECT_TRUE(readTransfer(512).empty()) << "the zero-length packet comes next";
    EXPECT_EQ(readResponseCode(), kOk);

    // A read with room to spare receives the packet boundary and the end in one go.
    ASSERT_EQ(command(0x101B, {handle, 0, 1012}), PipeStatus::Ok);
    EXPECT_EQ(readTransfer(4096).size(), 1024u);
    EXPECT_EQ(readResponseCode(), kOk);
}

TEST_F(RawPipe, AMalformedCommandStallsUntilTheHaltsAreCleared) {
    std::vector<uint8_t> bogus(40, 0);
    bogus[0] = 40;  // longer than any command can be
    bogus[4] = 1;
    EXPECT_EQ(write(bogus.data(), bogus.size()), PipeStatus::Stall);

    const PipeDeviceStatus halted = status();
    EXPECT_TRUE(halted.bulkInHalted);
    EXPECT_TRUE(halted.bulkOutHalted);
    EXPECT_NE(halted.code, kOk);
    EXPECT_EQ(command(kGetDeviceInfo), PipeStatus::Stall);

    EXPECT_EQ(pipe_->clearHalt(PipeEndpoint::BulkIn), PipeStatus::Ok);
    EXPECT_EQ(pipe_->clearHalt(PipeEndpoint::BulkOut), PipeStatus::Ok);
    EXPECT_EQ(status().code, kOk);
    EXPECT_EQ(transact(kOpenSession, 0, {1}), kOk);
}

TEST_F(RawPipe, AHostDataPhaseMaySpanSeveralWritesButNotEndEarly) {
    openSession();
    std::vector<uint8_t> data(12 + 1000, 0x5A);
    ASSERT_EQ(command(kSetDevicePropValue, {0xD0FF}), PipeStatus::Ok);
    Ptp::encodeDataHeader(kSetDevicePropValue, transaction_, 1000, data.data());
    ASSERT_EQ(write(data.data(), 512, false), PipeStatus::Ok);
    readTransfer(512, PipeStatus::Timeout, 20);  // nothing until the data is complete
    ASSERT_EQ(write(data.data() + 512, data.size() - 512), PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x200A) << "unknown property, after all data was taken";

    // A data container cut short by a short packet is a protocol error.
    ASSERT_EQ(command(kSetDevicePropValue, {0xD035}), PipeStatus::Ok);
    Ptp::encodeDataHeader(kSetDevicePropValue, transaction_, 4, data.data());
    EXPECT_EQ(write(data.data(), 14), PipeStatus::Stall);
}

TEST_F(RawPipe, DataForAnOperationThatTakesNoneIsSwallowed) {
    openSession();
    ASSERT_EQ(command(0x9999), PipeStatus::Ok);
    EXPECT_EQ(readResponseCode(), 0x2005);
    std::vector<uint8_t> data(12 + 8, 0);
    Ptp::encodeDataHeader(0x9999, transaction_, 8, data.data());
    EXPECT_EQ(write(data.data(), data.size()), PipeStatus::Ok);
    EXPECT_EQ(transact(kGetStorageIds, transaction_ + 1), kOk);
}

TEST_F(RawPipe, UnpluggingFailsEveryCallAtOnceAndReplugNeedsANewConnection) {
    openSession();
    camera_->unplug();
    EXPECT_FALSE(pipe_->isAttached());
    readTransfer(512, PipeStatus::Disconnected, 60000);
    EXPECT_EQ(command(kGetDeviceInfo), PipeStatus::Disconnected);

    camera_->replug();
    pipe_ = camera_->connect();
    EXPECT_TRUE(pipe_->isAttached());
    EXPECT_EQ(transact(kOpenSession, 0, {1}), kOk) << "the session ended with the cable";
}

using SessionRules = RawPipe;

TEST_F(SessionRules, OnlyDeviceInfoAndOpenSessionRunWithoutASession) {
    EXPECT_EQ(transact(kGetStorageIds, 1), 0x2003);
    EXPECT_EQ(transact(kGetDeviceInfo, 0), kOk);
    EXPECT_EQ(transact(kOpenSession, 0, {1}), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 1), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 2), kOk);
    EXPECT_EQ(transact(kOpenSession, 0, {1}), 0x201E);
    // The session goes on, numbered from the refused OpenSession: a restarted host's id 1
    // follows it, the old session's next id does not.
    EXPECT_EQ(transact(kGetDeviceInfo, 3), 0x2004);
    EXPECT_EQ(transact(kGetDeviceInfo, 1), kOk);
    EXPECT_EQ(transact(kCloseSession, 2), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 3), 0x2003);
    EXPECT_FALSE(camera_->snapshot().sessionOpen);
}

TEST_F(SessionRules, TransactionIdsMustFollowEachOtherInsideASession) {
    openSession();
    EXPECT_EQ(transact(kGetStorageIds, 2), 0x2004) << "a gap";
    EXPECT_EQ(transact(kGetStorageIds, 1), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 1), 0x2004) << "a repeat";
    EXPECT_EQ(transact(kGetStorageIds, 2), kOk);
    // An operation the camera does not offer still uses up its id.
    EXPECT_EQ(transact(0x9FFF, 3), 0x2005);
    EXPECT_EQ(transact(kGetStorageIds, 4), kOk);
}

TEST_F(SessionRules, DeviceResetAndCancelEndOrHoldTheSession) {
    openSession();
    ASSERT_EQ(pipe_->resetDevice(), PipeStatus::Ok);
    EXPECT_EQ(transact(kGetStorageIds, 1), 0x2003);
    openSession();

    // A cancelled camera reports busy while it winds down.
    camera_->setCancelWindDown(std::chrono::seconds(30));
    ASSERT_EQ(pipe_->cancel(1), PipeStatus::Ok);
    EXPECT_EQ(status().code, 0x2019);
    camera_->setCancelWindDown(std::chrono::seconds(0));
    ASSERT_EQ(pipe_->cancel(1), PipeStatus::Ok);
    EXPECT_EQ(status().code, kOk);
}

// The camera refuses a read-only property from the command alone: the data phase stalls and
// the reason waits in GET_DEVICE_STATUS until the host clears the halt.
TEST_F(SessionRules, RefusedDataPhaseStallsWithTheReasonInTheDeviceStatus) {
    openSession();
    ASSERT_EQ(command(kSetDevicePropValue, {0x5001}, 1), PipeStatus::Ok);
    std::vector<uint8_t> data(13);
    Ptp::encodeDataHeader(kSetDevicePropValue, 1, 1, data.data());
    EXPECT_EQ(write(data.data(), data.size()), PipeStatus::Stall);

    const PipeDeviceStatus refused = status();
    EXPECT_EQ(refused.code, 0x200F);
    EXPECT_TRUE(refused.bulkOutHalted);
    ASSERT_EQ(pipe_->clearHalt(PipeEndpoint::BulkOut), PipeStatus::Ok);
    EXPECT_EQ(status().code, kOk);
    // No response container follows, and the refused transaction used up its id.
    readTransfer(512, PipeStatus::Timeout, 50);
    EXPECT_EQ(transact(kGetStorageIds, 2), kOk);
}

TEST_F(SessionRules, EachRuleCanBeRelaxedOnItsOwn) {
    CameraConfig config = Testing::fastConfig();
    config.sessionRules.checkTransactionIds = false;
    start(config);
    EXPECT_EQ(transact(kGetStorageIds, 1), 0x2003) << "a session is still required";
    openSession();
    EXPECT_EQ(transact(kGetStorageIds, 7), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 7), kOk);

    config.sessionRules = {};
    config.sessionRules.requireSession = false;
    start(config);
    EXPECT_EQ(transact(kGetStorageIds, 1), kOk);
}

}  // namespace
}  // namespace Corvane::CameraController::Emulator
