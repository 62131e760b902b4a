// The PTP transport over the libusb binding, against the emulated camera on the USB bus.
#include <linux/usbdevice_fs.h>

#include <algorithm>

#include "libusb_program.hpp"
#include "usb_camera_fixture.hpp"

namespace Corvane::CameraController::UsbDeviceTest {
namespace {

using Emulator::CardSlotConfig;
using Emulator::Usb::UrbRecord;

constexpr uint16_t kGetObject = 0x1009;
constexpr uint16_t kSendObject = 0x100D;
constexpr size_t kPacket = 512;
constexpr size_t kHeader = 12;

// Data containers of 512 * n bytes end with a zero-length packet; one byte more or less
// ends with a short packet. Both must arrive whole, on either kind of host controller.
class DownloadTest : public UsbCameraTest, public ::testing::WithParamInterface<uint32_t> {
protected:
    void configure() override {
        hostOptions_.capabilities = GetParam();
        config_.slots = {CardSlotConfig{true, 8ull << 30, {}}};
        for (const size_t size : sizes()) {
            config_.slots[0].files.push_back(
                {"DCIM/100QUORN/QRN_" + std::to_string(size) + ".QRW", size, false});
        }
    }

    static std::vector<size_t> sizes() {
        return {kPacket - kHeader,      kPacket - kHeader + 1, kPacket - kHeader - 1,
                40 * kPacket - kHeader, (3u << 20) - kHeader,  (3u << 20) + 333,
                16384 - kHeader};
    }
};

TEST_P(DownloadTest, WholeObjectsArriveByteForByte) {
    openCamera();
    const bool splitting = GetParam() == Emulator::Usb::kSplittingHostCapabilities;
    bool chained = false;
    for (const auto& object : camera_->objects()) {
        if (object.size == 0) {
            continue;  // the folder
        }
        host_->device()->clearUrbLog();
        const auto response = run(readRequest(kGetObject, {object.handle}));
        ASSERT_EQ(response.responseCode, kOk) << object.path;
        EXPECT_EQ(bytesOf(response), camera_->objectData(object.handle)) << object.path;

        // The data container ends its own transfer, by a short packet or, when it fills
        // whole packets, a zero-length one; the response comes alone after it. A URB that
        // ended early in a chain of 16 KiB URBs reports -EREMOTEIO but holds its bytes.
        std::vector<size_t> transferEnds;
        size_t total = 0;
        for (const UrbRecord& urb : host_->device()->urbLog()) {
            chained = chained || (urb.flags & USBDEVFS_URB_BULK_CONTINUATION) != 0;
            if (splitting) {
                EXPECT_LE(urb.length, 16384u);
            }
            if (urb.endpoint == kBulkIn && (urb.status == 0 || urb.status == -EREMOTEIO)) {
                total += urb.actualLength;
                transferEnds.push_back(total);
            }
        }
        const size_t container = kHeader + object.size;
        EXPECT_NE(std::find(transferEnds.begin(), transferEnds.end(), container),
                  transferEnds.end())
            << object.path << ": the data container did not end a transfer";
        EXPECT_EQ(total, container + kHeader) << object.path;
    }
    // Without scatter-gather the host cut the big objects into chained 16 KiB URBs.
    EXPECT_TRUE(chained || !splitting);
}

INSTANTIATE_TEST_SUITE_P(HostControllers, DownloadTest,
                         ::testing::Values(Emulator::Usb::kModernHostCapabilities,
                                           Emulator::Usb::kSplittingHostCapabilities),
                         [](const auto& info) {
                             return info.param == Emulator::Usb::kModernHostCapabilities
                                        ? "ScatterGather"
                                        : "SixteenKiBUrbs";
                         });

// A camera that takes every data phase before it answers, so the host's side shows whole.
class DataTakingCameraTest : public UsbCameraTest {
protected:
    void configure() override { config_.sessionRules.stallRefusedData = false; }
};

TEST_F(DataTakingCameraTest, HostDataEndingOnAPacketBoundaryIsTerminated) {
    openCamera();
    host_->device()->clearUrbLog();
    const std::vector<uint8_t> payload(kPacket - kHeader, 0x5A);
    const auto response = run(writeRequest(kSendObject, payload));
    // The camera refuses the object, but only after taking the whole data phase.
    EXPECT_NE(response.responseCode, 0);
    const auto log = host_->device()->urbLog();
    const auto full = std::find_if(log.begin(), log.end(), [](const UrbRecord& urb) {
        return urb.endpoint == kBulkOut && urb.actualLength == kPacket;
    });
    ASSERT_NE(full, log.end());
    const bool flagged = (full->flags & USBDEVFS_URB_ZERO_PACKET) != 0;
    const bool followed = std::next(full) != log.end() && std::next(full)->endpoint == kBulkOut &&
                          std::next(full)->length == 0;
    EXPECT_TRUE(flagged || followed) << "no zero-length packet after a whole-packet container";
}

TEST_F(UsbCameraTest, StalledBulkInIsClearedAndTheNextTransactionWorks) {
    openCamera();
    // Found again while held: the same object, not a second session.
    EXPECT_EQ(findCamera(), device_);
    const auto handle = camera_->objects().back().handle;
    host_->device()->stallNext(kBulkIn);
    const auto failed = run(readRequest(0x1008, {handle}));
    EXPECT_EQ(failed.responseCode, 0);
    const auto log = host_->device()->urbLog();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const UrbRecord& urb) {
        return urb.endpoint == kBulkIn && urb.status == -EPIPE;
    }));

    EXPECT_TRUE(device_->isConnected());
    const auto info = device_->getObjectInfo(handle);
    ASSERT_NE(info, nullptr) << "the binding did not recover from the stall";
    EXPECT_EQ(info->objectHandle, handle);
}

// Pulls the cable under a running transaction: it fails at once, and so does every later one.
void unplugAndExpectFailure(UsbCameraHost& host, std::future<Impl::MtpResponse>& pending,
                            Impl::MtpDevice& device) {
    const auto unplugged = std::chrono::steady_clock::now();
    host.unplug();
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(3)), std::future_status::ready)
        << "the transaction did not notice the unplug";
    EXPECT_EQ(pending.get().responseCode, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - unplugged, std::chrono::milliseconds(1000));
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(device.execute(readRequest(0x1001)).responseCode, 0);
}

TEST_F(UsbCameraTest, UnplugDuringADataPhaseFailsAtOnce) {
    openCamera();
    const auto handle = camera_->objects().back().handle;
    // The camera takes its time before the data phase starts: the host waits on bulk IN.
    camera_->setLatency(std::chrono::seconds(3));
    auto pending =
        std::async(std::launch::async, [&] { return run(readRequest(kGetObject, {handle})); });
    ASSERT_TRUE(eventually(
        [&] {
            const auto log = host_->device()->urbLog();
            return std::any_of(log.begin(), log.end(),
                               [](const UrbRecord& urb) { return urb.endpoint == kBulkOut; });
        },
        std::chrono::seconds(2)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    unplugAndExpectFailure(*host_, pending, *device_);
}

// A big object moving in 16 KiB URBs: the cable is pulled while its data phase runs.
class LongDownloadTest : public UsbCameraTest {
protected:
    void configure() override {
        hostOptions_.capabilities = Emulator::Usb::kSplittingHostCapabilities;
        config_.slots = {
            CardSlotConfig{true, 8ull << 30, {{"DCIM/100QUORN/BIG.QRW", 64u << 20, false}}}};
    }
};

TEST_F(LongDownloadTest, UnplugInTheMiddleOfTheDataFailsAtOnce) {
    openCamera();
    const auto big = camera_->objects().back();
    host_->device()->clearUrbLog();
    auto pending =
        std::async(std::launch::async, [&] { return run(readRequest(kGetObject, {big.handle})); });
    ASSERT_TRUE(eventually(
        [&] {
            const auto log = host_->device()->urbLog();
            return std::count_if(log.begin(), log.end(), [](const UrbRecord& urb) {
                       return urb.endpoint == kBulkIn && urb.actualLength == 16384;
                   }) > 8;
        },
        std::chrono::seconds(5)))
        << "the data phase did not start";
    ASSERT_NE(pending.wait_for(std::chrono::milliseconds(0)), std::future_status::ready)
        << "the download ended before the unplug; the object is too small for this host";

    unplugAndExpectFailure(*host_, pending, *device_);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
