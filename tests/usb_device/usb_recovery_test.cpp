// What other programs leave behind and what this one leaves for them: sessions, claims and
// transfers cut short, through the libusb binding against the strict emulated camera.
#include <algorithm>

#include "libusb_program.hpp"
#include "usb_camera_fixture.hpp"

namespace Corvane::CameraController::UsbDeviceTest {
namespace {

constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kGetStorageIds = 0x1004;
constexpr uint16_t kGetObject = 0x1009;
constexpr uint16_t kSetDevicePropValue = 0x1016;
using OtherProgram = LibusbProgram;

// Connecting opens a device that discovery opened already: the session and its transaction
// ids go on, which a camera that checks them accepts.
TEST_F(UsbCameraTest, OpeningTheCameraAgainKeepsItsSession) {
    openCamera();
    ASSERT_TRUE(device_->open());
    ASSERT_TRUE(device_->open());
    EXPECT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    EXPECT_TRUE(device_->loadDeviceInfo());
}

TEST_F(UsbCameraTest, RefusedPropertyWriteReturnsTheCameraReason) {
    openCamera();
    const std::vector<uint8_t> level = {50};
    const Impl::MtpResponse refused = run(writeRequest(kSetDevicePropValue, level, {0x5001}));
    EXPECT_EQ(refused.responseCode, 0x200F) << "access denied, from the device status";
    EXPECT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
}

TEST_F(UsbCameraTest, CloseLetsAnotherProgramClaimTheCameraAndOpenTakesItBack) {
    openCamera();
    ASSERT_TRUE(device_->close());
    {
        OtherProgram other;
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
    const uint32_t handle = camera_->addFile(1, {"DCIM/100QUORN/BIG_0001.MOV", 48u << 20, false});
    ASSERT_NE(handle, 0u);
    {
        OtherProgram other;
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
class WindingDownCameraTest : public UsbCameraTest {
protected:
    /// Runs GetStorageIDs without expecting its data phase: the engine meets data it did
    /// not ask for and cancels the transaction. Returns the id the camera saw for it.
    uint32_t cancelledTransaction() {
        camera_->clearTransactions();
        EXPECT_EQ(run(mtpRequest(kGetStorageIds)).responseCode, 0);
        const auto seen = camera_->transactions();
        EXPECT_EQ(seen.size(), 1u);
        return seen.empty() ? 0 : seen.back().transactionId;
    }

    bool sessionReopened() const {
        const auto seen = camera_->transactions();
        return std::any_of(seen.begin(), seen.end(), [](const Emulator::TransactionRecord& t) {
            return t.operationCode == kOpenSession;
        });
    }
};

TEST_F(WindingDownCameraTest, BusyForSecondsAfterACancelKeepsTheSession) {
    openCamera();
    ASSERT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    const uint64_t session = device_->sessionNumber();
    camera_->setCancelWindDown(std::chrono::seconds(2));
    const uint32_t cancelled = cancelledTransaction();

    EXPECT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    EXPECT_EQ(device_->sessionNumber(), session);
    EXPECT_FALSE(sessionReopened()) << "the camera was reset while it wound down";
    const auto seen = camera_->transactions();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.back().transactionId, cancelled + 1);
}

TEST_F(WindingDownCameraTest, CameraThatStaysBusyIsResetIntoANewSession) {
    openCamera();
    ASSERT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    const uint64_t session = device_->sessionNumber();
    // Far beyond the engine's bound; the reset ends the wind-down.
    camera_->setCancelWindDown(std::chrono::seconds(60));
    cancelledTransaction();

    EXPECT_EQ(run(readRequest(kGetStorageIds)).responseCode, kOk);
    EXPECT_TRUE(sessionReopened());
    EXPECT_NE(device_->sessionNumber(), session) << "the layer above would not restore its setup";
    EXPECT_EQ(camera_->transactions().back().transactionId, 1u);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
