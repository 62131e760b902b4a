#include <gtest/gtest.h>

#include "adapter_fixture.hpp"
#include "corvane/camera_controller/capture_settings.hpp"

namespace Corvane::CameraController::Testing {
namespace {

class ForeignSetting : public CaptureSetting {
public:
    ForeignSetting() : CaptureSetting("Foreign") {}
};

std::vector<const CaptureSetting*> listOf(const CaptureSetting& setting) {
    return setting.getAvailableSettings();
}

class SettingsReadTest : public AdapterTest {
protected:
    void SetUp() override { makeCamera("QUORIN Delta"); }

    void serveDesc(uint16_t property, std::vector<uint8_t> desc) {
        camera->on(0x1014, [property, desc](const RecordedRequest& request) {
            if (request.parameters != std::vector<uint32_t>{property}) {
                return ScriptedResponse::withCode(0x200A);
            }
            return ScriptedResponse::ok(desc);
        });
    }

    Response read(CaptureSetting& setting) { return adapter->getCaptureSettings({&setting}); }
};

TEST_F(SettingsReadTest, RefusedWithoutConnectionOrCondition) {
    FNumber fNumber;
    const Response offline = read(fNumber);
    EXPECT_EQ(codeOf(offline), ErrorCode::NotConnected);
    EXPECT_EQ(messageOf(offline), "");
    EXPECT_TRUE(camera->requests().empty());

    // Connected, but the camera never answered a condition request.
    adapter->connected = true;
    camera->on(0x900F, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    ExposureProgram program;
    const Response response = read(program);
    EXPECT_EQ(codeOf(response), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(response), "Camera condition not available");
    EXPECT_FALSE(program.hasValue());
}

TEST_F(SettingsReadTest, FNumberCurrentAndOfferedValues) {
    DiagnosticCapture diagnostics;
    markConnected(ConditionBuilder().adjustableMask(0x1));
    serveDesc(0x5007, propDesc(0x5007, 4, 0, {280, 560, 123}));
    FNumber fNumber;
    ASSERT_EQ(read(fNumber).getResult(), Result::Ok);
    EXPECT_TRUE(fNumber == *FNumber::Null);
    EXPECT_EQ(listOf(fNumber), (std::vector<const CaptureSetting*>{FNumber::F2_8, FNumber::F5_6}));
    EXPECT_EQ(diagnostics.lines(),
              std::vector<std::string>{"[warning] Unknown FNumber value (available): 123"});
    EXPECT_EQ(camera->operationCodes(), (std::vector<uint16_t>{0x1014, 0x900F}));

    // Read again with the mask bit clear: the list is emptied, not appended to.
    serveCondition(ConditionBuilder().adjustableMask(0));
    ASSERT_EQ(read(fNumber).getResult(), Result::Ok);
    EXPECT_TRUE(listOf(fNumber).empty());
}

TEST_F(SettingsReadTest, IsoReadTwiceKeepsOneCopyOfEachOfferedValue) {
    markConnected(ConditionBuilder().adjustableMask(0x4));
    serveDesc(0xD01E, propDesc(0xD01E, 6, 400, {0, 100, 400}));
    ISO iso;
    ASSERT_EQ(read(iso).getResult(), Result::Ok);
    ASSERT_EQ(read(iso).getResult(), Result::Ok);
    EXPECT_TRUE(iso == *ISO::ISO400);
    EXPECT_EQ(listOf(iso),
              (std::vector<const CaptureSetting*>{ISO::Auto, ISO::ISO100, ISO::ISO400}));

    // In ISO priority the value comes from the condition instead.
    serveCondition(ConditionBuilder().exposureMode(15).set(312, 3200));
    ASSERT_EQ(read(iso).getResult(), Result::Ok);
    EXPECT_TRUE(iso == *ISO::ISO3200);
}

TEST_F(SettingsReadTest, CompensationReadsZeroInBulbAndIsOfferedInAutoMode) {
    DiagnosticCapture diagnostics;
    markConnected(ConditionBuilder().exposureMode(9));
    serveDesc(0x5010, propDesc(0x5010, 3, static_cast<uint16_t>(-1000), {}));
    ExposureCompensation compensation;
    ASSERT_EQ(read(compensation).getResult(), Result::Ok);
    EXPECT_TRUE(compensation == *ExposureCompensation::EC0_0);

    serveCondition(ConditionBuilder().exposureMode(21));
    serveDesc(0x5010, propDesc(0x5010, 3, static_cast<uint16_t>(-700),
                               {static_cast<uint16_t>(-700), 300, static_cast<uint16_t>(-333)}));
    ASSERT_EQ(read(compensation).getResult(), Result::Ok);
    EXPECT_TRUE(compensation == *ExposureCompensation::ECNegative0_7);
    EXPECT_EQ(listOf(compensation),
              (std::vector<const CaptureSetting*>{ExposureCompensation::ECNegative0_7,
                                                  ExposureCompensation::EC0_3}));
    EXPECT_EQ(diagnostics.lines(),
              std::vector<std::string>{"[warning] Unknown ExComp value (available): -333"});
}

TEST_F(SettingsReadTest, WhiteBalanceAutoModeAndFlashPerModel) {
    markConnected(ConditionBuilder().exposureMode(21));
    serveDesc(0x5005, propDesc(0x5005, 4, 0x8002, {0x0002, 0x0007, 0x8002}));
    WhiteBalance whiteBalance;
    ASSERT_EQ(read(whiteBalance).getResult(), Result::Ok);
    EXPECT_TRUE(whiteBalance == *WhiteBalance::Auto);
    EXPECT_TRUE(listOf(whiteBalance).empty());

    serveCondition(ConditionBuilder().exposureMode(8));
    ASSERT_EQ(read(whiteBalance).getResult(), Result::Ok);
    EXPECT_TRUE(whiteBalance == *WhiteBalance::Shade);
    EXPECT_EQ(listOf(whiteBalance),
              (std::vector<const CaptureSetting*>{WhiteBalance::Auto, WhiteBalance::Shade}));

    device->setModel("QUORIN Brio");
    ASSERT_EQ(read(whiteBalance).getResult(), Result::Ok);
    EXPECT_EQ(listOf(whiteBalance),
              (std::vector<const CaptureSetting*>{WhiteBalance::Auto, WhiteBalance::Flash,
                                                  WhiteBalance::Shade}));
}

TEST_F(SettingsReadTest, ShutterSpeedFromTheConditionAndItsList) {
    DiagnosticCapture diagnostics;
    markConnected(ConditionBuilder().exposureMode(9).shutter(1, 60).adjustableMask(0x2));
    const uint64_t oneSeventh = 1ull | (7ull << 32);
    const uint64_t zeroOverOne = 1ull << 32;
    serveDesc(0xD00F, propDesc(0xD00F, 8, 0, {zeroOverOne, 1ull | (60ull << 32), oneSeventh}));
    ShutterSpeed shutter;
    ASSERT_EQ(read(shutter).getResult(), Result::Ok);
    EXPECT_TRUE(shutter == *ShutterSpeed::Bulb);
    EXPECT_EQ(listOf(shutter), std::vector<const CaptureSetting*>{ShutterSpeed::SS1_60});
    EXPECT_EQ(diagnostics.lines(),
              std::vector<std::string>{"[warning] Unknown ShutterSpeed value: 700000001"});

    serveCondition(ConditionBuilder().exposureMode(8).shutter(1, 60));
    ASSERT_EQ(read(shutter).getResult(), Result::Ok);
    EXPECT_TRUE(shutter == *ShutterSpeed::SS1_60);

    serveCondition(ConditionBuilder().exposureMode(8).shutter(1, 7));
    const Response unknown = read(shutter);
    EXPECT_EQ(codeOf(unknown), ErrorCode::NotSupported);
    EXPECT_EQ(messageOf(unknown), "Unknown ShutterSpeed value (current): 30064771073");
    EXPECT_TRUE(shutter == *ShutterSpeed::SS1_60);  // keeps its previous value
}

TEST_F(SettingsReadTest, ImageFormatDataset) {
    markConnected(ConditionBuilder());
    std::vector<uint8_t> dataset =
        DatasetBuilder().u32(6).u8(1).u8(1).u8(0).u8(2).u8(1).u8(0).bytes();
    camera->on(0x1015,
               [&dataset](const RecordedRequest&) { return ScriptedResponse::ok(dataset); });

    StillImageCaptureFormat format;
    ASSERT_EQ(read(format).getResult(), Result::Ok);
    EXPECT_TRUE(format == *StillImageCaptureFormat::DNG);
    EXPECT_EQ(listOf(format).size(), 5u);
    EXPECT_EQ(camera->requestsFor(0x1015)[0].parameters, std::vector<uint32_t>{0xD01B});

    dataset[9] = 3;  // raw and JPEG only
    ASSERT_EQ(read(format).getResult(), Result::Ok);
    EXPECT_TRUE(format == *StillImageCaptureFormat::DNGAndJPEG);
    EXPECT_EQ(listOf(format),
              (std::vector<const CaptureSetting*>{StillImageCaptureFormat::QRWAndJPEG,
                                                  StillImageCaptureFormat::DNGAndJPEG}));

    StillImageQuality quality;
    ASSERT_EQ(read(quality).getResult(), Result::Ok);
    EXPECT_TRUE(quality == *StillImageQuality::LargeBest);
    EXPECT_EQ(listOf(quality).size(), 12u);
    device->setModel("QUORIN Brio");
    ASSERT_EQ(read(quality).getResult(), Result::Ok);
    EXPECT_EQ(listOf(quality).size(), 9u);

    dataset[6] = 4;
    const Response unknown = read(quality);
    EXPECT_EQ(codeOf(unknown), ErrorCode::NotSupported);
    EXPECT_EQ(messageOf(unknown), "Unknown StillImageQuality value (current): 12");

    dataset.resize(7);
    const Response truncated = read(quality);
    EXPECT_EQ(codeOf(truncated), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(truncated), "Malformed DevicePropDesc 0xd01b");
}

TEST_F(SettingsReadTest, ConditionSettings) {
    markConnected(ConditionBuilder().exposureMode(7).set(40, 0x0103).statusFlags(0x100));
    ExposureProgram program;
    AgileOperationEnable agile;
    UserCaptureSettingsMode userMode;
    CaptureMethod method;
    ASSERT_EQ(adapter->getCaptureSettings({&program, &agile, &userMode, &method}).getResult(),
              Result::Ok);
    EXPECT_TRUE(program == *ExposureProgram::AperturePriority);
    EXPECT_TRUE(agile == *AgileOperationEnable::True);
    EXPECT_TRUE(userMode == *UserCaptureSettingsMode::User2);
    EXPECT_TRUE(method == *CaptureMethod::Movie);

    serveCondition(ConditionBuilder().exposureMode(30));
    const Response unknown = read(program);
    EXPECT_EQ(codeOf(unknown), ErrorCode::NotSupported);
    EXPECT_EQ(messageOf(unknown), "Unknown ExposureProgram value (current): 30");
}

TEST_F(SettingsReadTest, StorageWritingOffersWhatTheCameraAllows) {
    markConnected(ConditionBuilder());
    StorageWriting writing;
    ASSERT_EQ(read(writing).getResult(), Result::Ok);
    EXPECT_TRUE(writing == *StorageWriting::False);
    EXPECT_EQ(listOf(writing), std::vector<const CaptureSetting*>{StorageWriting::False});
    EXPECT_TRUE(camera->requests().empty());

    addStorage("65536", true);
    adapter->setStorageWriting(true);
    serveCondition(ConditionBuilder().statusFlags(0x200));
    ASSERT_TRUE(adapter->updateCondition());
    ASSERT_EQ(read(writing).getResult(), Result::Ok);
    EXPECT_TRUE(writing == *StorageWriting::True);
    EXPECT_EQ(listOf(writing), std::vector<const CaptureSetting*>{StorageWriting::True});
}

TEST_F(SettingsReadTest, UnknownEntriesAreSkippedAndFailuresStopTheRead) {
    DiagnosticCapture diagnostics;
    markConnected(ConditionBuilder().adjustableMask(0x5));
    camera->on(0x1014, [](const RecordedRequest& request) {
        if (request.parameters[0] == 0xD01E) {
            return ScriptedResponse::ok(propDesc(0xD01E, 6, 100, {}));
        }
        return ScriptedResponse::ok(propDesc(0x5007, 4, 560, {}));
    });
    ISO iso;
    ForeignSetting foreign;
    FNumber fNumber;
    ASSERT_EQ(adapter->getCaptureSettings({&iso, &foreign, nullptr, &fNumber}).getResult(),
              Result::Ok);
    EXPECT_TRUE(iso == *ISO::ISO100);
    EXPECT_TRUE(fNumber == *FNumber::F5_6);
    EXPECT_EQ(diagnostics.lines(), (std::vector<std::string>{"[warning] Unknown setting type",
                                                             "[warning] Unknown setting type"}));

    camera->on(0x1014, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    ISO second;
    FNumber untouched;
    const Response busy = adapter->getCaptureSettings({&second, &untouched});
    EXPECT_EQ(codeOf(busy), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(busy), "0x2019");
    EXPECT_FALSE(untouched.hasValue());

    // A DevicePropDesc cut before its current value is refused, not read past its end.
    camera->on(0x1014, [](const RecordedRequest&) {
        return ScriptedResponse::ok({0x07, 0x50, 0x04, 0x00, 0x01});
    });
    const Response cut = read(untouched);
    EXPECT_EQ(codeOf(cut), ErrorCode::DeviceError);
    EXPECT_EQ(messageOf(cut), "Malformed DevicePropDesc 0x5007");
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
