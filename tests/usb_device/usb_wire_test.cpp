// The emulated device as any libusb program sees it: descriptors, packets, class requests,
// halts and claims, without the library's transport in between.
#include <libusb.h>

#include <cstring>

#include "libusb_program.hpp"
#include "mtp/usb/byte_order.hpp"
#include "usb_camera_fixture.hpp"

namespace Corvane::CameraController::UsbDeviceTest {
namespace {

namespace Ptp = Impl::Ptp;

constexpr uint8_t kInterruptIn = 0x83;
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

    void sendCommand(uint16_t code, uint32_t transactionId, std::vector<uint32_t> parameters = {}) {
        ASSERT_TRUE(program_->command(code, transactionId, std::move(parameters)));
    }

    std::vector<uint8_t> readIn(size_t capacity, int& rc) { return program_->read(capacity, rc); }

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

TEST_F(RawUsbTest, DescriptorsDescribeAHighSpeedStillImageInterfaceClaimedOnce) {
    libusb_device* device = libusb_get_device(handle_);
    EXPECT_EQ(libusb_get_device_speed(device), LIBUSB_SPEED_HIGH);
    libusb_config_descriptor* config = nullptr;
    ASSERT_EQ(libusb_get_active_config_descriptor(device, &config), LIBUSB_SUCCESS);
    ASSERT_EQ(config->bNumInterfaces, 1);
    const libusb_interface_descriptor& still = config->interface[0].altsetting[0];
    EXPECT_EQ(still.bInterfaceClass, LIBUSB_CLASS_IMAGE);
    EXPECT_EQ(still.bInterfaceSubClass, 1);
    EXPECT_EQ(still.bInterfaceProtocol, 1);
    ASSERT_EQ(still.bNumEndpoints, 3);
    EXPECT_EQ(still.endpoint[0].bEndpointAddress, kBulkIn);
    EXPECT_EQ(still.endpoint[0].wMaxPacketSize, 512);
    EXPECT_EQ(still.endpoint[1].bEndpointAddress, kBulkOut);
    EXPECT_EQ(still.endpoint[1].wMaxPacketSize, 512);
    EXPECT_EQ(still.endpoint[2].bEndpointAddress, kInterruptIn);
    EXPECT_EQ(still.endpoint[2].bmAttributes & 3, LIBUSB_TRANSFER_TYPE_INTERRUPT);
    libusb_free_config_descriptor(config);

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

TEST_F(RawUsbTest, ShortReadsLeaveTheRestAndShortPacketsEndTransfers) {
    int rc = 0;
    sendCommand(0x1002, 1, {1});  // OpenSession
    ASSERT_EQ(readIn(512, rc).size(), 12u);
    const auto picture = camera_->objects().back();
    ASSERT_GT(picture.size, 1024u);
    ASSERT_LT(picture.size, 4u << 20);
    sendCommand(0x1009, 2, {picture.handle});  // GetObject
    // A 512-byte read takes one packet of the data container; the rest waits.
    const auto first = readIn(512, rc);
    ASSERT_EQ(rc, LIBUSB_SUCCESS);
    ASSERT_EQ(first.size(), 512u);
    const uint32_t containerLength = Ptp::loadLe32(first.data());
    ASSERT_GT(containerLength, 512u);
    EXPECT_EQ(Ptp::loadLe16(first.data() + 4), 2);  // data container

    // A large read ends at the container's short packet; the response does not join it.
    const auto rest = readIn(4 << 20, rc);
    ASSERT_EQ(rc, LIBUSB_SUCCESS);
    EXPECT_EQ(first.size() + rest.size(), containerLength);
    const auto response = readIn(512, rc);
    ASSERT_EQ(rc, LIBUSB_SUCCESS);
    ASSERT_EQ(response.size(), 12u);
    EXPECT_EQ(Ptp::loadLe16(response.data() + 4), 3);
    EXPECT_EQ(Ptp::loadLe16(response.data() + 6), kOk);
    // Nothing more: a read waits out its timeout.
    std::vector<uint8_t> none(512);
    int moved = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkIn, none.data(), 512, &moved, 100),
              LIBUSB_ERROR_TIMEOUT);
}

TEST_F(RawUsbTest, GetDeviceStatusReportsHaltsUntilClearHalt) {
    auto status = deviceStatus();
    ASSERT_EQ(status.size(), 4u);
    EXPECT_EQ(Ptp::loadLe16(status.data()), 4);
    EXPECT_EQ(Ptp::loadLe16(status.data() + 2), kOk);

    host_->device()->stallNext(kBulkIn);
    int rc = 0;
    readIn(512, rc);
    EXPECT_EQ(rc, LIBUSB_ERROR_PIPE);
    readIn(512, rc);
    EXPECT_EQ(rc, LIBUSB_ERROR_PIPE) << "the endpoint stays halted until the host clears it";
    status = deviceStatus();
    ASSERT_EQ(status.size(), 8u);
    EXPECT_EQ(Ptp::loadLe32(status.data() + 4), kBulkIn);

    ASSERT_EQ(libusb_clear_halt(handle_, kBulkIn), LIBUSB_SUCCESS);
    EXPECT_EQ(deviceStatus().size(), 4u);
    sendCommand(0x1001, 1);
    EXPECT_FALSE(readIn(64 * 1024, rc).empty());
    EXPECT_EQ(rc, LIBUSB_SUCCESS);
}

TEST_F(RawUsbTest, CancelDropsTheAnswerAndResetClearsHalts) {
    camera_->setLatency(std::chrono::milliseconds(300));
    sendCommand(0x1001, 7);
    uint8_t cancel[6];
    Ptp::storeLe16(cancel, 0x4001);
    Ptp::storeLe32(cancel + 2, 7);
    ASSERT_EQ(
        libusb_control_transfer(handle_, kClassOut, 0x64, 0, 0, cancel, sizeof cancel, kTimeoutMs),
        6);
    std::vector<uint8_t> none(512);
    int moved = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkIn, none.data(), 512, &moved, 600),
              LIBUSB_ERROR_TIMEOUT)
        << "the cancelled transaction was still answered";

    camera_->setLatency(std::chrono::milliseconds(0));
    host_->device()->stallNext(kBulkOut);
    uint8_t byte = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkOut, &byte, 1, &moved, kTimeoutMs),
              LIBUSB_ERROR_PIPE);
    ASSERT_EQ(libusb_control_transfer(handle_, kClassOut, 0x66, 0, 0, nullptr, 0, kTimeoutMs), 0);
    EXPECT_EQ(deviceStatus().size(), 4u) << "Device Reset leaves no endpoint halted";
    // Requests the camera does not offer stall the control pipe.
    uint8_t buffer[64];
    EXPECT_EQ(
        libusb_control_transfer(handle_, kClassIn, 0x65, 0, 0, buffer, sizeof buffer, kTimeoutMs),
        LIBUSB_ERROR_PIPE);
}

TEST_F(RawUsbTest, UnplugEndsWaitingTransfersWithNoDevice) {
    std::vector<uint8_t> data(512);
    auto waiting = std::async(std::launch::async, [&] {
        int moved = 0;
        return libusb_bulk_transfer(handle_, kBulkIn, data.data(), 512, &moved, 5000);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host_->unplug();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(waiting.get(), LIBUSB_ERROR_NO_DEVICE);
    uint8_t byte = 0;
    int moved = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkOut, &byte, 1, &moved, kTimeoutMs),
              LIBUSB_ERROR_NO_DEVICE);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
