// The camera's vendor behaviour: tether mode, condition, shooting, tether buffer, focus,
// live view and the exposure controls, reached through the library's PTP transport.
#include <gtest/gtest.h>

#include <algorithm>

#include "emulator_test_support.hpp"

namespace Corvane::CameraController::Emulator {
namespace {

using namespace Testing;
using CameraController::Testing::DatasetBuilder;

namespace ConditionOffset = Impl::ConditionOffset;
using Impl::StatusFlag::busyShooting;

CameraConfig noCardConfig() {
    CameraConfig config = fastConfig();
    config.slots = {CardSlotConfig{false, 0, {}, true}};
    return config;
}

class Behaviour : public ::testing::Test {
protected:
    void start(CameraConfig config = fastConfig()) {
        camera_ = EmulatedCamera::create(std::move(config));
        device_ = camera_->openDevice();
        ASSERT_NE(device_, nullptr);
        ASSERT_EQ(run(*device_, 0x9001, {0x0D, 0x13240, 1, 1, 0}).responseCode, 0x2001);
    }

    uint16_t setProperty(uint16_t property, const std::vector<uint8_t>& value) {
        return run(*device_, 0x1016, {property}, value).responseCode;
    }

    /// A shot without a card: the picture waits in the transfer buffer.
    void shootIntoBuffer() {
        ASSERT_EQ(run(*device_, 0x9011, {0, 2, 0, 0, 0}).responseCode, 0x2001);
        ASSERT_TRUE(pollCondition(*device_, [](const auto& c) { return c.objectReady() == 1; }));
    }

    bool waitUntilIdle() {
        return pollCondition(*device_,
                             [](const auto& c) { return (c.statusFlags() & busyShooting) == 0; });
    }

    /// Runs the tether transfer program of the waiting image: the file, its type_ and name_.
    std::vector<uint8_t> fetchTetherImage(uint32_t what) {
        const auto start = read(*device_, 0x900B, {what});
        EXPECT_EQ(start.responseCode, 0x2001);
        if (start.dataSize < 4) {
            return {};
        }
        type_ = start.data.get()[0];
        name_.clear();
        for (size_t i = 0; i + 1 < start.data.get()[3]; ++i) {
            name_.push_back(static_cast<char>(start.data.get()[4 + 2 * i]));
        }
        std::vector<uint8_t> file;
        size_t position = 0;
        for (int guard = 0; guard < 100; ++guard) {
            const auto next = read(*device_, 0x900C);
            EXPECT_EQ(next.responseCode, 0x2001);
            EXPECT_EQ(next.dataSize, 5u);
            const uint8_t instruction = next.data.get()[0];
            const uint32_t value = le32(next.data.get() + 1);
            instructions_.emplace_back(instruction, value);
            if (instruction == 2) {
                return file;
            }
            if (instruction == 4) {
                position = value;
            } else if (instruction == 6) {
                position = file.size() + value;
            } else if (instruction == 3) {
                for (uint32_t remaining = value; remaining != 0;) {
                    const auto piece = read(*device_, 0x900D, {remaining});
                    EXPECT_EQ(piece.responseCode, 0x2001);
                    if (piece.responseCode != 0x2001 || piece.parameters.empty() ||
                        piece.parameters[0] == 0) {
                        return {};
                    }
                    file.resize(std::max(file.size(), position + piece.parameters[0]));
                    std::copy(piece.data.get(), piece.data.get() + piece.parameters[0],
                              file.begin() + static_cast<long>(position));
                    position += piece.parameters[0];
                    remaining -= piece.parameters[0];
                }
            }
        }
        ADD_FAILURE() << "the transfer never finished";
        return {};
    }

    std::shared_ptr<EmulatedCamera> camera_;
    std::shared_ptr<MtpDevice> device_;
    std::vector<std::pair<uint8_t, uint32_t>> instructions_;
    uint8_t type_ = 0;
    std::string name_;
};

TEST_F(Behaviour, VendorParametersAreChecked) {
    start();
    EXPECT_EQ(run(*device_, 0x9001, {0x0C, 0, 1, 1, 0}).responseCode, 0x201D);
    EXPECT_EQ(run(*device_, 0x9001, {0x0D, 0, 7, 1, 0}).responseCode, 0x201D);
    EXPECT_EQ(run(*device_, 0x9004, {2, 0}).responseCode, 0x201D);
    EXPECT_EQ(run(*device_, 0x9011, {1, 2, 0, 0, 0}).responseCode, 0x201D);
    EXPECT_EQ(run(*device_, 0x9011, {0, 9, 0, 0, 0}).responseCode, 0x201D);
    EXPECT_EQ(run(*device_, 0x9016, {4, 2, 0, 0, 0}).responseCode, 0x201D);
    EXPECT_EQ(read(*device_, 0x900D, {100}).responseCode, 0xA005) << "nothing to transfer";
    EXPECT_EQ(run(*device_, 0x900E).responseCode, 0xA005);
    EXPECT_EQ(setProperty(0x5007, {0x30}), 0x201B) << "one byte for a 16-bit value";
    EXPECT_EQ(setProperty(0x5001, {50}), 0x200F) << "battery is read-only";
    EXPECT_EQ(read(*device_, 0x1014, {0xD0FF}).responseCode, 0x200A);
    // The clock takes a date text (its round trip is the adapter's integration test's).
    EXPECT_EQ(setProperty(0x5011, DatasetBuilder().string("20240131T235959").bytes()), 0x2001);
    EXPECT_EQ(setProperty(0x5011, DatasetBuilder().string("2024X131T235959").bytes()), 0x201C);
}

TEST_F(Behaviour, StillCaptureWritesJpegsToTheActiveCard) {
    start();
    ASSERT_EQ(run(*device_, 0x9004, {3, 0}).responseCode, 0x2001);
    std::vector<uint32_t> before;
    ASSERT_TRUE(device_->getObjectHandles(0x00010000, 0, before));
    EXPECT_EQ(condition(*device_)->slot1Inactive(), 0u) << "slot 1 active";
    EXPECT_EQ(condition(*device_)->slot2Inactive(), 1u) << "slot 2 has no card";

    camera_->setTimeScale(1.0);  // long enough to see the busy flags for sure
    ASSERT_EQ(run(*device_, 0x9011, {0, 3, 0, 0, 0}).responseCode, 0x2001);
    EXPECT_NE(condition(*device_)->statusFlags() & busyShooting, 0u);
    EXPECT_EQ(run(*device_, 0x9011, {0, 2, 0, 0, 0}).responseCode, 0x2019) << "still shooting";
    camera_->setTimeScale(0.001);
    ASSERT_TRUE(waitUntilIdle());

    std::vector<uint32_t> after;
    ASSERT_TRUE(device_->getObjectHandles(0x00010000, 0, after));
    ASSERT_EQ(after.size(), before.size() + 3);  // DCIM, 100QUORN, the picture
    const auto info = device_->getObjectInfo(after.back());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->objectFormat, 0x3801);
    EXPECT_EQ(info->filename.substr(info->filename.size() - 4), ".JPG");
    EXPECT_EQ(jpegSize(camera_->objectData(after.back())).first, info->imagePixWidth);
    EXPECT_EQ(condition(*device_)->objectReady(), 0u)
        << "files on a card are found by listing, not announced";

    // The shutter button on the body writes to the card too.
    camera_->setTimeScale(0.0);
    camera_->pressShutter();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(camera_->objects().size(), after.size() + 1);
}

TEST_F(Behaviour, RawAndJpegWithoutCardWaitInTheTransferBuffer) {
    CameraConfig config = noCardConfig();
    config.model = "QUORIN Delta";
    start(config);
    // Raw and JPEG, DNG flavour, small and good.
    auto format = bytesOf(read(*device_, 0x1015, {0xD01B}));
    ASSERT_EQ(format.size(), 12u);
    format[4] = 2;
    format[8] = 1;
    format[6] = 2;
    format[7] = 0;
    ASSERT_EQ(setProperty(0xD01B, format), 0x2001);
    EXPECT_EQ(condition(*device_)->slot1FileFormat(), 4u) << "DNG and JPEG";

    shootIntoBuffer();

    const auto raw = fetchTetherImage(0);
    EXPECT_EQ(type_, 3);
    EXPECT_EQ(name_.substr(name_.size() - 4), ".DNG");
    EXPECT_EQ(raw.size(), fastConfig().rawFileSize);
    ASSERT_EQ(run(*device_, 0x900E).responseCode, 0x2001);

    EXPECT_EQ(condition(*device_)->objectReady(), 1u) << "the JPEG is next";
    const auto jpeg = fetchTetherImage(0);
    EXPECT_EQ(type_, 1);
    EXPECT_EQ(jpegSize(jpeg).first, 960u);
    const auto thumb = fetchTetherImage(0xFF);
    Bytes embedded;
    ASSERT_TRUE(Jpeg::extractThumbnail(jpeg.data(), jpeg.size(), embedded));
    EXPECT_EQ(thumb, embedded);
    ASSERT_EQ(run(*device_, 0x900E).responseCode, 0x2001);
    EXPECT_EQ(condition(*device_)->objectReady(), 0u);
}

TEST_F(Behaviour, TetherTransferInstructionSequences) {
    CameraConfig config = noCardConfig();
    config.tetherChunkSize = 100000;
    start(config);
    shootIntoBuffer();

    const auto sequential = fetchTetherImage(0);
    ASSERT_EQ(instructions_.size(), 2u);
    EXPECT_EQ(instructions_[0],
              std::make_pair(uint8_t{3}, static_cast<uint32_t>(sequential.size())));
    EXPECT_EQ(instructions_[1].first, 2);
    // Past its end the program keeps saying "done".
    EXPECT_EQ(read(*device_, 0x900C).data.get()[0], 2);

    camera_->setTetherTransferStyle(TetherTransferStyle::Scattered);
    instructions_.clear();
    const auto scattered = fetchTetherImage(0);
    EXPECT_EQ(scattered, sequential);
    const uint32_t half = static_cast<uint32_t>(sequential.size() / 2);
    const std::vector<std::pair<uint8_t, uint32_t>> expected = {
        {4, half}, {3, static_cast<uint32_t>(sequential.size()) - half}, {4, 0}, {3, half}, {6, 0},
        {2, 0}};
    EXPECT_EQ(instructions_, expected);
}

TEST_F(Behaviour, WithoutTransferOperationsTheBufferIsReachedByHandle) {
    CameraConfig config = noCardConfig();
    config.operations = CameraConfig::operationsWithout({0x900B, 0x900C, 0x900D, 0x900E});
    start(config);
    shootIntoBuffer();
    const uint32_t handle = condition(*device_)->u32At(ConditionOffset::objectHandle);
    const auto info = device_->getObjectInfo(handle);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->storageId, 0u);
    EXPECT_EQ(info->objectFormat, 0x3801);
    EXPECT_EQ(read(*device_, 0x101B, {handle, 0, 16}).dataSize, 16u);
    EXPECT_EQ(run(*device_, 0x9003, {handle}).responseCode, 0x2001);
    EXPECT_EQ(condition(*device_)->objectReady(), 0u);
    EXPECT_EQ(device_->getObjectInfo(handle), nullptr);
}

TEST_F(Behaviour, MovieRecordingAnnouncesTheNewFile) {
    start();
    EXPECT_EQ(run(*device_, 0x9011, {3, 2, 0, 0, 0}).responseCode, 0x2019) << "still mode";
    camera_->setMovieMode(true);
    EXPECT_EQ(run(*device_, 0x9011, {0, 2, 0, 0, 0}).responseCode, 0x2019) << "movie mode";
    ASSERT_EQ(run(*device_, 0x9011, {3, 3, 0, 0, 0}).responseCode, 0x2001);
    EXPECT_EQ(condition(*device_)->statusFlags() & 0x300u, 0x300u);
    EXPECT_EQ(run(*device_, 0x100B, {1}).responseCode, 0x2019) << "no deleting while recording";
    ASSERT_EQ(run(*device_, 0x9012, {3, 0, 0, 0, 0}).responseCode, 0x2001);
    EXPECT_EQ(run(*device_, 0x9012, {3, 0, 0, 0, 0}).responseCode, 0x2002);

    const auto now = condition(*device_);
    EXPECT_EQ(now->statusFlags() & 0x300u, 0x100u);
    EXPECT_EQ(now->objectReady(), 1u);
    EXPECT_EQ(now->u32At(ConditionOffset::lastCaptureSlot), 0u) << "slot 1 received it";
    const uint32_t handle = now->u32At(ConditionOffset::objectHandle);
    const auto info = device_->getObjectInfo(handle);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->objectFormat, 0x300D);
    EXPECT_EQ(run(*device_, 0x9003, {handle}).responseCode, 0x2001);
    EXPECT_EQ(condition(*device_)->objectReady(), 0u);
}

TEST_F(Behaviour, BulbExposureLastsUntilTheButtonIsReleased) {
    start();
    ASSERT_EQ(run(*device_, 0x9004, {3, 0}).responseCode, 0x2001);
    camera_->setExposureMode(9);
    EXPECT_EQ(condition(*device_)->shutterNumerator(), 1u);
    EXPECT_EQ(condition(*device_)->shutterDenominator(), 60u);
    ASSERT_EQ(run(*device_, 0x9011, {0, 2, 0, 0, 0}).responseCode, 0x2001);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(condition(*device_)->statusFlags() & 1u, 1u) << "shutter still open";
    const size_t objects = camera_->objects().size();
    ASSERT_EQ(run(*device_, 0x9012, {0, 0, 0, 0, 0}).responseCode, 0x2001);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_GT(camera_->objects().size(), objects);
}

TEST_F(Behaviour, FocusDriveAndFocusPoint) {
    start();
    const int32_t before = camera_->snapshot().focusPosition;
    ASSERT_EQ(run(*device_, 0x9017, {static_cast<uint32_t>(-7), 0, 0, 0, 0}).responseCode, 0x2001);
    EXPECT_EQ(camera_->snapshot().focusPosition, before - 7);
    // An Alto II drives its focus coarsely only while live view runs.
    EXPECT_EQ(run(*device_, 0x9016, {1, 0, 0, 0, 0}).responseCode, 0x2019);
    ASSERT_EQ(setProperty(0xD035, u32Bytes(1)), 0x2001);
    EXPECT_EQ(run(*device_, 0x9016, {1, 0, 0, 0, 0}).responseCode, 0x2001);
    EXPECT_LT(camera_->snapshot().focusPosition, before - 7);
    EXPECT_EQ(run(*device_, 0x9011, {0, 1, 0, 0, 0}).responseCode, 0x2001);

    ASSERT_EQ(setProperty(0xD036, {2, 0, 0, 0, 0x40, 0x01, 0xF0, 0x00}), 0x2001);  // 320, 240
    const auto geometry = bytesOf(read(*device_, 0x1015, {0xD009}));
    ASSERT_GE(geometry.size(), 16u);
    std::vector<uint16_t> words;
    for (size_t at = 4; at < 16; at += 2) {
        words.push_back(le16(&geometry[at]));
    }
    EXPECT_EQ(words, (std::vector<uint16_t>{640, 480, 320, 240, 320, 240}));
    EXPECT_EQ(setProperty(0xD036, {2, 0, 0, 0, 0xFF, 0x7F, 0, 0}), 0x201C) << "off the frame";
}

TEST_F(Behaviour, LiveViewServesJpegFramesOnlyWhileOn) {
    start();
    EXPECT_EQ(read(*device_, 0x9006).responseCode, 0x2019);
    ASSERT_EQ(setProperty(0xD035, u32Bytes(1)), 0x2001);
    const auto first = bytesOf(read(*device_, 0x9006));
    const auto second = bytesOf(read(*device_, 0x9006));
    EXPECT_NE(first, second) << "the picture moves";
    EXPECT_EQ(jpegSize(first), std::make_pair(640u, 480u));
    ASSERT_EQ(setProperty(0xD035, u32Bytes(0)), 0x2001);
    EXPECT_EQ(read(*device_, 0x9006).responseCode, 0x2019);
    EXPECT_EQ(setProperty(0xD035, u32Bytes(2)), 0x201C);
}

TEST_F(Behaviour, ExposureControlsFollowTheModeDial) {
    start();
    camera_->setExposureMode(5);                           // aperture priority
    EXPECT_EQ(setProperty(0x5007, {0x20, 0x03}), 0x2001);  // f/8
    EXPECT_EQ(condition(*device_)->u32At(ConditionOffset::apertureWord1), 800u);
    EXPECT_EQ(setProperty(0xD00F, {1, 0, 0, 0, 0x40, 0x1F, 0, 0}), 0x201C) << "not in A mode";
    EXPECT_EQ(condition(*device_)->adjustableMask() & 0xF, 0xDu);

    camera_->setExposureMode(8);
    EXPECT_EQ(condition(*device_)->exposureMode(), 8);
    EXPECT_EQ(setProperty(0xD00F, {1, 0, 0, 0, 0x40, 0x1F, 0, 0}), 0x2001);  // 1/8000
    EXPECT_EQ(condition(*device_)->shutterDenominator(), 8000u);
    EXPECT_EQ(setProperty(0xD00F, {1, 0, 0, 0, 7, 0, 0, 0}), 0x201C) << "1/7 is not offered";
    EXPECT_EQ(setProperty(0xD01E, u32Bytes(0)), 0x201C) << "no auto ISO in manual";
    EXPECT_EQ(setProperty(0xD01E, u32Bytes(3200)), 0x2001);
    EXPECT_EQ(condition(*device_)->isoSensitivity(), 3200u);

    // The offered ISO list follows the mode too.
    auto desc = bytesOf(read(*device_, 0x1014, {0xD01E}));
    ASSERT_GE(desc.size(), 20u);
    EXPECT_EQ(le32(&desc[9]), 3200u);
    EXPECT_NE(le32(&desc[16]), 0u) << "first listed value is not auto";
    camera_->setExposureMode(0);
    desc = bytesOf(read(*device_, 0x1014, {0xD01E}));
    EXPECT_EQ(le32(&desc[16]), 0u);

    // Compensation is signed on the wire.
    EXPECT_EQ(setProperty(0x5010, {0x44, 0xFD}), 0x2001);  // -700
    EXPECT_EQ(static_cast<int32_t>(condition(*device_)->u32At(ConditionOffset::compensationWord1)),
              -700);

    // White balance makes the body settle for a moment (a long one here, to be seen surely).
    camera_->setTimeScale(100.0);
    EXPECT_EQ(setProperty(0x5005, {0x03, 0x80}), 0x2001);
    EXPECT_EQ(condition(*device_)->adjustableMask() & 0x20u, 0x20u);
    EXPECT_EQ(condition(*device_)->u32At(ConditionOffset::whiteBalanceWord), 0x8003u);

    // The body's state and battery reach the host (its dials: the adapter's integration test).
    camera_->setBatteryLevel(42);
    camera_->setCameraState(40);
    EXPECT_EQ(condition(*device_)->cameraState(), 40u);
    EXPECT_EQ(bytesOf(read(*device_, 0x1014, {0x5001}))[6], 42);
}

TEST_F(Behaviour, FormatLockAcceptsOnlyRawAndJpeg) {
    CameraConfig config = fastConfig();
    config.rawAndJpegOnly = true;
    start(config);
    auto format = bytesOf(read(*device_, 0x1015, {0xD01B}));
    ASSERT_EQ(format.size(), 12u);
    EXPECT_EQ(format[9], 3);
    EXPECT_EQ(format[4], 2);
    format[4] = 0;
    EXPECT_EQ(setProperty(0xD01B, format), 0x201C);
    format[4] = 2;
    format[6] = 3;
    EXPECT_EQ(setProperty(0xD01B, format), 0x2001);
    format.pop_back();
    EXPECT_EQ(setProperty(0xD01B, format), 0x201B);
}

}  // namespace
}  // namespace Corvane::CameraController::Emulator
