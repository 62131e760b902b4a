#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "mtp/usb/libusb_bulk_pipe.hpp"
#include "mtp/usb/libusb_device_provider.hpp"
#include "mtp/usb/still_image_interface.hpp"
#include "support/diagnostic_capture.hpp"

namespace Corvane::CameraController::Impl {
namespace {

libusb_endpoint_descriptor endpoint(uint8_t address, uint8_t type, uint16_t packetSize) {
    libusb_endpoint_descriptor descriptor{};
    descriptor.bEndpointAddress = address;
    descriptor.bmAttributes = type;
    descriptor.wMaxPacketSize = packetSize;
    return descriptor;
}

// One configuration whose interfaces each have a single setting. Deques keep the addresses
// the descriptors point at.
struct ConfigBuilder {
    std::deque<std::vector<libusb_endpoint_descriptor>> endpoints;
    std::deque<libusb_interface_descriptor> settings;
    std::vector<libusb_interface> interfaces;
    libusb_config_descriptor config{};

    void add(uint8_t number, uint8_t cls, uint8_t sub, uint8_t proto,
             std::vector<libusb_endpoint_descriptor> eps) {
        const auto& added = endpoints.emplace_back(std::move(eps));
        libusb_interface_descriptor& setting = settings.emplace_back();
        setting.bInterfaceNumber = number;
        setting.bInterfaceClass = cls;
        setting.bInterfaceSubClass = sub;
        setting.bInterfaceProtocol = proto;
        setting.bNumEndpoints = static_cast<uint8_t>(added.size());
        setting.endpoint = added.data();
        interfaces.push_back({&setting, 1});
        config.bNumInterfaces = static_cast<uint8_t>(interfaces.size());
        config.interface = interfaces.data();
    }
};

const auto kBulk = LIBUSB_TRANSFER_TYPE_BULK;
const auto kInterrupt = LIBUSB_TRANSFER_TYPE_INTERRUPT;

TEST(StillImageInterface, FindsThePtpInterfaceAndItsEndpoints) {
    ConfigBuilder builder;
    builder.add(0, 0xFF, 0, 0, {endpoint(0x81, kBulk, 512), endpoint(0x02, kBulk, 512)});
    builder.add(2, 6, 1, 1,
                {endpoint(0x83, kInterrupt, 8), endpoint(0x84, kBulk, 0x1400),
                 endpoint(0x05, kBulk, 0x1400)});
    const auto found = findStillImageInterface(builder.config);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->interfaceNumber, 2);
    EXPECT_EQ(found->bulkIn, 0x84);
    EXPECT_EQ(found->bulkOut, 0x05);
    EXPECT_EQ(found->interruptIn, 0x83);
    // High-bandwidth bits are not part of the packet size.
    EXPECT_EQ(found->packetSize, 1024);
}

TEST(StillImageInterface, IgnoresOtherClassesAndIncompleteInterfacesAndNamesDevices) {
    ConfigBuilder vendor;
    vendor.add(
        0, 0xFF, 0xFF, 0,
        {endpoint(0x81, kBulk, 512), endpoint(0x02, kBulk, 512), endpoint(0x83, kInterrupt, 8)});
    EXPECT_FALSE(findStillImageInterface(vendor.config));

    ConfigBuilder noBulkOut;
    noBulkOut.add(0, 6, 1, 1, {endpoint(0x81, kBulk, 512), endpoint(0x83, kInterrupt, 8)});
    EXPECT_FALSE(findStillImageInterface(noBulkOut.config));

    ConfigBuilder empty;
    EXPECT_FALSE(findStillImageInterface(empty.config));

    // Without an event endpoint the camera still works: events are polled.
    ConfigBuilder noInterrupt;
    noInterrupt.add(1, 6, 1, 1, {endpoint(0x02, kBulk, 64), endpoint(0x81, kBulk, 64)});
    const auto found = findStillImageInterface(noInterrupt.config);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->interruptIn, 0);
    EXPECT_EQ(found->packetSize, 64);
    // Devices are told apart by their port, and found on disk by bus and address.
    EXPECT_NE(usbDeviceKey(1, {2, 4}, 7), usbDeviceKey(1, {2, 5}, 7));
    EXPECT_EQ(usbDeviceNode(1, 7), "/dev/bus/usb/001/007");
}

TEST(LibusbBulkPipe, ParsesDeviceStatusAndItsHaltedEndpoints) {
    PipeDeviceStatus status;
    const uint8_t busy[] = {12, 0, 0x19, 0x20, 0x81, 0, 0, 0, 0x02, 0, 0, 0};
    ASSERT_TRUE(parseDeviceStatus(busy, sizeof busy, 0x81, 0x02, status));
    EXPECT_EQ(status.code, 0x2019);
    EXPECT_TRUE(status.bulkInHalted);
    EXPECT_TRUE(status.bulkOutHalted);

    // The length field bounds the endpoint list; a partial word is ignored.
    const uint8_t truncated[] = {6, 0, 0x01, 0x20, 0x81, 0, 0, 0};
    ASSERT_TRUE(parseDeviceStatus(truncated, sizeof truncated, 0x81, 0x02, status));
    EXPECT_EQ(status.code, 0x2001);
    EXPECT_FALSE(status.bulkInHalted);

    // A length field larger than the answer reads only what arrived.
    const uint8_t overlong[] = {64, 0, 0x01, 0x20, 0x02, 0, 0, 0};
    ASSERT_TRUE(parseDeviceStatus(overlong, sizeof overlong, 0x81, 0x02, status));
    EXPECT_TRUE(status.bulkOutHalted);
    EXPECT_FALSE(status.bulkInHalted);

    EXPECT_FALSE(parseDeviceStatus(busy, 3, 0x81, 0x02, status));
    EXPECT_FALSE(parseDeviceStatus(nullptr, 0, 0x81, 0x02, status));
}

// This runs on machines without a camera (CI, containers without USB): the listing must be
// empty, quiet and harmless. With a camera attached it lists it, and that is checked too.
TEST(LibusbDeviceProvider, ListsOnlyStillImageDevicesAndWritesNothing) {
    const CameraController::Testing::DiagnosticCapture diagnostics;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();

    LibusbDeviceProvider provider;
    const auto first = provider.listDevices();
    const auto second = provider.listDevices();

    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(diagnostics.lines(), ::testing::IsEmpty());
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].key, second[i].key) << "keys must stay stable while attached";
        EXPECT_THAT(first[i].key, ::testing::HasSubstr("usb:"));
        EXPECT_TRUE(first[i].open);
    }
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
