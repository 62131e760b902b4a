#include <gtest/gtest.h>

#include <vector>

#include "adapter/adapter_wire.hpp"

namespace Corvane::CameraController::Impl {
namespace {

// A DevicePropDesc of `dataType` whose value fields are `valueSize` bytes wide.
std::vector<uint8_t> propDesc(uint16_t dataType, size_t valueSize, uint64_t current,
                              const std::vector<uint64_t>& listed, size_t listWidth) {
    std::vector<uint8_t> out;
    appendLittleEndian(out, 0x5007, 2);
    appendLittleEndian(out, dataType, 2);
    out.push_back(1);                       // get/set
    appendLittleEndian(out, 0, valueSize);  // factory default
    appendLittleEndian(out, current, valueSize);
    out.push_back(2);  // enumeration form
    appendLittleEndian(out, listed.size(), 2);
    for (const uint64_t value : listed) {
        appendLittleEndian(out, value, listWidth);
    }
    return out;
}

TEST(PropDesc, ReadsCurrentValueAndEnumerationAtTheTypesPositions) {
    const auto u16 = propDesc(4, 2, 560, {280, 560, 800}, 2);
    const PropDescView view{u16.data(), u16.size()};
    EXPECT_EQ(view.current(2), 560u);
    EXPECT_EQ(view.enumeration(2), (std::vector<uint64_t>{280, 560, 800}));

    const auto u64 = propDesc(8, 8, 0x0000003C00000001ull, {0x0000003C00000001ull}, 8);
    const PropDescView wide{u64.data(), u64.size()};
    EXPECT_EQ(wide.current(8), 0x0000003C00000001ull);
    EXPECT_EQ(wide.enumeration(8), (std::vector<uint64_t>{0x0000003C00000001ull}));
}

TEST(PropDesc, ShortDataIsNeverReadPastItsEnd) {
    const auto full = propDesc(4, 2, 560, {280, 560}, 2);
    for (size_t size = 0; size < full.size(); ++size) {
        SCOPED_TRACE(size);
        const PropDescView view{full.data(), size};
        if (size < 9) {
            EXPECT_EQ(view.current(2), std::nullopt);
        }
        EXPECT_EQ(view.enumeration(2), std::nullopt);
    }
    // A count that promises more values than were sent.
    auto lying = propDesc(4, 2, 560, {280}, 2);
    lying[10] = 200;
    EXPECT_EQ((PropDescView{lying.data(), lying.size()}.enumeration(2)), std::nullopt);
    EXPECT_EQ((PropDescView{nullptr, 0}.current(2)), std::nullopt);
}

TEST(PropDesc, BatteryLevelOffsetFollowsTheDataType) {
    const std::vector<std::pair<uint16_t, size_t>> offsets = {
        {1, 6},  {2, 6},  {3, 7},  {4, 7},   {5, 9}, {6, 9},
        {7, 13}, {8, 13}, {9, 21}, {10, 21}, {0, 5}, {0x4002, 5}};
    for (const auto& [type, offset] : offsets) {
        SCOPED_TRACE(type);
        std::vector<uint8_t> data(32, 0xEE);
        data[2] = static_cast<uint8_t>(type);
        data[3] = static_cast<uint8_t>(type >> 8);
        data[offset] = 73;
        EXPECT_EQ(decodeBatteryLevel(data.data(), data.size()), 73);
        EXPECT_EQ(decodeBatteryLevel(data.data(), offset), std::nullopt);
    }
}

TEST(LiveViewGeometryWire, NeedsTheBytesItReads) {
    std::vector<uint8_t> data(16, 0);
    data[4] = 0xD0;  // 720
    data[5] = 0x02;
    data[6] = 0xE0;  // 480
    data[7] = 0x01;
    data[12] = 0x68;  // 360
    data[13] = 0x01;
    data[14] = 0xF0;  // 240
    const auto geometry = decodeLiveViewGeometry(data.data(), data.size());
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->width, 720);
    EXPECT_EQ(geometry->height, 480);
    EXPECT_EQ(geometry->focusWidth, 360);
    EXPECT_EQ(geometry->focusHeight, 240);
    EXPECT_EQ(decodeLiveViewGeometry(data.data(), 15), std::nullopt);
    EXPECT_TRUE(decodeLiveViewSize(data.data(), 8));
    EXPECT_EQ(decodeLiveViewSize(data.data(), 7), std::nullopt);
    EXPECT_EQ(encodeAutofocusPoint(360, 0x1234),
              (std::vector<uint8_t>{2, 0, 0, 0, 0x68, 0x01, 0x34, 0x12}));
}

std::vector<uint8_t> formatDataset(uint32_t header, uint8_t format, uint8_t size, uint8_t grade,
                                   uint8_t raw, uint8_t lock) {
    std::vector<uint8_t> data;
    appendLittleEndian(data, header, 4);
    for (const uint8_t byte : {format, format, size, grade, raw, lock, uint8_t{0xAB}}) {
        data.push_back(byte);
    }
    return data;
}

TEST(ImageFormatWire, KeysWrittenReadBackAndOnlyTheirBytesChange) {
    for (uint8_t key = 0; key <= 5; ++key) {
        auto dataset = formatDataset(6, 0, 3, 1, 0, 0);
        ASSERT_TRUE(applyCaptureFormatKey(dataset, key, false));
        EXPECT_EQ(decodeCaptureFormatKey(dataset.data(), dataset.size()), key);
        EXPECT_EQ(decodeQualityKey(dataset.data(), dataset.size()), 10) << int(key);
        EXPECT_EQ(dataset.back(), 0xAB);
    }
    for (uint8_t key = 0; key <= 11; ++key) {
        auto dataset = formatDataset(6, 2, 0, 2, 7, 0);
        ASSERT_TRUE(applyQualityKey(dataset, key, false));
        EXPECT_EQ(decodeQualityKey(dataset.data(), dataset.size()), key);
        EXPECT_EQ(decodeCaptureFormatKey(dataset.data(), dataset.size()), 4) << int(key);
    }
    EXPECT_EQ(decodeQualityKey(formatDataset(6, 0, 4, 2, 0, 0).data(), 8), 12);

    // Locked to raw and JPEG (only with a header word of 6 or more): byte 4 stays, byte 8 is
    // still written; class-1 cameras get byte 9 = 1.
    const auto oldHeader = formatDataset(5, 0, 0, 2, 1, 3);
    EXPECT_EQ(decodeCaptureFormatKey(oldHeader.data(), oldHeader.size()), 0);
    auto locked = formatDataset(6, 2, 0, 2, 1, 3);
    EXPECT_EQ(decodeCaptureFormatKey(locked.data(), locked.size()), 4);
    ASSERT_TRUE(applyCaptureFormatKey(locked, 1, true));
    EXPECT_EQ(locked, formatDataset(6, 2, 0, 2, 0, 1));

    // Too short to tell or to write: nothing is read past the end or changed.
    std::vector<uint8_t> tooShort(8, 0);
    EXPECT_EQ(decodeCaptureFormatKey(formatDataset(6, 0, 0, 2, 0, 0).data(), 9), std::nullopt);
    EXPECT_EQ(decodeQualityKey(tooShort.data(), 7), std::nullopt);
    EXPECT_FALSE(applyCaptureFormatKey(tooShort, 0, false));
    EXPECT_FALSE(applyQualityKey(tooShort, 0, true));
    EXPECT_EQ(tooShort, std::vector<uint8_t>(8, 0));
}

TEST(PtpStrings, ClockTextRoundTrip) {
    const auto encoded = encodePtpAsciiString("20240131T235959");
    ASSERT_EQ(encoded.size(), 33u);
    EXPECT_EQ(encoded[0], 16);
    EXPECT_EQ(encoded[1], '2');
    EXPECT_EQ(encoded[2], 0);
    EXPECT_EQ(encoded[31], 0);
    EXPECT_EQ(encoded[32], 0);
    EXPECT_EQ(decodePtpString(encoded.data(), encoded.size()), "20240131T235959");
    // The count byte is not trusted, and a string without terminator ends with the data.
    auto unterminated = encoded;
    unterminated[0] = 200;
    EXPECT_EQ(decodePtpString(unterminated.data(), 9), "2024");
    EXPECT_EQ(decodePtpString(nullptr, 0), "");
    const std::vector<uint8_t> nonAscii = {3, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0, 0};
    EXPECT_EQ(decodePtpString(nonAscii.data(), nonAscii.size()), "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(PtpStrings, CameraDateTextToBrokenDownTime) {
    const auto leap = parseCameraDateTime("20240229T120005");
    ASSERT_TRUE(leap);
    EXPECT_EQ(leap->tm_year, 124);
    EXPECT_EQ(leap->tm_mon, 1);
    EXPECT_EQ(leap->tm_mday, 29);
    EXPECT_EQ(leap->tm_hour, 12);
    EXPECT_EQ(leap->tm_min, 0);
    EXPECT_EQ(leap->tm_sec, 5);
    EXPECT_EQ(leap->tm_isdst, -1);
    EXPECT_TRUE(parseCameraDateTime("99991231T235960"));

    // Anything but the complete form would otherwise become a made-up date.
    for (const char* text :
         {"", "20240229", "20240229T1200", "20240229T12000", "20240229T1200051", "20240229 120005",
          "2024-229T120005", "+0240229T120005", "20241301T000000", "20240000T000000",
          "20230229T000000", "20240431T000000", "20240229T240000", "20240229T126000",
          "20240229T120061"}) {
        EXPECT_FALSE(parseCameraDateTime(text)) << text;
    }
    EXPECT_EQ(formatCameraDateTime(0).value_or("").size(), 15u);
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
