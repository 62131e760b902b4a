// The PTP session rules the emulated camera enforces, driven over its USB pipe as a host would.
#include <gtest/gtest.h>

#include "corvane/emulator/emulated_camera.hpp"
#include "emulator_test_support.hpp"
#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/ptp_container.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using Impl::BulkPipe;
using Impl::PipeDeviceStatus;
using Impl::PipeEndpoint;
using Impl::PipeStatus;
namespace Ptp = Impl::Ptp;
using Testing::le16;

constexpr uint16_t kGetDeviceInfo = 0x1001;
constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kCloseSession = 0x1003;
constexpr uint16_t kGetStorageIds = 0x1004;
constexpr uint16_t kSetDevicePropValue = 0x1016;
constexpr uint16_t kOk = 0x2001;

class SessionRules : public ::testing::Test {
protected:
    void start(CameraConfig config = Testing::fastConfig()) {
        camera_ = EmulatedCamera::create(std::move(config));
        pipe_ = camera_->connect();
    }

    void SetUp() override { start(); }

    /// One transaction without data phase; the response code, 0 when none came.
    uint16_t transact(uint16_t code, uint32_t transactionId,
                      std::vector<uint32_t> parameters = {}) {
        const auto command = Ptp::encodeContainer(
            {Ptp::ContainerType::Command, code, transactionId, std::move(parameters)});
        size_t moved = 0;
        if (pipe_->writeBulk(command.data(), command.size(), moved, 1000, true) != PipeStatus::Ok) {
            return 0;
        }
        // Skips a data container (GetDeviceInfo, GetStorageIDs) up to the response.
        for (int container = 0; container < 2; ++container) {
            std::vector<uint8_t> buffer(16384);
            if (pipe_->readBulk(buffer.data(), buffer.size(), moved, 1000) != PipeStatus::Ok ||
                moved < 12) {
                return 0;
            }
            if (le16(&buffer[4]) == 3) {
                return le16(&buffer[6]);
            }
        }
        return 0;
    }

    PipeDeviceStatus status() {
        PipeDeviceStatus result;
        EXPECT_EQ(pipe_->getDeviceStatus(result), PipeStatus::Ok);
        return result;
    }

    std::shared_ptr<EmulatedCamera> camera_;
    std::unique_ptr<BulkPipe> pipe_;
};

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
    ASSERT_EQ(transact(kOpenSession, 0, {1}), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 2), 0x2004) << "a gap";
    EXPECT_EQ(transact(kGetStorageIds, 1), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 1), 0x2004) << "a repeat";
    EXPECT_EQ(transact(kGetStorageIds, 2), kOk);
    // An operation the camera does not offer still uses up its id.
    EXPECT_EQ(transact(0x9FFF, 3), 0x2005);
    EXPECT_EQ(transact(kGetStorageIds, 4), kOk);
}

TEST_F(SessionRules, DeviceResetEndsTheSession) {
    ASSERT_EQ(transact(kOpenSession, 0, {1}), kOk);
    ASSERT_EQ(pipe_->resetDevice(), PipeStatus::Ok);
    EXPECT_EQ(transact(kGetStorageIds, 1), 0x2003);
    EXPECT_EQ(transact(kOpenSession, 0, {1}), kOk);
}

// The camera refuses a read-only property from the command alone: the data phase stalls and
// the reason waits in GET_DEVICE_STATUS until the host clears the halt.
TEST_F(SessionRules, RefusedDataPhaseStallsWithTheReasonInTheDeviceStatus) {
    ASSERT_EQ(transact(kOpenSession, 0, {1}), kOk);
    const auto command =
        Ptp::encodeContainer({Ptp::ContainerType::Command, kSetDevicePropValue, 1, {0x5001}});
    size_t moved = 0;
    ASSERT_EQ(pipe_->writeBulk(command.data(), command.size(), moved, 1000, true), PipeStatus::Ok);
    std::vector<uint8_t> data(13);
    Ptp::encodeDataHeader(kSetDevicePropValue, 1, 1, data.data());
    EXPECT_EQ(pipe_->writeBulk(data.data(), data.size(), moved, 1000, true), PipeStatus::Stall);

    const PipeDeviceStatus refused = status();
    EXPECT_EQ(refused.code, 0x200F);
    EXPECT_TRUE(refused.bulkOutHalted);
    ASSERT_EQ(pipe_->clearHalt(PipeEndpoint::BulkOut), PipeStatus::Ok);
    EXPECT_EQ(status().code, kOk);
    // No response container follows, and the refused transaction used up its id.
    std::vector<uint8_t> buffer(512);
    EXPECT_EQ(pipe_->readBulk(buffer.data(), buffer.size(), moved, 50), PipeStatus::Timeout);
    EXPECT_EQ(transact(kGetStorageIds, 2), kOk);
}

TEST_F(SessionRules, CancelledCameraReportsBusyWhileItWindsDown) {
    camera_->setCancelWindDown(std::chrono::seconds(30));
    ASSERT_EQ(transact(kOpenSession, 0, {1}), kOk);
    ASSERT_EQ(pipe_->cancel(1), PipeStatus::Ok);
    EXPECT_EQ(status().code, 0x2019);
    camera_->setCancelWindDown(std::chrono::seconds(0));
    ASSERT_EQ(pipe_->cancel(1), PipeStatus::Ok);
    EXPECT_EQ(status().code, kOk);
}

TEST_F(SessionRules, EachRuleCanBeRelaxedOnItsOwn) {
    CameraConfig config = Testing::fastConfig();
    config.sessionRules.checkTransactionIds = false;
    start(config);
    EXPECT_EQ(transact(kGetStorageIds, 1), 0x2003) << "a session is still required";
    ASSERT_EQ(transact(kOpenSession, 0, {1}), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 7), kOk);
    EXPECT_EQ(transact(kGetStorageIds, 7), kOk);

    config.sessionRules = {};
    config.sessionRules.requireSession = false;
    start(config);
    EXPECT_EQ(transact(kGetStorageIds, 1), kOk);
}

}  // namespace
}  // namespace Corvane::CameraController::Emulator
