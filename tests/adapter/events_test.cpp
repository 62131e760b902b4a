#include <gtest/gtest.h>

#include <future>

#include "adapter_fixture.hpp"
#include "support/eventually.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using namespace std::chrono_literals;
using Impl::ConditionOffset::exposureMode;
using Impl::ConditionOffset::isoSensitivity;
using Impl::ConditionOffset::isoWordValid;
using Impl::ConditionOffset::objectReady;
using Impl::ConditionOffset::shutterDenominator;
using Impl::ConditionOffset::statusFlags;

constexpr uint16_t kTransfer = 0x900B;
constexpr uint16_t kRelease = 0x900E;
constexpr uint16_t kCondition = 0x900F;

class SettingChangeTest : public AdapterFixture {
protected:
    /// Remembers the words of `before`, then shows `after` and runs one comparison.
    bool change(const std::function<void(ConditionBuilder&)>& before,
                const std::function<void(ConditionBuilder&)>& after) {
        setCondition(before);
        adapter->conditionTracker.takeWords();
        setCondition(after);
        return adapter->detectSettingChanges();
    }
    std::vector<std::string> reported() const { return listener->events(); }
};

TEST_F(SettingChangeTest, CountedAndReportedChanges) {
    using Change = std::function<void(ConditionBuilder&)>;
    struct Case {
        const char* what;
        Change before, after;
        bool counted;
        std::string report;  // empty: no listener call
    };
    const Case cases[] = {
        {"shutter dial in an automatic mode",
         [](ConditionBuilder& c) { c.set(exposureMode, 0).set(shutterDenominator, 60); },
         [](ConditionBuilder& c) { c.set(shutterDenominator, 125); }, false, ""},
        {"shutter dial in manual mode",
         [](ConditionBuilder& c) { c.set(exposureMode, 8).set(shutterDenominator, 60); },
         [](ConditionBuilder& c) { c.set(shutterDenominator, 125); }, true, "ShutterSpeed"},
        {"0 and 2 both read as Program, neither agile",
         [](ConditionBuilder& c) { c.set(exposureMode, 0); },
         [](ConditionBuilder& c) { c.set(exposureMode, 2); }, false, ""},
        {"5 to 7: AperturePriority both, agile turns on",
         [](ConditionBuilder& c) { c.set(exposureMode, 5); },
         [](ConditionBuilder& c) { c.set(exposureMode, 7); }, true, "AgileOperationEnable"},
        {"8 to 4: the aperture in mode 4 is automatic",
         [](ConditionBuilder& c) { c.set(exposureMode, 8).set(64, 560); },
         [](ConditionBuilder& c) { c.set(exposureMode, 4).set(64, 800); }, true, "ExposureProgram"},
        {"several at once, in the fixed order",
         [](ConditionBuilder& c) {
             c.set(exposureMode, 8).set(isoWordValid, 1).set(isoSensitivity, 100).set(68, 10);
         },
         [](ConditionBuilder& c) {
             c.set(isoSensitivity, 400).set(68, 11).set(76, 1).set(120, 4).set(40, 3);
         },
         true, "UserCaptureSettingsMode WhiteBalance FNumber ISO ExposureCompensation"},
        {"the ISO word counts as 0 while marked invalid",
         [](ConditionBuilder& c) {
             c.set(exposureMode, 8).set(isoWordValid, 0).set(isoSensitivity, 100);
         },
         [](ConditionBuilder& c) { c.set(isoSensitivity, 400); }, false, ""},
        {"only the low byte of the user-mode word is a key; 0 and 1 read as None",
         [](ConditionBuilder& c) { c.set(40, 0); }, [](ConditionBuilder& c) { c.set(40, 0x0101); },
         false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bind();
        serveCondition(ConditionBuilder());
        EXPECT_EQ(change(c.before, c.after), c.counted);
        EXPECT_EQ(reported(), c.report.empty()
                                  ? std::vector<std::string>{}
                                  : std::vector<std::string>{"captureSettingsChanged " + c.report});
    }
}

TEST_F(SettingChangeTest, UnknownExposureModeNeverThrowsAndIsNotReported) {
    EXPECT_TRUE(change([](ConditionBuilder& c) { c.set(exposureMode, 8); },
                       [](ConditionBuilder& c) { c.set(exposureMode, 99).set(40, 200); }));
    EXPECT_TRUE(reported().empty());
    // Back from the unknown value to a known one is a change the application can be told.
    adapter->conditionTracker.takeWords();
    setCondition([](ConditionBuilder& c) { c.set(exposureMode, 8).set(40, 0); });
    EXPECT_TRUE(adapter->detectSettingChanges());
    EXPECT_EQ(reported(), (std::vector<std::string>{
                              "captureSettingsChanged ExposureProgram UserCaptureSettingsMode "
                              "AgileOperationEnable"}));
}

class EventLoopTest : public AdapterFixture {
protected:
    void SetUp() override {
        withTransferBuffer();
        adapter->setStorageWriting(false);
        camera->on(kTransfer, [](const RecordedRequest&) {
            return ScriptedResponse::ok(DatasetBuilder().u8(1).u16(0).string("T0001.JPG").bytes());
        });
        // Releasing the buffer is what clears the camera's object-ready word.
        changeOn(kRelease, objectReady, 0);
    }
    void TearDown() override {
        if (adapter != nullptr) {
            adapter->eventTask.stop();
        }
    }
};

TEST_F(EventLoopTest, TetherImageIsAddedReleasedAndCompletesTheCapture) {
    setCondition([](ConditionBuilder& c) { c.set(Impl::ConditionOffset::slot2Inactive, 1); });
    const auto capture = adapter->startCapture(false).getCapture();
    ASSERT_NE(capture, nullptr);
    setCondition([](ConditionBuilder& c) { c.set(objectReady, 1); });

    adapter->startEventLoop();
    ASSERT_TRUE(eventually([&] { return listener->events().size() >= 2; }));
    EXPECT_TRUE(adapter->eventTask.isRunning());
    EXPECT_EQ(
        listener->events(),
        (std::vector<std::string>{"imageAdded T0001.JPG", "captureComplete " + capture->getId()}));
    EXPECT_EQ(capture->getState(), CaptureState::Complete);
    EXPECT_EQ(camera->countOf(kRelease), 1u);
    // The picture left the camera's buffer with the release.
    EXPECT_FALSE(listener->images().at(0)->isValid());
}

TEST_F(EventLoopTest, UnplugEndsPendingCapturesAndIsReportedOnce) {
    setCondition([](ConditionBuilder&) {});
    const auto capture = adapter->startCapture(false).getCapture();
    adapter->startEventLoop();
    ASSERT_TRUE(eventually([&] { return adapter->eventTask.isRunning(); }));

    camera->setConnected(false);
    ASSERT_TRUE(eventually([&] { return !adapter->eventTask.isRunning(); }));
    adapter->eventTask.stop();
    EXPECT_EQ(listener->events(), (std::vector<std::string>{"deviceDisconnected"}));
    EXPECT_EQ(capture->getState(), CaptureState::Unknown);
    EXPECT_TRUE(adapter->pendingCaptures.snapshot().empty());
    EXPECT_FALSE(adapter->isConnected());
}

TEST_F(EventLoopTest, EndsWhenTheDeviceIsGone) {
    setCondition([](ConditionBuilder&) {});
    adapter->startEventLoop();
    ASSERT_TRUE(eventually([&] { return adapter->eventTask.isRunning(); }));
    device->removeEventListener(listener);
    device.reset();
    EXPECT_TRUE(eventually([&] { return !adapter->eventTask.isRunning(); }));
    EXPECT_TRUE(listener->events().empty());
}

TEST_F(EventLoopTest, StillCapturesExpireAfterTwoMinutesOnlyWithATransferBuffer) {
    const std::chrono::system_clock::time_point start{std::chrono::seconds(1704196800) + 250ms};
    const auto setNow = [this](std::chrono::system_clock::time_point time) {
        adapter->setTimingForTesting([time] { return time; }, nullptr);
    };
    for (const bool transferBuffer : {true, false}) {
        SCOPED_TRACE(transferBuffer);
        if (!transferBuffer) {
            bind();
        }
        pollWithoutSleeping();
        changeOn(kShutter, statusFlags, 0x100000);
        setCondition([](ConditionBuilder& c) { c.set(statusFlags, 0); });
        setNow(start);
        const auto capture = adapter->startCapture(false).getCapture();
        ASSERT_NE(capture, nullptr);
        setNow(start + 119s);
        adapter->startEventLoop();
        ASSERT_TRUE(eventually([&] { return adapter->eventTask.isRunning(); }));
        EXPECT_EQ(capture->getState(), CaptureState::Executing);

        DiagnosticCapture diagnostics;
        setNow(start + 120s);
        // Two more condition reads: a whole pass ran on the new time.
        const size_t polled = camera->countOf(kCondition);
        ASSERT_TRUE(eventually([&] { return camera->countOf(kCondition) >= polled + 2; }));
        adapter->eventTask.stop();
        EXPECT_EQ(capture->getState(),
                  transferBuffer ? CaptureState::Unknown : CaptureState::Executing);
        EXPECT_EQ(adapter->pendingCaptures.snapshot().empty(), transferBuffer);
        EXPECT_EQ(diagnostics.lines(),
                  transferBuffer ? std::vector<std::string>{"Unknown whether capture is complete. "
                                                            "Capture ID: " +
                                                            capture->getId()}
                                 : std::vector<std::string>{});
        EXPECT_TRUE(listener->events().empty());
    }
}

class ListenerOnEventTaskTest : public EventLoopTest {
protected:
    /// Starts the event task and turns the shutter dial, so that `acting` hears a report.
    void reportASettingTo(const std::shared_ptr<ActingListener>& acting) {
        device->addEventListener(acting);
        setCondition([](ConditionBuilder& c) { c.set(exposureMode, 8); });
        adapter->startEventLoop();
        ASSERT_TRUE(eventually([&] { return adapter->eventTask.isRunning(); }));
        const std::lock_guard<std::mutex> lock(conditionMutex);
        condition.set(shutterDenominator, 250);
    }
};

TEST_F(ListenerOnEventTaskTest, ListenerMayStopTheTaskThatCallsIt) {
    const auto stopper = std::make_shared<ActingListener>();
    stopper->act = [adapter = adapter] { adapter->eventTask.stop(); };
    reportASettingTo(stopper);
    EXPECT_TRUE(eventually([&] { return !stopper->events().empty(); }));
    EXPECT_TRUE(eventually([&] { return !adapter->eventTask.isRunning(); }));
}

TEST_F(ListenerOnEventTaskTest, LastReferenceMayBeDroppedOnTheTaskItself) {
    // The application lets go of device and adapter from inside a listener: the event task's
    // own references are then the last ones, and the adapter is destroyed on the task.
    const auto releaser = std::make_shared<ActingListener>();
    std::promise<void> released;
    releaser->act = [this, &released] {
        device.reset();
        adapter.reset();
        released.set_value();
    };
    // The transport goes only once the adapter's destructor has returned.
    const std::weak_ptr<ScriptedMtpDevice> transport = camera;
    camera.reset();
    reportASettingTo(releaser);
    ASSERT_EQ(released.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(eventually([&] { return transport.expired(); }));
    EXPECT_EQ(releaser->events(), std::vector<std::string>{"captureSettingsChanged ShutterSpeed"});
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
