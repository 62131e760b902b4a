#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "adapter/adapter_capture_id.hpp"
#include "adapter_fixture.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "model/capture_impl.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using namespace std::chrono_literals;
using Impl::ConditionOffset::exposureMode;
using Impl::ConditionOffset::slot1FileFormat;
using Impl::ConditionOffset::slot1Inactive;
using Impl::ConditionOffset::slot2FileFormat;
using Impl::ConditionOffset::slot2Inactive;
using Impl::ConditionOffset::statusFlags;

constexpr uint16_t kStopMovie = 0x9012;

std::chrono::system_clock::time_point utc(int64_t secondsSinceEpoch, int millis) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(secondsSinceEpoch) +
                                                 std::chrono::milliseconds(millis));
}

TEST(CaptureId, UtcTimeStampFollowedByUnpaddedMillisecondsWhoseStartReadsBack) {
    // 2024-01-02 12:00:00 UTC
    EXPECT_EQ(Impl::formatCaptureId(utc(1704196800, 7)), "202401021200007");
    EXPECT_EQ(Impl::formatCaptureId(utc(1704196800, 0)), "202401021200000");
    EXPECT_EQ(Impl::formatCaptureId(utc(1704196800, 999)), "20240102120000999");
    // Leap day, last second of the day.
    EXPECT_EQ(Impl::formatCaptureId(utc(1709251199, 42)), "2024022923595942");

    EXPECT_EQ(Impl::parseCaptureIdTime("202401021200007"), 1704196800);
    EXPECT_EQ(Impl::parseCaptureIdTime("2024022923595942"), 1709251199);
    EXPECT_EQ(Impl::parseCaptureIdTime("2024010212000"), std::nullopt);
    EXPECT_EQ(Impl::parseCaptureIdTime("20241302120000"), std::nullopt);
    EXPECT_EQ(Impl::parseCaptureIdTime("2024010212x000"), std::nullopt);
}

using CaptureTest = AdapterFixture;

TEST_F(CaptureTest, ShutterParametersFollowModeAndFocus) {
    withTransferBuffer();
    adapter->setTimingForTesting([] { return utc(1704196800, 7); }, nullptr);
    setCondition([](ConditionBuilder&) {});

    const auto still = adapter->startCapture(false);
    ASSERT_EQ(still.getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(kShutter), (std::vector<uint32_t>{0, 2, 0, 0, 0}));
    EXPECT_EQ(still.getCapture()->getId(), "202401021200007");

    // Focusing first places the focus point from the live view geometry.
    camera->on(0x1015, [](const RecordedRequest&) {
        return ScriptedResponse::ok(DatasetBuilder().u32(0).u16(640).u16(480).bytes());
    });
    camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    ASSERT_EQ(adapter->startCapture(true).getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(kShutter), (std::vector<uint32_t>{0, 3, 0, 0, 0}));
}

TEST_F(CaptureTest, ExpectedFilesCountTwoForRawAndJpegOnEachActiveSlot) {
    struct Case {
        uint32_t format1, inactive1, format2, inactive2, flags;
        int32_t expected;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 2}, {3, 0, 0, 1, 0, 2}, {4, 0, 4, 0, 0, 4},     {3, 1, 1, 0, 0, 1},
        {2, 0, 5, 1, 0, 1}, {0, 1, 0, 1, 0, 0}, {3, 0, 4, 0, 0x100, 2}, {3, 0, 4, 1, 0x100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        setCondition([&c](ConditionBuilder& b) {
            b.set(slot1FileFormat, c.format1)
                .set(slot1Inactive, c.inactive1)
                .set(slot2FileFormat, c.format2)
                .set(slot2Inactive, c.inactive2)
                .set(statusFlags, c.flags);
        });
        EXPECT_EQ(adapter->countExpectedFiles(), c.expected);
    }
}

TEST_F(CaptureTest, StillStartWithoutTransferBufferWaitsForTheCameraToShoot) {
    pollWithoutSleeping();
    // Busy throughout: given up after 300 looks, the shutter untouched.
    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0x1); });
    const auto busy = adapter->startCapture(false);
    ASSERT_EQ(busy.getResult(), Result::Error);
    EXPECT_EQ(busy.getErrors()[0]->getCode(), ErrorCode::DeviceError);
    EXPECT_EQ(busy.getErrors()[0]->getMessage(), "Device Busy");
    EXPECT_EQ(pauses, 300);
    EXPECT_EQ(camera->countOf(kShutter), 0u);
    EXPECT_EQ(busy.getCapture(), nullptr);

    // Never any activity after the shutter: nothing is left pending.
    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0); });
    const auto idle = adapter->startCapture(false);
    ASSERT_EQ(idle.getResult(), Result::Error);
    EXPECT_EQ(idle.getErrors()[0]->getMessage(), "Capture is not started");
    EXPECT_EQ(camera->countOf(kShutter), 1u);
    EXPECT_TRUE(adapter->pendingCaptures.snapshot().empty());
    EXPECT_EQ(device->getStatus().getCurrentCapture(), nullptr);

    // Shooting shows: the capture runs, awaiting the files of the active slots.
    changeOn(kShutter, statusFlags, 0x100000);
    setCondition([](ConditionBuilder& c) { c.set(slot1FileFormat, 3); });
    const auto started = adapter->startCapture(false);
    ASSERT_EQ(started.getResult(), Result::Ok);
    const auto pending = adapter->pendingCaptures.snapshot();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0]->getRemainingFiles(), 3);
    EXPECT_EQ(device->getStatus().getCurrentCapture(), started.getCapture());
    EXPECT_EQ(started.getCapture()->getState(), CaptureState::Executing);
}

TEST_F(CaptureTest, RefusedShutterInhibitedCaptureAndBulbModeLeaveNoCapture) {
    withTransferBuffer();
    camera->on(kShutter, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    setCondition([](ConditionBuilder&) {});
    const auto refused = adapter->startCapture(false);
    ASSERT_EQ(refused.getResult(), Result::Error);
    EXPECT_EQ(refused.getErrors()[0]->getMessage(), "0x2019");
    EXPECT_TRUE(adapter->pendingCaptures.snapshot().empty());

    camera->clearRequests();
    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0x4000); });
    EXPECT_EQ(adapter->startCapture(false).getErrors()[0]->getMessage(), "Device Busy");

    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0).set(exposureMode, 9); });
    EXPECT_THAT([this] { adapter->startCapture(false); },
                ::testing::ThrowsMessage<std::runtime_error>(
                    ::testing::StrEq("Bulb Capture is Not Supported.")));
    EXPECT_EQ(camera->countOf(kShutter), 0u);

    // The gate was released on the way out: a handle listing still gets through.
    std::vector<uint32_t> handles;
    camera->on(0x1007, [](const RecordedRequest&) {
        return ScriptedResponse::ok(DatasetBuilder().u32Array({}).bytes());
    });
    EXPECT_TRUE(adapter->fetchObjectHandles("65536", handles));
}

TEST_F(CaptureTest, MovieStartRefusedByModelAndFirmware) {
    struct Case {
        std::string model, firmware;
        bool refused;
    };
    const Case cases[] = {
        {"QUORIN Alto", "1.40", true}, {"QUORIN Alto", "1.41", false},
        {"QUORIN Alto", "1.5", false}, {"QUORIN Grande", "9.99", true},
        {"QUORIN Brio", "2.00", true}, {"QUORIN Alto II", "1.00", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model + " " + c.firmware);
        bind({0x1001, 0x9001, 0x900F, 0x9011}, c.model, c.firmware);
        addStorage("65536", true);
        pollWithoutSleeping();
        changeOn(kShutter, statusFlags, 0x300);  // recording
        setCondition([](ConditionBuilder& b) { b.set(statusFlags, 0x100); });
        if (c.refused) {
            EXPECT_THROW(adapter->startCapture(false), std::runtime_error);
            EXPECT_EQ(camera->countOf(kShutter), 0u);
        } else {
            EXPECT_EQ(adapter->startCapture(false).getResult(), Result::Ok);
        }
    }
}

TEST_F(CaptureTest, MovieNeedsACardAndNoPendingCaptureAndNeverExpires) {
    pollWithoutSleeping();
    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0x100); });
    const auto noCard = adapter->startCapture(false);
    EXPECT_EQ(noCard.getErrors()[0]->getMessage(), "Write to storage is required.");

    // The camera starts recording once the shutter was pressed.
    addStorage("65536", true);
    changeOn(kShutter, statusFlags, 0x300);
    const auto movie = adapter->startCapture(false);
    ASSERT_EQ(movie.getResult(), Result::Ok);
    EXPECT_EQ(lastParameters(kShutter), (std::vector<uint32_t>{3, 2, 0, 0, 0}));
    EXPECT_EQ(movie.getCapture()->getMethod(), CaptureMethod::Movie);
    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0x100); });
    EXPECT_EQ(adapter->startCapture(false).getErrors()[0]->getMessage(), "Device Busy");
    EXPECT_EQ(camera->countOf(kShutter), 1u);

    adapter->setTimingForTesting([] { return std::chrono::system_clock::now() + 1h; }, nullptr);
    adapter->expireStillCaptures();
    EXPECT_EQ(movie.getCapture()->getState(), CaptureState::Executing);
}

TEST_F(CaptureTest, StopSendsTheReleaseOnlyWhileRecording) {
    camera->on(kStopMovie, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0x100); });
    EXPECT_EQ(adapter->stopCapture().getResult(), Result::Ok);
    EXPECT_EQ(camera->countOf(kStopMovie), 0u);

    setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0x300); });
    EXPECT_EQ(adapter->stopCapture().getResult(), Result::Ok);
    ASSERT_EQ(camera->countOf(kStopMovie), 1u);
    EXPECT_EQ(camera->requestsFor(kStopMovie)[0].parameters,
              (std::vector<uint32_t>{3, 0, 0, 0, 0}));

    adapter->connected = false;
    EXPECT_EQ(adapter->stopCapture().getErrors()[0]->getCode(), ErrorCode::NotConnected);
}

TEST_F(CaptureTest, ArrivingFilesCompleteTheOldestCaptureOnce) {
    withTransferBuffer();
    setCondition([](ConditionBuilder& c) { c.set(slot1FileFormat, 4).set(slot2Inactive, 1); });
    const auto first = adapter->startCapture(false).getCapture();
    setCondition([](ConditionBuilder& c) { c.set(slot1FileFormat, 0); });
    const auto second = adapter->startCapture(false).getCapture();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    adapter->captureFileArrived();
    EXPECT_EQ(first->getState(), CaptureState::Executing);
    EXPECT_TRUE(listener->events().empty());
    adapter->captureFileArrived();
    EXPECT_EQ(first->getState(), CaptureState::Complete);
    EXPECT_EQ(listener->events(), (std::vector<std::string>{"captureComplete " + first->getId()}));
    adapter->captureFileArrived();
    EXPECT_EQ(second->getState(), CaptureState::Complete);
    adapter->captureFileArrived();  // nothing pending: no effect
    EXPECT_EQ(listener->events().size(), 2u);
    EXPECT_TRUE(adapter->pendingCaptures.snapshot().empty());

    // Abandoned captures end Unknown, and a file arriving later completes nothing.
    const auto third = adapter->startCapture(false).getCapture();
    adapter->pendingCaptures.abandonAll();
    EXPECT_EQ(third->getState(), CaptureState::Unknown);
    adapter->captureFileArrived();
    EXPECT_EQ(third->getState(), CaptureState::Unknown);
    EXPECT_EQ(listener->events().size(), 2u);
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
