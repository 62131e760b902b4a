#include <gtest/gtest.h>

#include <clocale>

#include "adapter_fixture.hpp"
#include "corvane/camera_controller/device_settings.hpp"
#include "support/application_environment.hpp"

namespace Corvane::CameraController::Testing {
namespace {

/// Runs the test in UTC so that clock texts and seconds can be compared exactly.
class DeviceSettingsTest : public AdapterTest {
protected:
    void SetUp() override {
        makeCamera("QUORIN Delta");
        camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    }

    void serveDataset(std::vector<uint8_t> bytes) {
        camera->on(0x1015, [bytes](const RecordedRequest&) { return ScriptedResponse::ok(bytes); });
    }

    const TimeZoneGuard zone{"UTC"};
};

TEST_F(DeviceSettingsTest, ClockIsReadAsLocalTimeAndBadAnswersKeepTheLastValue) {
    serveDataset(DatasetBuilder().string("20240229T120005").bytes());
    CameraTime time;
    ASSERT_EQ(adapter->getCameraDeviceSettings({&time}).getResult(), Result::Ok);
    EXPECT_EQ(dynamic_cast<const CameraTimeValue&>(time.getValue()).get(), 1709208005);
    EXPECT_EQ(camera->requestsFor(0x1015)[0].parameters, std::vector<uint32_t>{0x5011});

    // One second before the epoch is the host's error value.
    serveDataset(DatasetBuilder().string("19691231T235959").bytes());
    const Response refused = adapter->getCameraDeviceSettings({&time});
    EXPECT_EQ(codeOf(refused), ErrorCode::NotSupported);
    EXPECT_EQ(messageOf(refused), "DateTime parse error");
    EXPECT_EQ(dynamic_cast<const CameraTimeValue&>(time.getValue()).get(), 1709208005);

    // Answers that are no clock text are a device error and keep the last value too.
    const auto whole = DatasetBuilder().string("20240229T120000").bytes();
    auto declaredLonger = whole;
    declaredLonger[0] = 20;
    const std::vector<std::vector<uint8_t>> answers = {
        {},
        {0},
        // Cut after eight, and after fourteen, of its sixteen declared units.
        std::vector<uint8_t>(whole.begin(), whole.begin() + 17),
        std::vector<uint8_t>(whole.begin(), whole.end() - 4),
        declaredLonger,
        // One text the parser refuses, as any other would be.
        DatasetBuilder().string("20240230T120000").bytes(),
    };
    for (size_t i = 0; i < answers.size(); ++i) {
        SCOPED_TRACE(i);
        serveDataset(answers[i]);
        const Response malformed = adapter->getCameraDeviceSettings({&time});
        EXPECT_EQ(codeOf(malformed), ErrorCode::DeviceError);
        EXPECT_EQ(messageOf(malformed), "DateTime parse error");
        EXPECT_EQ(dynamic_cast<const CameraTimeValue&>(time.getValue()).get(), 1709208005);
    }
}

TEST_F(DeviceSettingsTest, LiveViewGeometryBecomesFractions) {
    serveDataset(DatasetBuilder().u32(0).u16(720).u16(480).u32(0).u16(360).u16(240).bytes());
    LiveViewSpecification liveViewSetting;
    const auto geometry = [&] {
        return dynamic_cast<const LiveViewSpecificationValue&>(liveViewSetting.getValue()).get();
    };
    ASSERT_EQ(adapter->getCameraDeviceSettings({&liveViewSetting}).getResult(), Result::Ok);
    const LiveViewImage image = geometry();
    EXPECT_EQ(image.width, 720);
    EXPECT_EQ(image.height, 480);
    const float expected[4][2] = {{0.25f, 0.25f}, {0.75f, 0.25f}, {0.75f, 0.75f}, {0.25f, 0.75f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(image.focusArea[i].x, expected[i][0]);
        EXPECT_FLOAT_EQ(image.focusArea[i].y, expected[i][1]);
    }

    // (721 - 360) / 2 is truncated to 180.
    serveDataset(DatasetBuilder().u32(0).u16(721).u16(480).u32(0).u16(360).u16(240).bytes());
    ASSERT_EQ(adapter->getCameraDeviceSettings({&liveViewSetting}).getResult(), Result::Ok);
    EXPECT_FLOAT_EQ(geometry().focusArea[0].x, 180.0f / 721.0f);

    for (const auto& bad :
         {DatasetBuilder().u32(0).u16(720).u16(480).u32(0).u16(360).u8(240).bytes(),
          DatasetBuilder().u32(0).u16(0).u16(480).u32(0).u16(0).u16(0).bytes()}) {
        serveDataset(bad);
        const Response response = adapter->getCameraDeviceSettings({&liveViewSetting});
        EXPECT_EQ(codeOf(response), ErrorCode::DeviceError);
        EXPECT_EQ(messageOf(response), "Malformed live view geometry");
    }
}

TEST_F(DeviceSettingsTest, ReadSkipsUnknownEntriesAndStopsAtAFailure) {
    DiagnosticCapture diagnostics;
    serveDataset(DatasetBuilder().string("20240229T120000").bytes());
    CameraTime time;
    ASSERT_EQ(adapter->getCameraDeviceSettings({nullptr, &time}).getResult(), Result::Ok);
    EXPECT_EQ(diagnostics.lines(), std::vector<std::string>{"[warning] Unknown setting type"});
    EXPECT_EQ(adapter->getCameraDeviceSettings({}).getResult(), Result::Ok);

    camera->on(0x1015, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2002); });
    LiveViewSpecification untouched;
    const Response failed = adapter->getCameraDeviceSettings({&time, &untouched});
    EXPECT_EQ(messageOf(failed), "0x2002");
    EXPECT_FALSE(untouched.hasValue());
}

TEST_F(DeviceSettingsTest, ClockIsWrittenAsAPtpStringOnlyWithAValueAndLeavesTheLocale) {
    DiagnosticCapture diagnostics;
    // The application's own locale, not the environment's default: resetting it would show.
    const ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    const std::string localeBefore = std::setlocale(LC_ALL, nullptr);
    const CameraTime time(1706745599);  // 2024-01-31 23:59:59 UTC, 00:59:59 in Central Europe
    const LiveViewSpecification liveViewSetting;
    const CameraTime ignored(0);
    ASSERT_EQ(adapter->setCameraDeviceSettings({&liveViewSetting, &time, &ignored}).getResult(),
              Result::Ok);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), localeBefore);
    EXPECT_EQ(diagnostics.lines(), std::vector<std::string>{"[warning] Unknown setting type"});

    const auto written = camera->requestsFor(0x1016);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].parameters, std::vector<uint32_t>{0x5011});
    EXPECT_EQ(written[0].dataPhase, Impl::MtpDataPhase::Write);
    EXPECT_EQ(written[0].data, DatasetBuilder().string("20240201T005959").bytes());

    camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x201C); });
    const Response refused = adapter->setCameraDeviceSettings({&time});
    EXPECT_EQ(codeOf(refused), ErrorCode::InvalidValue);
    EXPECT_EQ(messageOf(refused), "0x201c");

    camera->clearRequests();
    const CameraTime empty;
    const Response noValue = adapter->setCameraDeviceSettings({&empty});
    EXPECT_EQ(codeOf(noValue), ErrorCode::InvalidValue);
    EXPECT_EQ(messageOf(noValue), "CameraTime has no value");

    const Response none = adapter->setCameraDeviceSettings({});
    EXPECT_EQ(none.getResult(), Result::Error);
    EXPECT_TRUE(none.getErrors().empty());
    const Response onlyNull = adapter->setCameraDeviceSettings({nullptr});
    EXPECT_EQ(onlyNull.getResult(), Result::Error);
    EXPECT_TRUE(camera->requests().empty());
}

TEST_F(DeviceSettingsTest, AClockWrittenInSummerReadsBackUnchanged) {
    const ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    struct Case {
        int64_t time;
        const char* text;
    };
    // 10:00 UTC is noon in summer time; 23:59:59 UTC is 00:59:59 in winter.
    for (const Case& c :
         {Case{1719828000, "20240701T120000"}, Case{1706745599, "20240201T005959"}}) {
        SCOPED_TRACE(c.text);
        camera->clearRequests();
        const CameraTime written(c.time);
        ASSERT_EQ(adapter->setCameraDeviceSettings({&written}).getResult(), Result::Ok);
        const auto sent = camera->requestsFor(0x1016);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].data, DatasetBuilder().string(c.text).bytes());

        serveDataset(DatasetBuilder().string(c.text).bytes());
        CameraTime read;
        ASSERT_EQ(adapter->getCameraDeviceSettings({&read}).getResult(), Result::Ok);
        EXPECT_EQ(dynamic_cast<const CameraTimeValue&>(read.getValue()).get(), c.time);
    }
}

TEST_F(DeviceSettingsTest, ATimeOutsideTheFourDigitYearIsNotSent) {
    const ApplicationEnvironment environment;
    REQUIRE_APPLICATION_ENVIRONMENT(environment);
    // Midsummer of the years 100 and -100 (short or signed), 999, 10000 and 100000 (too long).
    for (const int64_t seconds :
         {-58995907200, -65307340800, -30626208000, 253417852800, 3093543532800}) {
        SCOPED_TRACE(seconds);
        const CameraTime time(seconds);
        const Response refused = adapter->setCameraDeviceSettings({&time});
        EXPECT_EQ(codeOf(refused), ErrorCode::InvalidValue);
        EXPECT_EQ(messageOf(refused), "CameraTime out of range");
    }
    EXPECT_EQ(camera->countOf(0x1016), 0u);
    const CameraTime lastOfNineThousand(253402214400);  // 9999-12-31
    EXPECT_EQ(adapter->setCameraDeviceSettings({&lastOfNineThousand}).getResult(), Result::Ok);
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
