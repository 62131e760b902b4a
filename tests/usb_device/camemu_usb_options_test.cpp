// camemu-usb's command line: what reaches the emulated camera and the bus.
#include <gtest/gtest.h>

#include "camemu_usb_options.hpp"

namespace Corvane::CameraController::Emulator::Usb {
namespace {

TEST(CamemuUsbOptions, CardFilesModelAndHostReachTheConfiguration) {
    std::string error;
    const auto options = parseCamemuUsbOptions(
        {"--model", "QUORIN Brio", "--files", "2", "--file", "DCIM/X/A.QRW:1012", "--split-urbs",
         "--", "gphoto2", "--list-files"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->camera.model, "QUORIN Brio");
    ASSERT_FALSE(options->camera.slots.empty());
    const auto& files = options->camera.slots[0].files;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].path, "DCIM/100QUORN/QRN_0001.JPG");
    EXPECT_EQ(files[1].path, "DCIM/100QUORN/QRN_0002.JPG");
    EXPECT_EQ(files[2].path, "DCIM/X/A.QRW");
    EXPECT_EQ(files[2].size, 1012u);
    EXPECT_EQ(options->camera.slots.size(), CameraConfig::slotCountOf("QUORIN Brio"));
    EXPECT_EQ(options->host.capabilities, kSplittingHostCapabilities);
    EXPECT_EQ(options->command, (std::vector<std::string>{"gphoto2", "--list-files"}));
    // No card leaves the slot empty whatever files were named.
    const auto noCard = parseCamemuUsbOptions({"--files", "3", "--no-card", "--", "true"}, error);
    ASSERT_TRUE(noCard) << error;
    EXPECT_FALSE(noCard->camera.slots[0].cardInserted);
    EXPECT_TRUE(noCard->camera.slots[0].files.empty());
}

TEST(CamemuUsbOptions, BadLinesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--files", "two", "--", "true"},
        {"--file", "A.JPG:big", "--", "true"},
        {"--replug-after", "100", "--", "true"},
        {"--time-scale", "fast", "--", "true"},
        {"--model"},
        {"--files", "2"},
        {"--frobnicate", "--", "true"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(parseCamemuUsbOptions(args, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    std::string error = "stale";
    EXPECT_FALSE(parseCamemuUsbOptions({"--help"}, error));
    EXPECT_TRUE(error.empty()) << "--help is not an error";
}

}  // namespace
}  // namespace Corvane::CameraController::Emulator::Usb
