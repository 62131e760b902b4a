#include <gtest/gtest.h>

#include <thread>

#include "adapter_fixture.hpp"
#include "corvane/camera_controller/capture_settings.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using namespace std::chrono_literals;

class SettingsWriteTest : public AdapterTest {
protected:
    void prepare(const std::string& model, const ConditionBuilder& condition) {
        makeCamera(model);
        markConnected(condition);
        // The codecs part on its own, with the camera's settle time cut for the test.
        codecs = std::make_unique<Impl::SettingCodecs>(*adapter);
        codecs->setApplyTiming(0ms, 200ms);
        camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        camera->on(0x9004, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    }

    Response write(std::vector<const CaptureSetting*> settings) {
        return codecs->writeCaptureSettings(settings);
    }

    std::unique_ptr<Impl::SettingCodecs> codecs;

    /// The (property, data) pairs of every SetDevicePropValue sent.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> propertyWrites() {
        std::vector<std::pair<uint32_t, std::vector<uint8_t>>> writes;
        for (const auto& request : camera->requestsFor(0x1016)) {
            writes.emplace_back(request.parameters.at(0), request.data);
        }
        return writes;
    }

    void serveImageFormat(std::vector<uint8_t> dataset) {
        camera->on(0x1015,
                   [dataset](const RecordedRequest&) { return ScriptedResponse::ok(dataset); });
    }
};

using Writes = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;

TEST_F(SettingsWriteTest, PropertiesAreWrittenWithTheirCodes) {
    prepare("QUORIN Delta", ConditionBuilder().exposureMode(8).adjustableMask(0xF));
    ASSERT_EQ(write({FNumber::F5_6, ISO::ISO400, ShutterSpeed::SS1_8000,
                     ExposureCompensation::ECNegative0_7})
                  .getResult(),
              Result::Ok);
    EXPECT_EQ(propertyWrites(), (Writes{{0x5007, {0x30, 0x02}},
                                        {0xD01E, {0x90, 0x01, 0x00, 0x00}},
                                        {0xD00F, {0x01, 0x00, 0x00, 0x00, 0x40, 0x1F, 0x00, 0x00}},
                                        {0x5010, {0x44, 0xFD}}}));
    // Each write refreshes the condition before its checks and again after it.
    EXPECT_EQ(camera->countOf(0x900F), 8u);
    EXPECT_EQ(camera->requestsFor(0x1016)[0].dataPhase, Impl::MtpDataPhase::Write);
}

TEST_F(SettingsWriteTest, StopsAtTheFirstRefusalKeepingEarlierWrites) {
    prepare("QUORIN Delta", ConditionBuilder().exposureMode(8).adjustableMask(0x4));
    const Response response = write({ISO::ISO400, FNumber::F8_0, ISO::ISO800});
    EXPECT_EQ(codeOf(response), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(response), "Cannot change FNumber");
    EXPECT_EQ(propertyWrites(), (Writes{{0xD01E, {0x90, 0x01, 0x00, 0x00}}}));

    camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x201C); });
    const Response refused = write({ISO::ISO800});
    EXPECT_EQ(codeOf(refused), ErrorCode::InvalidValue);
    EXPECT_EQ(messageOf(refused), "0x201c");
}

TEST_F(SettingsWriteTest, OnlyCatalogueSingletonsAreWrittenAndOnlyWhenConnected) {
    DiagnosticCapture diagnostics;
    prepare("QUORIN Delta", ConditionBuilder().exposureMode(8).adjustableMask(0xF));
    FNumber made;
    made.setValue(std::make_unique<FNumberValue>("5.6"));
    const Response response = write({&made});
    EXPECT_EQ(codeOf(response), ErrorCode::NotSupported);
    EXPECT_EQ(messageOf(response), "Unknown FNumber value");
    const ISO empty;
    EXPECT_EQ(messageOf(write({&empty})), "Unknown ISO value");
    EXPECT_TRUE(propertyWrites().empty());

    ASSERT_EQ(write({ExposureProgram::Manual, nullptr, CaptureMethod::Movie}).getResult(),
              Result::Ok);
    EXPECT_EQ(diagnostics.lines(), std::vector<std::string>(3, "[warning] Unknown setting type"));

    // Through the adapter: nothing without a connection, and an empty list is no error.
    camera->clearRequests();
    adapter->connected = false;
    EXPECT_EQ(codeOf(adapter->setCaptureSettings({FNumber::F5_6})), ErrorCode::NotConnected);
    adapter->connected = true;
    EXPECT_EQ(adapter->setCaptureSettings({}).getResult(), Result::Ok);
    EXPECT_TRUE(camera->requests().empty());
}

TEST_F(SettingsWriteTest, ModeRulesForIsoCompensationAndWhiteBalance) {
    prepare("QUORIN Delta", ConditionBuilder());
    for (const int32_t mode : {15, 8, 9, 16}) {
        serveCondition(ConditionBuilder().exposureMode(mode).adjustableMask(0x4));
        const Response response = write({ISO::Auto});
        EXPECT_EQ(codeOf(response), ErrorCode::InvalidValue) << mode;
        EXPECT_EQ(messageOf(response), "Cannot change ISO");
    }
    EXPECT_TRUE(propertyWrites().empty());
    serveCondition(ConditionBuilder().exposureMode(3).adjustableMask(0x4));
    ASSERT_EQ(write({ISO::Auto}).getResult(), Result::Ok);
    serveCondition(ConditionBuilder().exposureMode(3));
    EXPECT_EQ(codeOf(write({ISO::ISO100})), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(write({ExposureCompensation::EC1_0})),
              "Cannot change ExposureCompensation");
    EXPECT_EQ(messageOf(write({ShutterSpeed::SS1_60})), "Cannot change ShutterSpeed");

    // Mode 21 allows ISO and compensation whatever the mask says, but not white balance.
    serveCondition(ConditionBuilder().exposureMode(21));
    ASSERT_EQ(write({ISO::ISO100, ExposureCompensation::EC1_0}).getResult(), Result::Ok);
    EXPECT_EQ(messageOf(write({WhiteBalance::Daylight})), "Cannot change WhiteBalance");
    serveCondition(ConditionBuilder().exposureMode(8).statusFlags(0x200));
    EXPECT_EQ(messageOf(write({WhiteBalance::Daylight})), "Device Busy");
}

TEST_F(SettingsWriteTest, WhiteBalanceWaitsUntilTheCameraHasAppliedIt) {
    prepare("QUORIN Delta", ConditionBuilder().exposureMode(8));
    serveCondition(ConditionBuilder().exposureMode(8).adjustableMask(0x20));
    // Event processing clears the flag a little later.
    std::thread events([this] {
        std::this_thread::sleep_for(50ms);
        serveCondition(ConditionBuilder().exposureMode(8));
        adapter->updateCondition();
    });
    codecs->setApplyTiming(0ms, 5s);
    const Response response = write({WhiteBalance::Shade});
    events.join();
    ASSERT_EQ(response.getResult(), Result::Ok);
    EXPECT_EQ(propertyWrites(), (Writes{{0x5005, {0x02, 0x80}}}));

    serveCondition(ConditionBuilder().exposureMode(8).adjustableMask(0x20));
    codecs->setApplyTiming(0ms, 100ms);
    const Response stuck = write({WhiteBalance::Auto});
    EXPECT_EQ(codeOf(stuck), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(stuck), "Camera did not finish applying the setting");
}

TEST_F(SettingsWriteTest, StorageWritingIsComparedByValue) {
    prepare("QUORIN Delta", ConditionBuilder().statusFlags(0x100));
    const StorageWriting off(false);
    EXPECT_EQ(messageOf(write({&off})), "Cannot change StorageWriting");
    const StorageWriting on(true);
    const Response noCard = write({&on});
    EXPECT_EQ(codeOf(noCard), ErrorCode::InvalidValue);
    EXPECT_EQ(messageOf(noCard), "Cannot change StorageWriting");
    EXPECT_EQ(camera->countOf(0x9004), 0u);

    addStorage("65536", true);
    ASSERT_EQ(write({&on}).getResult(), Result::Ok);
    EXPECT_TRUE(adapter->isStorageWriting());
    serveCondition(ConditionBuilder());
    ASSERT_TRUE(adapter->updateCondition());
    ASSERT_EQ(write({StorageWriting::False}).getResult(), Result::Ok);
    EXPECT_FALSE(adapter->isStorageWriting());
    const auto sent = camera->requestsFor(0x9004);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].parameters, (std::vector<uint32_t>{3, 0}));
    EXPECT_EQ(sent[1].parameters, (std::vector<uint32_t>{0, 0}));

    const StorageWriting unset;
    EXPECT_EQ(codeOf(write({&unset})), ErrorCode::InvalidValue);
    camera->on(0x9004, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    EXPECT_EQ(messageOf(write({&on})), "0x2019");
    EXPECT_FALSE(adapter->isStorageWriting());
}

TEST_F(SettingsWriteTest, ImageFormatDatasetIsWrittenBackWhole) {
    prepare("QUORIN Alto", ConditionBuilder());
    // Header 6, JPEG, medium, Better, QRW, no lock, then a byte the library must keep.
    serveImageFormat({6, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0xAB});
    ASSERT_EQ(
        write({StillImageCaptureFormat::DNGAndJPEG, StillImageQuality::ExtraSmallGood}).getResult(),
        Result::Ok);
    EXPECT_EQ(propertyWrites(), (Writes{{0xD01B, {6, 0, 0, 0, 2, 2, 1, 1, 1, 0, 0xAB}},
                                        {0xD01B, {6, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0xAB}}}));
    EXPECT_EQ(camera->requestsFor(0x1015)[0].parameters, std::vector<uint32_t>{0xD01B});
}

TEST_F(SettingsWriteTest, LockedDatasetKeepsItsFormatAndOneSlotBodiesClearTheLock) {
    prepare("QUORIN Cresta", ConditionBuilder());
    serveImageFormat({6, 0, 0, 0, 2, 2, 0, 2, 1, 3});
    ASSERT_EQ(write({StillImageCaptureFormat::JPEG}).getResult(), Result::Ok);
    ASSERT_EQ(write({StillImageQuality::MediumBetter}).getResult(), Result::Ok);
    EXPECT_EQ(propertyWrites(), (Writes{{0xD01B, {6, 0, 0, 0, 2, 2, 0, 2, 1, 1}},
                                        {0xD01B, {6, 0, 0, 0, 2, 2, 1, 1, 1, 1}}}));

    serveImageFormat({6, 0, 0, 0, 2, 2, 0});
    EXPECT_EQ(messageOf(write({StillImageQuality::LargeBest})), "Malformed DevicePropDesc 0xd01b");
    serveCondition(ConditionBuilder().statusFlags(0x200));
    ASSERT_TRUE(adapter->updateCondition());
    EXPECT_EQ(messageOf(write({StillImageCaptureFormat::QRW})), "Device Busy");
    EXPECT_EQ(propertyWrites().size(), 2u);
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
