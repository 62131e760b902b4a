#include <gtest/gtest.h>

#include "adapter/adapter_wire.hpp"
#include "adapter_fixture.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using Testing::propDesc;

TEST(PropDesc, ShortDataIsNeverReadPastItsEnd) {
    const auto full = propDesc(0x5007, 4, 560, {280, 560});
    for (size_t size = 0; size < full.size(); ++size) {
        SCOPED_TRACE(size);
        const PropDescView view{full.data(), size};
        if (size < 9) {
            EXPECT_EQ(view.current(2), std::nullopt);
        }
        EXPECT_EQ(view.enumeration(2), std::nullopt);
    }
    // A count that promises more values than were sent.
    auto lying = propDesc(0x5007, 4, 560, {280});
    lying[10] = 200;
    EXPECT_EQ((PropDescView{lying.data(), lying.size()}.enumeration(2)), std::nullopt);
    EXPECT_EQ((PropDescView{nullptr, 0}.current(2)), std::nullopt);
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

    // The lock byte counts only with a header word of 6 or more.
    const auto oldHeader = formatDataset(5, 0, 0, 2, 1, 3);
    EXPECT_EQ(decodeCaptureFormatKey(oldHeader.data(), oldHeader.size()), 0);

    // Too short to tell or to write: nothing is read past the end or changed.
    std::vector<uint8_t> tooShort(8, 0);
    EXPECT_EQ(decodeCaptureFormatKey(formatDataset(6, 0, 0, 2, 0, 0).data(), 9), std::nullopt);
    EXPECT_EQ(decodeQualityKey(tooShort.data(), 7), std::nullopt);
    EXPECT_FALSE(applyCaptureFormatKey(tooShort, 0, false));
    EXPECT_FALSE(applyQualityKey(tooShort, 0, true));
    EXPECT_EQ(tooShort, std::vector<uint8_t>(8, 0));
}

TEST(PtpStrings, ClockTextRoundTripAndParse) {
    const auto encoded = encodePtpAsciiString("20240131T235959");
    EXPECT_EQ(encoded, Testing::DatasetBuilder().string("20240131T235959").bytes());
    EXPECT_EQ(decodePtpString(encoded.data(), encoded.size()), "20240131T235959");
    // The count byte is not trusted, and a string without terminator ends with the data.
    auto unterminated = encoded;
    unterminated[0] = 200;
    EXPECT_EQ(decodePtpString(unterminated.data(), 9), "2024");
    EXPECT_EQ(decodePtpString(nullptr, 0), "");
    const std::vector<uint8_t> nonAscii = {3, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0, 0};
    EXPECT_EQ(decodePtpString(nonAscii.data(), nonAscii.size()), "\xC3\xA9\xF0\x9F\x98\x80");

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
