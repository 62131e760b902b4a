// What other programs leave behind and what this one leaves for them: sessions, claims and
// transfers cut short, through the libusb binding against the strict emulated camera.
#include "libusb_program.hpp"
#include "usb_camera_fixture.hpp"

namespace Corvane::CameraController::UsbDeviceTest {
namespace {

constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kGetStorageIds = 0x1004;
constexpr uint16_t kGetObject = 0x1009;

// A data phase's reads are queued behind its command; a command the camera refuses by a
// stall must not leave them to catch the next transaction's answer.
TEST_F(UsbCameraTest, StalledCommandGivesUpTheReadsQueuedBehindIt) {
    openCamera();
    host_->device()->stallNext(kBulkOut);
    EXPECT_NE(run(readRequest(kGetStorageIds)).responseCode, kOk);
    const Impl::MtpResponse next = run(readRequest(kGetStorageIds));
    EXPECT_EQ(next.responseCode, kOk);
    EXPECT_GE(next.dataSize, 8u) << "the storage list, not a stray response";
    EXPECT_TRUE(device_->loadDeviceInfo());
}

TEST_F(UsbCameraTest, CloseLetsAnotherProgramClaimTheCameraAndOpenTakesItBack) {
    openCamera();
    ASSERT_TRUE(device_->close());
    {
        LibusbProgram other;
        ASSERT_TRUE(other.opened());
        EXPECT_EQ(other.claim(), LIBUSB_SUCCESS);
        // It finds no session left over from us.
        ASSERT_TRUE(other.command(kOpenSession, 0, {1}));
        EXPECT_GE(other.read(512), 12u);
        EXPECT_TRUE(camera_->snapshot().sessionOpen);
    }
    // The emulated bus lets go of a closed descriptor a moment later than a kernel would.
    ASSERT_TRUE(eventually([&] { return device_->open(); }, std::chrono::seconds(5)));
    EXPECT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
}

// A program died in the middle of a large download: the camera still streams it, in a
// session whose transaction ids only the dead program knew.
TEST_F(UsbCameraTest, CameraLeftStreamingByADeadProgramIsFoundAndWorks) {
    // Larger than the engine's biggest transfer; the rest is drained when the camera is found.
    const uint32_t handle = camera_->addFile(1, {"DCIM/100QUORN/BIG_0001.MOV", 12u << 20, false});
    ASSERT_NE(handle, 0u);
    {
        LibusbProgram other;
        ASSERT_TRUE(other.opened());
        ASSERT_EQ(other.claim(), LIBUSB_SUCCESS);
        ASSERT_TRUE(other.command(kOpenSession, 0, {1}));
        ASSERT_GE(other.read(512), 12u);
        ASSERT_TRUE(other.command(kGetObject, 1, {handle}));
        EXPECT_EQ(other.read(64 * 1024), 64u * 1024);
    }
    openCamera();
    EXPECT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    EXPECT_TRUE(device_->loadDeviceInfo());
}

// A camera that finishes writing before it takes a cancel reports Busy for a while. The
// engine waits that out: a reset would end the session and what was set up in it.
TEST_F(UsbCameraTest, BusyForSecondsAfterACancelKeepsTheSession) {
    openCamera();
    ASSERT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    const uint64_t session = device_->sessionNumber();
    camera_->setCancelWindDown(std::chrono::seconds(2));
    // GetStorageIDs without its data phase: the engine meets data it did not ask for and
    // cancels the transaction.
    camera_->clearTransactions();
    EXPECT_EQ(run(mtpRequest(kGetStorageIds)).responseCode, 0);

    EXPECT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    EXPECT_EQ(device_->sessionNumber(), session);
    const auto seen = camera_->transactions();
    ASSERT_EQ(seen.size(), 2u) << "the camera was reset while it wound down";
    EXPECT_EQ(seen[1].transactionId, seen[0].transactionId + 1);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
