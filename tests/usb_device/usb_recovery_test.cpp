// What other programs and the cable leave behind, and what this one leaves for them: sessions,
// claims and transfers cut short, through the libusb binding against the strict emulated camera.
#include <atomic>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
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

// The whole library, from CameraDeviceDetector down: what the library does above the transport
// is tested against the in-process emulator; here only the cable pulled and plugged back.
class DisconnectCounter : public CameraEventListener {
public:
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>&, DeviceInterface) override {
        ++disconnects;
    }
    std::atomic<int> disconnects{0};
};

std::shared_ptr<CameraDevice> detect(const std::string& serialNumber) {
    for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
        if (found->getSerialNumber() == serialNumber) {
            return found;
        }
    }
    return nullptr;
}

TEST_F(UsbCameraTest, UnplugIsReportedOnceAndReplugConnectsAgain) {
    const auto camera = detect(config_.serialNumber);
    ASSERT_NE(camera, nullptr) << "detect() did not find the camera on USB";
    const auto counter = std::make_shared<DisconnectCounter>();
    camera->addEventListener(counter);
    ASSERT_EQ(camera->connect(DeviceInterface::USB).getResult(), Result::Ok);

    host_->unplug();
    ASSERT_TRUE(
        eventually([&] { return counter->disconnects.load() > 0; }, std::chrono::seconds(5)))
        << "no deviceDisconnected after the unplug";
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(counter->disconnects.load(), 1);
    EXPECT_FALSE(camera->isConnected(DeviceInterface::USB));

    host_->replug();
    std::shared_ptr<CameraDevice> again;
    ASSERT_TRUE(eventually([&] { return (again = detect(config_.serialNumber)) != nullptr; },
                           std::chrono::seconds(5)));
    ASSERT_EQ(again->connect(DeviceInterface::USB).getResult(), Result::Ok);
    ISO iso;
    EXPECT_EQ(again->getCaptureSettings({&iso}).getResult(), Result::Ok);
    again->disconnect(DeviceInterface::USB);
    camera->disconnect(DeviceInterface::USB);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
