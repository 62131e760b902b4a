// The standard operations, reached through the library's own PTP transport.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "emulator_test_support.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using namespace Testing;

CameraConfig cardsConfig() {
    CameraConfig config = fastConfig();
    config.model = "QUORIN Alto II";
    config.serialNumber = "A1B2C3";
    config.firmwareVersion = "1.41";
    CardSlotConfig first;
    first.capacity = 32ull << 30;
    first.files = {{"DCIM/100QUORN/QRN_0001.JPG", 0},
                   {"DCIM/100QUORN/QRN_0002.QRW", 5 * 1024 * 1024 + 123},
                   {"DCIM/100QUORN/QRN_0003.MOV", 4096, true}};
    CardSlotConfig second;
    second.cardInserted = false;
    config.slots = {first, second};
    return config;
}

class Responder : public ::testing::Test {
protected:
    void SetUp() override { start(cardsConfig()); }

    void start(const CameraConfig& config) {
        camera_ = EmulatedCamera::create(config);
        device_ = camera_->openDevice();
        ASSERT_NE(device_, nullptr);
    }

    uint32_t handleOf(const std::string& path) const {
        for (const auto& object : camera_->objects()) {
            if (object.path == path) {
                return object.handle;
            }
        }
        return 0;
    }

    std::shared_ptr<EmulatedCamera> camera_;
    std::shared_ptr<MtpDevice> device_;
};

TEST_F(Responder, IdentityAndOperationsComeFromTheConfiguration) {
    EXPECT_EQ(device_->getSerialNumber(), "A1B2C3");
    EXPECT_EQ(device_->getFirmwareVersion(), "1.41");
    const auto ops = device_->getSupportedOperations();
    EXPECT_NE(std::find(ops.begin(), ops.end(), 0x9001), ops.end());
    EXPECT_NE(std::find(ops.begin(), ops.end(), 0x900B), ops.end());

    CameraConfig config = fastConfig();
    config.model = "Some Other Body";
    config.operations = CameraConfig::operationsWithout({0x900B, 0x9017});
    auto other = EmulatedCamera::create(config);
    auto device = other->openDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->getModel(), "Some Other Body");
    const auto fewer = device->getSupportedOperations();
    EXPECT_EQ(std::find(fewer.begin(), fewer.end(), 0x900B), fewer.end());
    EXPECT_EQ(read(*device, 0x900B, {0}).responseCode, 0x2005);
}

TEST_F(Responder, StoragesShowWhichSlotsHoldACard) {
    EXPECT_EQ(device_->getStorageIds(), (std::vector<uint32_t>{0x00010001, 0x00020000}));
    const auto card = device_->getStorageInfo(0x00010001);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->storageType, 4);
    EXPECT_EQ(card->accessCapability, 0);
    EXPECT_EQ(card->maxCapacity, 32ull << 30);
    EXPECT_LT(card->freeSpaceInBytes, card->maxCapacity);
    EXPECT_GT(card->freeSpaceInImages, 0u);
    const auto empty = device_->getStorageInfo(0x00020000);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->maxCapacity, 0u);
    EXPECT_EQ(device_->getStorageInfo(0x00030001), nullptr);

    std::vector<uint32_t> handles;
    EXPECT_FALSE(device_->getObjectHandles(0x00020000, 0, handles)) << "no card to list";

    ASSERT_TRUE(camera_->insertCard(2, 8ull << 30));
    EXPECT_EQ(device_->getStorageIds(), (std::vector<uint32_t>{0x00010001, 0x00020001}));
    EXPECT_TRUE(device_->getObjectHandles(0x00020000, 0, handles));
    EXPECT_TRUE(handles.empty());
    ASSERT_TRUE(camera_->removeCard(1));
    EXPECT_EQ(device_->getStorageIds()[0], 0x00010000u);
}

TEST_F(Responder, ObjectsListFoldersAndFilesWithTheirInfo) {
    std::vector<uint32_t> handles;
    // The storage id with bit 0 cleared addresses the same card.
    ASSERT_TRUE(device_->getObjectHandles(0x00010000, 0, handles));
    ASSERT_EQ(handles.size(), 5u);  // DCIM, 100QUORN and three files

    const auto dcim = device_->getObjectInfo(handles[0]);
    ASSERT_NE(dcim, nullptr);
    EXPECT_EQ(dcim->objectFormat, 0x3001);
    EXPECT_EQ(dcim->filename, "DCIM");
    EXPECT_EQ(dcim->parentObject, 0u);

    const auto jpeg = device_->getObjectInfo(handleOf("DCIM/100QUORN/QRN_0001.JPG"));
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->objectFormat, 0x3801);
    EXPECT_EQ(jpeg->storageId, 0x00010001u);
    EXPECT_EQ(jpeg->parentObject, handles[1]);
    EXPECT_EQ(jpeg->thumbFormat, 0x3808);
    EXPECT_EQ(jpeg->imagePixWidth, 1920u);
    EXPECT_NE(jpeg->captureDate, 0);

    const auto raw = device_->getObjectInfo(handleOf("DCIM/100QUORN/QRN_0002.QRW"));
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->objectFormat, 0x3000);
    EXPECT_EQ(raw->objectCompressedSize, 5u * 1024 * 1024 + 123);

    // Format filter and root-only listing.
    ASSERT_TRUE(device_->getObjectHandles(0x00010001, 0x3801, handles));
    EXPECT_EQ(handles.size(), 1u);
    ASSERT_EQ(read(*device_, 0x1007, {0xFFFFFFFF, 0, 0xFFFFFFFF}).responseCode, 0x2001);
    EXPECT_EQ(read(*device_, 0x1008, {0x7777}).responseCode, 0x2009);
    EXPECT_EQ(read(*device_, 0x1007, {0x00090001, 0, 0}).responseCode, 0x2008);
}

TEST_F(Responder, FilesOf4GiBAndMoreAreMadeOnTheFlyAndSizedBy64BitProperty) {
    CameraConfig config = fastConfig();
    CardSlotConfig slot;
    const uint64_t size = (5ull << 30) + 7;
    FileSpec unsized{"DCIM/100QUORN/QRN_0002.MOV", 3000};
    unsized.sizeAnnouncedAsZero = true;
    slot.files = {{"DCIM/100QUORN/QRN_0001.MOV", size}, unsized};
    config.slots = {slot};
    start(config);
    const uint32_t big = handleOf("DCIM/100QUORN/QRN_0001.MOV");
    const uint32_t small = handleOf("DCIM/100QUORN/QRN_0002.MOV");
    ASSERT_NE(big, 0u);
    ASSERT_NE(small, 0u);

    EXPECT_EQ(device_->getObjectInfo(big)->objectCompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(device_->getObjectInfo(small)->objectCompressedSize, 0u);
    const auto property = read(*device_, 0x9803, {big, 0xDC04});
    ASSERT_EQ(property.responseCode, 0x2001);
    ASSERT_EQ(property.dataSize, 8u);
    uint64_t told = 0;
    std::memcpy(&told, property.data.get(), 8);
    EXPECT_EQ(told, size);
    EXPECT_EQ(read(*device_, 0x9803, {big, 0xDC01}).responseCode, 0xA801);

    // The same bytes through both partial reads, and the last piece ends short.
    const auto low = read(*device_, 0x101B, {big, 0xFFFFFF00, 0x200});
    const auto wide = read(*device_, 0x95C1, {big, 0xFFFFFF00, 0, 0x200});
    ASSERT_EQ(low.dataSize, 0x200u);
    EXPECT_EQ(bytesOf(low), bytesOf(wide));
    EXPECT_EQ(bytesOf(low), camera_->objectData(big, 0xFFFFFF00, 0x200));
    // 5 GiB is 0x1'40000000.
    const auto tail = read(*device_, 0x95C1, {big, 0x40000000, 1, 0x100});
    EXPECT_EQ(tail.dataSize, 7u);
    EXPECT_EQ(read(*device_, 0x95C1, {big, 0x40000008, 1, 0x100}).responseCode, 0x201D);
    // One data phase cannot carry it whole.
    EXPECT_EQ(read(*device_, 0x1009, {big}).responseCode, 0x2002);
}

// The windows inside a file are checked over USB (usb_transport_test); here its ends.
TEST_F(Responder, PartialReadsEndAtTheFilesEnd) {
    const uint32_t handle = handleOf("DCIM/100QUORN/QRN_0002.QRW");
    const uint32_t size = 5u * 1024 * 1024 + 123;
    ASSERT_EQ(camera_->objectData(handle).size(), size);
    const auto last = read(*device_, 0x101B, {handle, size - 10, 0x100000});
    ASSERT_EQ(last.responseCode, 0x2001);
    ASSERT_EQ(last.parameters, std::vector<uint32_t>{10});
    EXPECT_EQ(bytesOf(last), camera_->objectData(handle, size - 10, 10));
    // Reading at the end gives nothing; past the end is refused.
    const auto atEnd = read(*device_, 0x101B, {handle, size, 0x100000});
    EXPECT_EQ(atEnd.responseCode, 0x2001);
    EXPECT_EQ(atEnd.dataSize, 0u);
    EXPECT_EQ(read(*device_, 0x101B, {handle, size + 1, 16}).responseCode, 0x201D);
    EXPECT_EQ(read(*device_, 0x101B, {0x7777, 0, 16}).responseCode, 0x2009);
}

TEST_F(Responder, ThumbnailsAreTheOnesEmbeddedInTheFiles) {
    const uint32_t jpeg = handleOf("DCIM/100QUORN/QRN_0001.JPG");
    const auto thumb = read(*device_, 0x100A, {jpeg});
    ASSERT_EQ(thumb.responseCode, 0x2001);
    const auto file = camera_->objectData(jpeg);
    Bytes embedded;
    ASSERT_TRUE(Jpeg::extractThumbnail(file.data(), file.size(), embedded));
    EXPECT_EQ(bytesOf(thumb), embedded);
    EXPECT_EQ(read(*device_, 0x100A, {handleOf("DCIM/100QUORN/QRN_0003.MOV")}).responseCode,
              0x2010);
}

TEST_F(Responder, DeletionRemovesObjectsButNotProtectedOnes) {
    const uint32_t jpeg = handleOf("DCIM/100QUORN/QRN_0001.JPG");
    const auto freeBefore = device_->getStorageInfo(0x00010001)->freeSpaceInBytes;
    EXPECT_EQ(run(*device_, 0x100B, {jpeg}).responseCode, 0x2001);
    EXPECT_EQ(run(*device_, 0x100B, {jpeg}).responseCode, 0x2009);
    EXPECT_EQ(device_->getObjectInfo(jpeg), nullptr);
    EXPECT_GT(device_->getStorageInfo(0x00010001)->freeSpaceInBytes, freeBefore);

    EXPECT_EQ(run(*device_, 0x100B, {handleOf("DCIM/100QUORN/QRN_0003.MOV")}).responseCode, 0x200D);
    // Deleting the folder takes what it can and keeps the protected file and its parents.
    EXPECT_EQ(run(*device_, 0x100B, {handleOf("DCIM")}).responseCode, 0x2012);
    EXPECT_NE(handleOf("DCIM/100QUORN/QRN_0003.MOV"), 0u);
    EXPECT_EQ(handleOf("DCIM/100QUORN/QRN_0002.QRW"), 0u);
}

TEST_F(Responder, InjectedFaultsAndTheTransactionLog) {
    camera_->clearTransactions();
    camera_->failNext(0x1004, 0x2019);
    EXPECT_EQ(read(*device_, 0x1004).responseCode, 0x2019);
    EXPECT_EQ(read(*device_, 0x1004).responseCode, 0x2001);

    camera_->failAlways(0x1005, 0x2002);
    EXPECT_EQ(device_->getStorageInfo(0x00010001), nullptr);
    EXPECT_EQ(device_->getStorageInfo(0x00010001), nullptr);

    camera_->truncateData(0x900F, 100, 1);
    EXPECT_EQ(read(*device_, 0x900F).dataSize, 100u);
    EXPECT_EQ(read(*device_, 0x900F).dataSize, 564u);
    camera_->clearFaults();
    EXPECT_NE(device_->getStorageInfo(0x00010001), nullptr);

    const auto log = camera_->transactions();
    ASSERT_GE(log.size(), 7u);
    EXPECT_EQ(log[0].operationCode, 0x1004);
    EXPECT_EQ(log[0].responseCode, 0x2019);
    EXPECT_EQ(log[0].dataSent, 0u);
    EXPECT_EQ(log[1].dataSent, 12u);  // count and two ids
    EXPECT_EQ(log[2].parameters, (std::vector<uint32_t>{0x00010001}));
    EXPECT_GT(log[2].transactionId, log[1].transactionId);

    const std::vector<uint8_t> on = u32Bytes(1);
    run(*device_, 0x1016, {0xD035}, on);
    EXPECT_EQ(camera_->transactions().back().dataReceived, 4u);
}

TEST_F(Responder, ConcurrentHostsAndBodyControlsKeepEveryAnswerWhole) {
    // Two hosts on one camera share its session, which no real USB camera allows: the
    // session rules are relaxed so that only the responder's own thread safety is tested.
    CameraConfig config = cardsConfig();
    config.sessionRules.requireSession = false;
    config.sessionRules.checkTransactionIds = false;
    start(config);
    const uint32_t raw = handleOf("DCIM/100QUORN/QRN_0002.QRW");
    const auto expected = camera_->objectData(raw);
    auto second = camera_->openDevice();
    ASSERT_NE(second, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread poller([&] {
        while (!stop) {
            const auto condition = read(*second, 0x900F);
            bad += condition.responseCode != 0x2001 || condition.dataSize != 564;
        }
    });
    std::thread dials([&] {
        for (int i = 0; !stop; ++i) {
            camera_->setExposureMode(i % 22);
            camera_->setShutterSpeed(1, 60 + i % 100);
            if (i % 50 == 0) {
                camera_->removeCard(2);
                camera_->insertCard(2, 1u << 30);
            }
        }
    });
    int wrongPieces = 0;
    for (uint32_t offset = 0; offset + 65536 <= expected.size(); offset += 65536 * 3) {
        const auto piece = read(*device_, 0x101B, {raw, offset, 65536});
        wrongPieces += piece.responseCode != 0x2001 || piece.dataSize != 65536 ||
                       !std::equal(expected.begin() + offset, expected.begin() + offset + 65536,
                                   piece.data.get());
    }
    stop = true;
    poller.join();
    dials.join();
    EXPECT_EQ(wrongPieces, 0);
    EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace Corvane::CameraController::Emulator
