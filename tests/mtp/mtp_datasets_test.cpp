#include "mtp/mtp_datasets.hpp"

#include <gtest/gtest.h>

#include <ctime>

#include "support/application_environment.hpp"
#include "support/dataset_builder.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using namespace Testing;

// Every proper prefix of a dataset must be rejected without reading past it.
template <typename Decode>
void expectEveryPrefixFails(const std::vector<uint8_t>& whole, Decode decode) {
    for (size_t length = 0; length < whole.size(); ++length) {
        // A heap copy of exactly `length` bytes lets sanitizers see any overread.
        std::vector<uint8_t> prefix(whole.begin(), whole.begin() + length);
        EXPECT_FALSE(decode(prefix.data(), prefix.size()).has_value()) << "length " << length;
    }
}

TEST(MtpString, DecodesToUtf8ConsumesTheWholeFieldAndFailsPastTheData) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string text;
        size_t consumed;
    };
    const Case cases[] = {
        {"empty: one byte", DatasetBuilder().u8(0).u16(0xBEEF).bytes(), "", 1},
        // N = 4: 'A', NUL, 'B', NUL. Only "A" is text; the field is still 9 bytes long.
        {"first NUL ends the text", DatasetBuilder().u8(4).u16('A').u16(0).u16('B').u16(0).bytes(),
         "A", 9},
        {"non-ASCII and surrogate pairs",
         DatasetBuilder().utf16({0x00E9, 0x20AC, 0xD83D, 0xDCF7}).bytes(),
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xB7", 11},
        // A high surrogate before a letter, a low one alone, a high one at the very end.
        {"lone surrogates", DatasetBuilder().utf16({0xD800, 'x', 0xDC00, 0xDBFF}).bytes(),
         "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD", 11},
        {"no terminator", DatasetBuilder().u8(2).u16('o').u16('k').bytes(), "ok", 5},
    };
    for (const Case& c : cases) {
        size_t consumed = 99;
        EXPECT_EQ(decodeMtpString(c.bytes.data(), c.bytes.size(), &consumed), c.text) << c.what;
        EXPECT_EQ(consumed, c.consumed) << c.what;
    }
    // A string longer than the data fails.
    expectEveryPrefixFails(
        DatasetBuilder().string("QUORIN").bytes(),
        [](const uint8_t* data, size_t size) { return decodeMtpString(data, size); });
    EXPECT_FALSE(decodeMtpString(nullptr, 10));
}

TEST(MtpDate, ReadsLocalTimeIgnoresTrailingFieldsAndRejectsGarbage) {
    std::tm expected{};
    expected.tm_year = 118;
    expected.tm_mon = 0;
    expected.tm_mday = 2;
    expected.tm_hour = 3;
    expected.tm_min = 4;
    expected.tm_sec = 5;
    expected.tm_isdst = -1;
    const int64_t seconds = static_cast<int64_t>(std::mktime(&expected));
    EXPECT_EQ(parseMtpDate("20180102T030405.0"), seconds);
    EXPECT_EQ(parseMtpDate("20180102T030405+0900"), seconds);
    EXPECT_EQ(parseMtpDate("20180102T030405"), seconds);
    EXPECT_EQ(parseMtpDate(""), 0);
    for (const char* garbage : {"2018-01-02 03:04:05", "20180102", "20180102X030405"}) {
        EXPECT_FALSE(parseMtpDate(garbage)) << garbage;
    }
}

TEST(MtpDate, SummerDatesAreReadWithDaylightSaving) {
#if defined(_WIN32)
    GTEST_SKIP() << "the Windows C runtime reads no daylight-saving rules from TZ";
#endif
    const TimeZoneGuard zone(kDaylightSavingZone);
    // 12:00 in Central European summer time is 10:00 UTC.
    EXPECT_EQ(parseMtpDate("20240715T120000"), 1721037600);
    EXPECT_EQ(parseMtpDate("20240115T120000"), 1705316400);
}

TEST(DeviceInfo, DecodesEveryField) {
    const DeviceInfoFields fields{
        {0x1001, 0x1002, 0x9001}, "Quorin Imaging", "QUORIN Delta X", "2.01", "SN-42", {0x4002},
        {0x5001, 0xD009}};
    const auto bytes = deviceInfoDataset(fields);

    const auto info = decodeDeviceInfo(bytes.data(), bytes.size());
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->complete);
    EXPECT_EQ(info->standardVersion, 100);
    EXPECT_EQ(info->vendorExtensionId, 6u);
    EXPECT_EQ(info->vendorExtensionDesc, "microsoft.com: 1.0");
    EXPECT_EQ(info->operationsSupported, fields.operations);
    EXPECT_EQ(info->eventsSupported, fields.events);
    EXPECT_EQ(info->devicePropertiesSupported, fields.properties);
    EXPECT_EQ(info->captureFormats, (std::vector<uint16_t>{0x3801}));
    EXPECT_EQ(info->imageFormats, (std::vector<uint16_t>{0x3801, 0x3000}));
    EXPECT_EQ(info->manufacturer, "Quorin Imaging");
    EXPECT_EQ(info->model, "QUORIN Delta X");
    EXPECT_EQ(info->deviceVersion, "2.01");
    EXPECT_EQ(info->serialNumber, "SN-42");
}

// A dataset cut after the operation list still names the operations, keeping the whole
// fields before the cut; one cut earlier, or a forged count, fails without allocating.
TEST(DeviceInfo, PartialDatasetsKeepWholeFieldsOrFail) {
    const auto opsOnly =
        DatasetBuilder().u16(100).u32(0).u16(0).u8(0).u16(0).u16Array({0x9001, 0x900F}).bytes();
    const auto info = decodeDeviceInfo(opsOnly.data(), opsOnly.size());
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->complete);
    EXPECT_EQ(info->operationsSupported, (std::vector<uint16_t>{0x9001, 0x900F}));
    EXPECT_TRUE(info->model.empty());

    DeviceInfoFields fields;
    fields.operations = {0x9001};
    auto cutSerial = deviceInfoDataset(fields);
    cutSerial.resize(cutSerial.size() - 3);
    const auto tail = decodeDeviceInfo(cutSerial.data(), cutSerial.size());
    ASSERT_TRUE(tail);
    EXPECT_FALSE(tail->complete);
    EXPECT_EQ(tail->model, fields.model);
    EXPECT_EQ(tail->deviceVersion, fields.deviceVersion);
    EXPECT_TRUE(tail->serialNumber.empty());

    expectEveryPrefixFails(
        DatasetBuilder().u16(100).u32(6).u16(100).string("ext").u16(0).u16Array({1, 2}).bytes(),
        decodeDeviceInfo);
    const auto forged =
        DatasetBuilder().u16(100).u32(0).u16(0).u8(0).u16(0).u32(0xFFFFFFFF).bytes();
    EXPECT_FALSE(decodeDeviceInfo(forged.data(), forged.size()));
}

TEST(U32Array, DecodesInOrderAcceptsZeroCountAndRefusesShortData) {
    const auto some = DatasetBuilder().u32Array({0x00010001, 0x00020001}).bytes();
    EXPECT_EQ(decodeU32Array(some.data(), some.size()),
              (std::vector<uint32_t>{0x00010001, 0x00020001}));
    const auto none = DatasetBuilder().u32(0).bytes();
    EXPECT_EQ(decodeU32Array(none.data(), none.size()), std::vector<uint32_t>{});
    expectEveryPrefixFails(some, decodeU32Array);
    EXPECT_FALSE(decodeU32Array(nullptr, 0));
}

// Grouped as the fields go: ids and sizes, thumbnail, image, family, texts.
std::vector<uint8_t> objectInfoBytes(const std::string& captureDate) {
    DatasetBuilder info;
    info.u32(0x00010001).u16(0x3801).u16(0).u32(8000000);
    info.u16(0x3808).u32(9000).u32(160).u32(120);
    info.u32(6000).u32(4000).u32(24);
    info.u32(0x00000005).u16(0).u32(0).u32(7);
    info.string("QRN_0001.JPG").string(captureDate).string("").string("holiday");
    return info.bytes();
}

TEST(ObjectInfo, DecodesFieldsAndReadsAnUnreadableDateAsZero) {
    const auto bytes = objectInfoBytes("20180102T030405.0");
    const auto info = decodeObjectInfo(bytes.data(), bytes.size());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->storageId, 0x00010001u);
    EXPECT_EQ(info->objectFormat, 0x3801);
    EXPECT_EQ(info->objectCompressedSize, 8000000u);
    EXPECT_EQ(info->thumbFormat, 0x3808);
    EXPECT_EQ(info->thumbCompressedSize, 9000u);
    EXPECT_EQ(info->thumbPixWidth, 160u);
    EXPECT_EQ(info->thumbPixHeight, 120u);
    EXPECT_EQ(info->imagePixWidth, 6000u);
    EXPECT_EQ(info->imagePixHeight, 4000u);
    EXPECT_EQ(info->imageBitDepth, 24u);
    EXPECT_EQ(info->parentObject, 5u);
    EXPECT_EQ(info->sequenceNumber, 7u);
    EXPECT_EQ(info->filename, "QRN_0001.JPG");
    EXPECT_EQ(info->captureDate, *parseMtpDate("20180102T030405"));
    EXPECT_EQ(info->modificationDate, 0);
    EXPECT_EQ(info->keywords, "holiday");

    const auto undated = objectInfoBytes("yesterday");
    const auto unreadable = decodeObjectInfo(undated.data(), undated.size());
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->captureDate, 0);
    EXPECT_EQ(unreadable->keywords, "holiday");
}

TEST(InfoDatasets, EveryTruncationFails) {
    DatasetBuilder builder;
    builder.u16(0x0004).u16(0x0002).u16(0).u64(64ull << 30).u64(12345678901ull).u32(321);
    const auto storage = builder.string("SD1").string("QUORIN_CARD").bytes();
    ASSERT_TRUE(decodeStorageInfo(storage.data(), storage.size()));
    expectEveryPrefixFails(storage, decodeStorageInfo);
    expectEveryPrefixFails(objectInfoBytes("20180102T030405"), decodeObjectInfo);
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
