// The camera's own encoders against the byte layouts the host reads.
#include <gtest/gtest.h>

#include "byte_writer.hpp"
#include "datasets.hpp"
#include "emulator_test_support.hpp"
#include "exposure.hpp"
#include "pictures.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using Testing::le16;
using Testing::le32;

TEST(WireFormat, ShutterSpeedValueIsNumeratorThenDenominator) {
    EXPECT_EQ(Wire::encodeValue(0x0008, Wire::shutterCode(1, 8000)),
              (Bytes{0x01, 0x00, 0x00, 0x00, 0x40, 0x1F, 0x00, 0x00}));
    // Bulb is all ones in both words.
    EXPECT_EQ(Wire::encodeValue(0x0008, Wire::shutterCode(0xFFFFFFFF, 0xFFFFFFFF)), Bytes(8, 0xFF));
}

TEST(WireFormat, PropDescPlacesValuesByDataTypeWidth) {
    // 16-bit: factory at 5, current at 7, form flag at 9, count at 10, values from 12.
    const Bytes aperture = Wire::encodePropDescEnum(0x5007, 0x0004, true, 560, 800, {280, 560});
    ASSERT_EQ(aperture.size(), 16u);
    EXPECT_EQ(le16(&aperture[0]), 0x5007);
    EXPECT_EQ(le16(&aperture[2]), 0x0004);
    EXPECT_EQ(aperture[4], 1);
    EXPECT_EQ(le16(&aperture[5]), 560);
    EXPECT_EQ(le16(&aperture[7]), 800);
    EXPECT_EQ(aperture[9], 2);
    EXPECT_EQ(le16(&aperture[10]), 2);
    EXPECT_EQ(le16(&aperture[12]), 280);
    EXPECT_EQ(le16(&aperture[14]), 560);

    // 64-bit shutter: current at 13, form at 21, count at 22, values from 24.
    const Bytes shutter = Wire::encodePropDescEnum(
        0xD00F, 0x0008, true, 0, Wire::shutterCode(1, 8000), {Wire::shutterCode(0, 1)});
    ASSERT_EQ(shutter.size(), 32u);
    EXPECT_EQ(le32(&shutter[13]), 1u);
    EXPECT_EQ(le32(&shutter[17]), 8000u);
    EXPECT_EQ(shutter[21], 2);
    EXPECT_EQ(le16(&shutter[22]), 1);

    // A signed 16-bit list keeps the two's-complement pattern.
    const Bytes bias = Wire::encodePropDescEnum(0x5010, 0x0003, true, 0, 0xFD44, {0xFD44});
    EXPECT_EQ(static_cast<int16_t>(le16(&bias[12])), -700);
}

TEST(WireFormat, BatteryDescHasItsCurrentValueAtByteSix) {
    const Bytes battery = Wire::encodePropDescRange(0x5001, 0x0002, false, 100, 57, 0, 100, 1);
    EXPECT_EQ(le16(&battery[2]), 0x0002);
    EXPECT_EQ(battery[6], 57);
    EXPECT_EQ(battery[7], 1);  // range form
}

TEST(WireFormat, ConditionWordsSitAtTheirOffsets) {
    Wire::ConditionFields c;
    c.cameraState = 2;
    c.objectReady = 1;
    c.objectHandle = 0x1234;
    c.userSettingsMode = 3;
    c.apertureWords[0] = 560;
    c.compensationWords[0] = static_cast<uint32_t>(-700);
    c.statusFlags = 0x4201;
    c.whiteBalanceWord = 0x8002;
    c.exposureMode = 8;
    c.shutterNumerator = 1;
    c.shutterDenominator = 250;
    c.isoSensitivity = 6400;
    c.slotFileFormat[0] = 3;
    c.slotFileFormat[1] = 4;
    c.slotInactive[0] = 0;
    c.slotInactive[1] = 1;
    c.adjustableMask = 0x27;
    c.slotIndex = 1;
    const Bytes b = Wire::encodeCondition(c);
    ASSERT_EQ(b.size(), 564u);
    EXPECT_EQ(le32(&b[0]), 0x8Cu);
    EXPECT_EQ(le32(&b[24]), 2u);
    EXPECT_EQ(le32(&b[32]), 1u);
    EXPECT_EQ(le32(&b[36]), 0x1234u);
    EXPECT_EQ(le32(&b[40]), 3u);
    EXPECT_EQ(le32(&b[64]), 560u);
    EXPECT_EQ(static_cast<int32_t>(le32(&b[72])), -700);
    EXPECT_EQ(le32(&b[104]), 0x4201u);
    EXPECT_EQ(le32(&b[108]), 1u);
    EXPECT_EQ(le32(&b[120]), 0x8002u);
    EXPECT_EQ(le32(&b[184]), 8u);
    EXPECT_EQ(le32(&b[272]), 1u);
    EXPECT_EQ(le32(&b[276]), 250u);
    EXPECT_EQ(le32(&b[312]), 6400u);
    EXPECT_EQ(le32(&b[464]), 3u);
    EXPECT_EQ(le32(&b[468]), 4u);
    EXPECT_EQ(le32(&b[484]), 0u);
    EXPECT_EQ(le32(&b[488]), 1u);
    EXPECT_EQ(le32(&b[504]), 0x27u);
    EXPECT_EQ(le32(&b[560]), 1u);
}

TEST(WireFormat, ImageFormatDatasetBytes) {
    Wire::ImageFormatFields f;
    f.fileFormat = 2;
    f.jpegSize = 1;
    f.jpegGrade = 1;
    f.rawKind = 1;
    f.formatLock = 3;
    const Bytes b = Wire::encodeImageFormat(f);
    ASSERT_EQ(b.size(), Wire::kImageFormatSize);
    EXPECT_GE(le32(&b[0]), 6u);  // new enough for the lock byte to count
    EXPECT_EQ(b[4], 2);
    EXPECT_EQ(b[5], 2);
    EXPECT_EQ(b[6], 1);
    EXPECT_EQ(b[7], 1);
    EXPECT_EQ(b[8], 1);
    EXPECT_EQ(b[9], 3);

    Wire::ImageFormatFields back;
    EXPECT_TRUE(Wire::decodeImageFormat(b.data(), b.size(), back));
    EXPECT_EQ(back.jpegSize, 1);
    EXPECT_FALSE(Wire::decodeImageFormat(b.data(), b.size() - 1, back));
}

TEST(WireFormat, PtpStrings) {
    Wire::ByteWriter w;
    w.string("").string("Hi").string("\xC3\xA9");  // "é"
    EXPECT_EQ(w.bytes(), (Bytes{0x00, 0x03, 'H', 0, 'i', 0, 0, 0, 0x02, 0xE9, 0x00, 0, 0}));

    std::string text;
    size_t consumed = 0;
    ASSERT_TRUE(Wire::readPtpString(w.bytes().data() + 1, w.size() - 1, text, consumed));
    EXPECT_EQ(text, "Hi");
    EXPECT_EQ(consumed, 7u);
    // A count that runs past the end is refused, not read.
    const Bytes cut{0x05, 'a', 0};
    EXPECT_FALSE(Wire::readPtpString(cut.data(), cut.size(), text, consumed));
}

TEST(WireFormat, StandardDatasetsKeepTheirFieldOffsets) {
    Wire::StorageInfoFields storage;
    storage.storageType = 4;
    storage.maxCapacity = 1ull << 36;
    storage.freeSpaceInBytes = 12345;
    storage.freeSpaceInObjects = 77;
    storage.description = "S";
    const Bytes s = Wire::encodeStorageInfo(storage);
    EXPECT_EQ(le16(&s[0]), 4);
    EXPECT_EQ(le32(&s[6]) | (uint64_t{le32(&s[10])} << 32), 1ull << 36);
    EXPECT_EQ(le32(&s[14]), 12345u);
    EXPECT_EQ(le32(&s[22]), 77u);
    EXPECT_EQ(s[26], 2);  // description "S" + terminator

    Wire::ObjectInfoFields object;
    object.storageId = 0x10001;
    object.objectFormat = 0x3801;
    object.compressedSize = 5ull << 32;  // does not fit: all ones on the wire
    object.parentObject = 9;
    object.filename = "A.JPG";
    const Bytes o = Wire::encodeObjectInfo(object);
    EXPECT_EQ(le32(&o[0]), 0x10001u);
    EXPECT_EQ(le16(&o[4]), 0x3801);
    EXPECT_EQ(le32(&o[8]), 0xFFFFFFFFu);
    EXPECT_EQ(le32(&o[38]), 9u);
    EXPECT_EQ(o[52], 6);
    EXPECT_EQ(o[53], 'A');
}

TEST(WireFormat, DateTimeTextRoundTripsAndRejectsNonsense) {
    int64_t t = 0;
    ASSERT_TRUE(Wire::parseDateTime("20240229T120000", t));
    EXPECT_EQ(Wire::formatDateTime(t), "20240229T120000");
    EXPECT_TRUE(Wire::parseDateTime("20240229T120000.0+0100", t));
    EXPECT_FALSE(Wire::parseDateTime("2024-02-29 12:00", t));
    EXPECT_FALSE(Wire::parseDateTime("20241329T120000", t));
    EXPECT_FALSE(Wire::parseDateTime("", t));
}

TEST(WireFormat, OfferedValuesUseTheCameraCodes) {
    const auto& comps = Exposure::compensations();
    EXPECT_EQ(comps.front(), -5000);
    EXPECT_EQ(comps.back(), 5000);
    // Third stops are coded 300 and 700, not 333 and 667.
    EXPECT_NE(std::find(comps.begin(), comps.end(), -4700), comps.end());
    EXPECT_NE(std::find(comps.begin(), comps.end(), 1300), comps.end());
    EXPECT_EQ(std::find(comps.begin(), comps.end(), 1333), comps.end());
    const auto& shutters = Exposure::shutterSpeeds();
    EXPECT_EQ(shutters.front(), (Exposure::ShutterSpeed{0, 1}));
    EXPECT_NE(std::find(shutters.begin(), shutters.end(), Exposure::ShutterSpeed{10, 25}),
              shutters.end());
    EXPECT_EQ(Exposure::adjustableMask(8) & 0x7, 0x7u);  // manual: aperture, shutter, ISO
    EXPECT_EQ(Exposure::adjustableMask(5) & 0x2, 0u);    // aperture priority: no shutter
    EXPECT_EQ(Exposure::adjustableMask(99), 0u);
}

TEST(WireFormat, StillsCarryADecodableThumbnail) {
    PictureFactory pictures;
    const StillPicture still = pictures.still(3, 0, "shot 1");
    uint32_t w = 0;
    uint32_t h = 0;
    ASSERT_TRUE(Jpeg::dimensions(still.file->data(), still.file->size(), w, h));
    EXPECT_EQ(w, still.width);
    EXPECT_EQ(h, still.height);
    Bytes thumbnail;
    ASSERT_TRUE(Jpeg::extractThumbnail(still.file->data(), still.file->size(), thumbnail));
    EXPECT_EQ(thumbnail, *still.thumbnail);
    ASSERT_TRUE(Jpeg::dimensions(thumbnail.data(), thumbnail.size(), w, h));
    EXPECT_EQ(w, kThumbnailWidth);
    EXPECT_EQ(h, kThumbnailHeight);
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
