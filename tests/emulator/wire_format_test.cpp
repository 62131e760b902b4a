// The camera's encoders against the library's decoders: what the emulator writes, the host
// reads back unchanged.
#include <gtest/gtest.h>

#include "adapter/adapter_wire.hpp"
#include "byte_writer.hpp"
#include "datasets.hpp"
#include "emulator_test_support.hpp"
#include "mtp/mtp_datasets.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using Impl::PropDescView;

TEST(WireFormat, PropDescRoundTripsAtEveryValueWidth) {
    struct Case {
        uint16_t dataType;
        size_t width;
        uint64_t current;
        std::vector<uint64_t> values;
    };
    const Case cases[] = {
        {0x0004, 2, 560, {280, 560}},
        {0x0003, 2, 0xFD44, {0xFD44, 0}},  // signed: two's complement kept
        {0x0006, 4, 0x8002, {2, 0x8002}},
        {0x0008,
         8,
         Wire::shutterCode(1, 8000),
         {Wire::shutterCode(0, 1), Wire::shutterCode(0xFFFFFFFF, 0xFFFFFFFF)}},  // bulb
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataType);
        const Bytes desc =
            Wire::encodePropDescEnum(0x5007, c.dataType, true, 0, c.current, c.values);
        const PropDescView view{desc.data(), desc.size()};
        EXPECT_EQ(view.dataType(), c.dataType);
        EXPECT_EQ(Impl::propDescValueSize(c.dataType), c.width);
        EXPECT_EQ(view.current(c.width), c.current);
        EXPECT_EQ(view.enumeration(c.width), c.values);
        EXPECT_EQ(Wire::encodeValue(c.dataType, c.current).size(), c.width);
        // A list cut short is refused, not read past its end.
        EXPECT_FALSE((PropDescView{desc.data(), desc.size() - 1}.enumeration(c.width)));
    }
    const Bytes battery = Wire::encodePropDescRange(0x5001, 0x0002, false, 100, 57, 0, 100, 1);
    EXPECT_EQ(Impl::decodeBatteryLevel(battery.data(), battery.size()), 57);
}

// The fields the camera tests read through the transport are checked there; these are not.
TEST(WireFormat, ConditionRoundTripsThroughTheHostsReader) {
    Wire::ConditionFields c;
    c.objectReady = 1;
    c.userSettingsMode = 3;
    c.slotFileFormat[1] = 4;
    const Bytes b = Wire::encodeCondition(c);
    const Impl::QuorinCameraCondition read(b.data(), static_cast<uint32_t>(b.size()));
    EXPECT_EQ(read.objectReady(), 1u);
    EXPECT_EQ(read.userSettingsMode(), 3u);
    EXPECT_EQ(read.slot2FileFormat(), 4u);
    EXPECT_TRUE(read.has(Impl::ConditionOffset::lastCaptureSlot));

    c.isoSensitivity = 6400;
    c.isoValid = 0;  // an ISO word marked invalid reads as 0
    const Bytes invalid = Wire::encodeCondition(c);
    EXPECT_EQ(Impl::QuorinCameraCondition(invalid.data(), 564).isoSensitivity(), 0u);
}

TEST(WireFormat, ImageFormatRoundTripsThroughBothReaders) {
    Wire::ImageFormatFields f;
    f.fileFormat = 2;
    f.jpegSize = 1;
    f.jpegGrade = 1;
    f.rawKind = 1;
    f.formatLock = 3;
    const Bytes b = Wire::encodeImageFormat(f);
    EXPECT_EQ(Impl::isImageFormatLocked(b.data(), b.size()), true);
    EXPECT_EQ(Impl::decodeQualityKey(b.data(), b.size()), 3 * 1 + 1);
    Wire::ImageFormatFields back;
    EXPECT_TRUE(Wire::decodeImageFormat(b.data(), b.size(), back));
    EXPECT_EQ(back.jpegSize, 1);
    EXPECT_EQ(back.fileFormat, 2);
    EXPECT_FALSE(Wire::decodeImageFormat(b.data(), b.size() - 1, back));
}

TEST(WireFormat, PtpStringsRoundTripAndACutCountIsRefused) {
    Wire::ByteWriter w;
    w.string("").string("Hi").string("\xC3\xA9");  // "é"
    EXPECT_EQ(w.bytes(), (Bytes{0x00, 0x03, 'H', 0, 'i', 0, 0, 0, 0x02, 0xE9, 0x00, 0, 0}));
    EXPECT_EQ(Impl::decodePtpString(w.bytes().data() + 1, 7), "Hi");
    EXPECT_EQ(Impl::decodePtpString(w.bytes().data() + 8, 5), "\xC3\xA9");

    std::string text;
    size_t consumed = 0;
    ASSERT_TRUE(Wire::readPtpString(w.bytes().data() + 1, w.size() - 1, text, consumed));
    EXPECT_EQ(text, "Hi");
    EXPECT_EQ(consumed, 7u);
    const Bytes cut{0x05, 'a', 0};
    EXPECT_FALSE(Wire::readPtpString(cut.data(), cut.size(), text, consumed));
}

// Object info is checked through the transport by the responder tests.
TEST(WireFormat, StorageInfoRoundTripsThroughTheHostsDecoder) {
    Wire::StorageInfoFields storage;
    storage.storageType = 4;
    storage.maxCapacity = 1ull << 36;
    storage.freeSpaceInBytes = 12345;
    storage.freeSpaceInObjects = 77;
    storage.description = "SD";
    storage.volumeLabel = "V";
    const Bytes s = Wire::encodeStorageInfo(storage);
    const auto si = Impl::decodeStorageInfo(s.data(), s.size());
    ASSERT_TRUE(si);
    EXPECT_EQ(si->storageType, 4);
    EXPECT_EQ(si->maxCapacity, 1ull << 36);
    EXPECT_EQ(si->freeSpaceInBytes, 12345u);
    EXPECT_EQ(si->freeSpaceInImages, 77u);
    EXPECT_EQ(si->storageDescription, "SD");
    EXPECT_EQ(si->volumeLabel, "V");
}

TEST(WireFormat, DateTimeTextRoundTripsAndRejectsNonsense) {
    int64_t t = 0;
    ASSERT_TRUE(Wire::parseDateTime("20240229T120000", t));
    EXPECT_EQ(Wire::formatDateTime(t), "20240229T120000");
    EXPECT_EQ(Impl::formatCameraDateTime(t), "20240229T120000");
    EXPECT_TRUE(Wire::parseDateTime("20240229T120000.0+0100", t));
    for (const char* bad : {"2024-02-29 12:00", "20241329T120000", ""}) {
        EXPECT_FALSE(Wire::parseDateTime(bad, t)) << bad;
    }
}

TEST(WireFormat, StillsCarryADecodableThumbnail) {
    PictureFactory pictures;
    const StillPicture still = pictures.still(3, 0, "shot 1");
    EXPECT_EQ(Testing::jpegSize(*still.file), std::make_pair(still.width, still.height));
    Bytes thumbnail;
    ASSERT_TRUE(Jpeg::extractThumbnail(still.file->data(), still.file->size(), thumbnail));
    EXPECT_EQ(thumbnail, *still.thumbnail);
    EXPECT_EQ(Testing::jpegSize(thumbnail), std::make_pair(kThumbnailWidth, kThumbnailHeight));
    // A thumbnail offset pointing far outside the segment is refused, not followed.
    Bytes corrupt = *still.file;
    const size_t tiff = 4 + 2 + 6;
    corrupt[tiff + 4] = corrupt[tiff + 5] = corrupt[tiff + 6] = corrupt[tiff + 7] = 0xFF;
    EXPECT_FALSE(Jpeg::extractThumbnail(corrupt.data(), corrupt.size(), thumbnail));
    // Two shots differ in their bytes even with the same settings.
    EXPECT_NE(*pictures.still(3, 0, "shot 2").file, *still.file);
}

}  // namespace
}  // namespace Corvane::CameraController::Emulator
