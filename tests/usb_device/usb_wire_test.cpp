// The emulated device as any libusb program sees it: descriptors, class requests, halts and
// claims, without the library's transport in between. Packet semantics are the camera's own
// and are tested on its in-process pipe.
#include <libusb.h>

#include "libusb_program.hpp"
#include "mtp/usb/byte_order.hpp"
#include "usb_camera_fixture.hpp"

namespace Corvane::CameraController::UsbDeviceTest {
namespace {

namespace Ptp = Impl::Ptp;

constexpr unsigned kTimeoutMs = 2000;
constexpr uint8_t kClassIn =
    LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;
constexpr uint8_t kClassOut =
    LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;

/// The camera opened and its interface claimed by a program of the test's own.
class RawUsbTest : public UsbCameraTest {
protected:
    void SetUp() override {
        UsbCameraTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        program_ = std::make_unique<LibusbProgram>();
        ASSERT_TRUE(program_->opened());
        handle_ = program_->handle();
        ASSERT_EQ(program_->claim(), LIBUSB_SUCCESS);
    }

    void TearDown() override {
        program_.reset();
        UsbCameraTest::TearDown();
    }

    std::vector<uint8_t> deviceStatus() {
        std::vector<uint8_t> status(64);
        const int n = libusb_control_transfer(handle_, kClassIn, 0x67, 0, 0, status.data(),
                                              static_cast<uint16_t>(status.size()), kTimeoutMs);
        status.resize(static_cast<size_t>(std::max(n, 0)));
        return status;
    }

    std::unique_ptr<LibusbProgram> program_;
    libusb_device_handle* handle_ = nullptr;
};

// Every test finds the interface by its class and endpoints; what only other programs read is
// checked here.
TEST_F(RawUsbTest, DescriptorsComeFromTheDeviceAndTheInterfaceIsClaimedOnce) {
    libusb_device* device = libusb_get_device(handle_);
    EXPECT_EQ(libusb_get_device_speed(device), LIBUSB_SPEED_HIGH);
    EXPECT_EQ(libusb_get_max_packet_size(device, kBulkIn), 512);
    EXPECT_EQ(libusb_get_max_packet_size(device, kBulkOut), 512);
    EXPECT_GT(libusb_get_max_packet_size(device, 0x83), 0) << "no event endpoint";

    // String descriptors come from the device itself, over control transfers.
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(device, &descriptor);
    unsigned char text[128] = {};
    ASSERT_GT(libusb_get_string_descriptor_ascii(handle_, descriptor.iProduct, text, sizeof text),
              0);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "QUORIN Alto II");
    ASSERT_GT(
        libusb_get_string_descriptor_ascii(handle_, descriptor.iSerialNumber, text, sizeof text),
        0);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "3000001");
    // The interface this program claimed is not for a second one.
    LibusbProgram second;
    ASSERT_TRUE(second.opened());
    EXPECT_EQ(second.claim(), LIBUSB_ERROR_BUSY);
}

TEST_F(RawUsbTest, GetDeviceStatusReportsHaltsUntilClearHalt) {
    auto status = deviceStatus();
    ASSERT_EQ(status.size(), 4u);
    EXPECT_EQ(Ptp::loadLe16(status.data()), 4);
    EXPECT_EQ(Ptp::loadLe16(status.data() + 2), kOk);

    host_->device()->stallNext(kBulkIn);
    int rc = 0;
    program_->read(512, rc);
    EXPECT_EQ(rc, LIBUSB_ERROR_PIPE);
    program_->read(512, rc);
    EXPECT_EQ(rc, LIBUSB_ERROR_PIPE) << "the endpoint stays halted until the host clears it";
    status = deviceStatus();
    ASSERT_EQ(status.size(), 8u);
    EXPECT_EQ(Ptp::loadLe32(status.data() + 4), kBulkIn);

    ASSERT_EQ(libusb_clear_halt(handle_, kBulkIn), LIBUSB_SUCCESS);
    EXPECT_EQ(deviceStatus().size(), 4u);
    ASSERT_TRUE(program_->command(0x1001, 1));
    EXPECT_FALSE(program_->read(64 * 1024, rc).empty());
    EXPECT_EQ(rc, LIBUSB_SUCCESS);
}

TEST_F(RawUsbTest, CancelDropsTheAnswerAndResetClearsHalts) {
    camera_->setLatency(std::chrono::milliseconds(300));
    ASSERT_TRUE(program_->command(0x1001, 7));
    uint8_t cancel[6];
    Ptp::storeLe16(cancel, 0x4001);
    Ptp::storeLe32(cancel + 2, 7);
    ASSERT_EQ(
        libusb_control_transfer(handle_, kClassOut, 0x64, 0, 0, cancel, sizeof cancel, kTimeoutMs),
        6);
    int rc = 0;
    program_->read(512, rc, 600);
    EXPECT_EQ(rc, LIBUSB_ERROR_TIMEOUT) << "the cancelled transaction was still answered";

    camera_->setLatency(std::chrono::milliseconds(0));
    host_->device()->stallNext(kBulkOut);
    EXPECT_EQ(program_->write({0}), LIBUSB_ERROR_PIPE);
    ASSERT_EQ(libusb_control_transfer(handle_, kClassOut, 0x66, 0, 0, nullptr, 0, kTimeoutMs), 0);
    EXPECT_EQ(deviceStatus().size(), 4u) << "Device Reset leaves no endpoint halted";
    // Requests the camera does not offer stall the control pipe.
    uint8_t buffer[64];
    EXPECT_EQ(
        libusb_control_transfer(handle_, kClassIn, 0x65, 0, 0, buffer, sizeof buffer, kTimeoutMs),
        LIBUSB_ERROR_PIPE);
}

TEST_F(RawUsbTest, UnplugEndsWaitingTransfersWithNoDevice) {
    auto waiting = std::async(std::launch::async, [&] {
        int rc = 0;
        program_->read(512, rc, 5000);
        return rc;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host_->unplug();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(waiting.get(), LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(program_->write({0}), LIBUSB_ERROR_NO_DEVICE);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
