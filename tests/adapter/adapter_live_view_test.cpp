#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "adapter_fixture.hpp"
#include "support/eventually.hpp"

namespace Corvane::CameraController::Testing {
namespace {

using namespace std::chrono_literals;

class LiveViewTest : public AdapterTest {
protected:
    void prepare(const std::string& model, const ConditionBuilder& condition = {}) {
        makeCamera(model);
        markConnected(condition);
        camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        camera->on(0x9006, [](const RecordedRequest&) {
            return ScriptedResponse::ok({0xFF, 0xD8, 0x01, 0xFF, 0xD9});
        });
    }

    bool waitForFrames(size_t count) {
        return eventually([&] { return listener->receivedFrames().size() >= count; });
    }

    void TearDown() override {
        if (adapter != nullptr) {
            adapter->stopLiveView();
        }
        AdapterTest::TearDown();
    }

    bool waitForTaskEnd() {
        return eventually([&] { return !adapter->liveView.isRunning(); });
    }

    std::vector<std::vector<uint8_t>> switchWrites() {
        std::vector<std::vector<uint8_t>> values;
        for (const auto& request : camera->requestsFor(0x1016)) {
            EXPECT_EQ(request.parameters, std::vector<uint32_t>{0xD035});
            values.push_back(request.data);
        }
        return values;
    }

    const std::vector<uint8_t> on{1, 0, 0, 0};
    const std::vector<uint8_t> off{0, 0, 0, 0};
};

TEST_F(LiveViewTest, FramesReachListenersUntilStopped) {
    prepare("QUORIN Delta");
    // Non-JPEG data and a one-byte frame are dropped; two bytes FF D8 are a frame.
    camera->queue(0x9006, ScriptedResponse::ok({0x00, 0xD8, 0x00}));
    camera->queue(0x9006, ScriptedResponse::ok({0xFF}));
    camera->queue(0x9006, ScriptedResponse::withCode(0x2019));
    camera->queue(0x9006, ScriptedResponse::ok({0xFF, 0xD8}));
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);  // no second switch-on
    ASSERT_TRUE(waitForFrames(2));
    ASSERT_EQ(adapter->stopLiveView().getResult(), Result::Ok);
    EXPECT_FALSE(adapter->liveView.isRunning());

    const auto frames = listener->receivedFrames();
    EXPECT_EQ(frames[0], (std::vector<uint8_t>{0xFF, 0xD8}));
    EXPECT_EQ(frames[1], (std::vector<uint8_t>{0xFF, 0xD8, 0x01, 0xFF, 0xD9}));
    EXPECT_EQ(switchWrites(), (std::vector<std::vector<uint8_t>>{on, off}));
    EXPECT_EQ(camera->requestsFor(0x9006)[0].dataPhase, Impl::MtpDataPhase::Read);

    camera->clearRequests();
    ASSERT_EQ(adapter->stopLiveView().getResult(), Result::Ok);
    EXPECT_TRUE(camera->requests().empty());
}

TEST_F(LiveViewTest, RefusedSwitchOnStartsNoTaskAndRefusedSwitchOffIsOnlyLogged) {
    prepare("QUORIN Delta");
    camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2019); });
    const Response refused = adapter->startLiveView();
    EXPECT_EQ(messageOf(refused), "0x2019");
    EXPECT_FALSE(adapter->liveView.isRunning());
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(camera->requestsFor(0x9006).empty());

    camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    camera->on(0x1016, [](const RecordedRequest&) { return ScriptedResponse::withCode(0x2002); });
    DiagnosticCapture diagnostics;
    ASSERT_EQ(adapter->stopLiveView().getResult(), Result::Ok);
    EXPECT_FALSE(adapter->liveView.isRunning());
    EXPECT_EQ(diagnostics.lines(),
              std::vector<std::string>{"[warning] StopLiveView network error"});

    adapter->connected = false;
    EXPECT_EQ(codeOf(adapter->startLiveView()), ErrorCode::NotConnected);
    EXPECT_EQ(codeOf(adapter->stopLiveView()), ErrorCode::NotConnected);
}

TEST_F(LiveViewTest, RefusedFramesInMovieModeEndLiveViewOnlyOnTheListedBodies) {
    for (const std::string model : {"QUORIN Grande", "QUORIN Delta"}) {
        SCOPED_TRACE(model);
        DiagnosticCapture diagnostics;
        prepare(model, ConditionBuilder().statusFlags(0x100));
        for (int i = 0; i < 3; ++i) {
            camera->queue(0x9006, ScriptedResponse::withCode(0x2019));
        }
        ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
        if (model == "QUORIN Grande") {
            ASSERT_TRUE(waitForTaskEnd());
            EXPECT_EQ(diagnostics.lines(), std::vector<std::string>{"[warning] stopLiveView"});
            EXPECT_EQ(switchWrites(), (std::vector<std::vector<uint8_t>>{on, off}));
            // The task is gone; stopping now returns at once without a request.
            camera->clearRequests();
            EXPECT_EQ(adapter->stopLiveView().getResult(), Result::Ok);
            EXPECT_TRUE(camera->requests().empty());
        } else {
            // Other bodies keep asking, at the frame cadence, until a frame comes.
            ASSERT_TRUE(waitForFrames(1));
            EXPECT_GE(camera->countOf(0x9006), 4u);
            EXPECT_TRUE(adapter->liveView.isRunning());
            EXPECT_EQ(adapter->stopLiveView().getResult(), Result::Ok);
        }
    }
}

TEST_F(LiveViewTest, UnplugEndsTheTaskWithoutSwitchingOff) {
    DiagnosticCapture diagnostics;
    prepare("QUORIN Delta");
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    ASSERT_TRUE(waitForFrames(1));
    camera->setConnected(false);
    ASSERT_TRUE(waitForTaskEnd());
    EXPECT_EQ(switchWrites(), std::vector<std::vector<uint8_t>>{on});
    EXPECT_TRUE(diagnostics.lines().empty());
    EXPECT_EQ(codeOf(adapter->stopLiveView()), ErrorCode::NotConnected);
}

TEST_F(LiveViewTest, StopFromInsideAFrameListenerDoesNotHang) {
    prepare("QUORIN Delta");
    listener->onFrame = [this] { adapter->stopLiveView(); };
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    ASSERT_TRUE(waitForFrames(1));
    ASSERT_TRUE(eventually([&] { return camera->countOf(0x1016) >= 2; }));
    EXPECT_EQ(switchWrites(), (std::vector<std::vector<uint8_t>>{on, off}));
}

TEST_F(LiveViewTest, DisconnectFromInsideAFrameListenerDoesNotHang) {
    prepare("QUORIN Delta");
    camera->on(0x9001, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
    std::atomic<bool> once{false};
    // Handed over, not assigned: the task ends before the listener has returned.
    std::promise<Response> restarted;
    listener->onFrame = [this, &once, &restarted] {
        if (!once.exchange(true)) {
            adapter->disconnect();
            restarted.set_value(adapter->startLiveView());
        }
    };
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    ASSERT_TRUE(waitForFrames(1));
    auto outcome = restarted.get_future();
    ASSERT_EQ(outcome.wait_for(5s), std::future_status::ready);
    ASSERT_TRUE(waitForTaskEnd());
    EXPECT_EQ(camera->closeCount(), 1);
    EXPECT_EQ(codeOf(outcome.get()), ErrorCode::NotConnected);
    EXPECT_FALSE(adapter->isConnected());
}

TEST_F(LiveViewTest, AdapterMayBeReleasedWhileLiveViewRuns) {
    prepare("QUORIN Delta");
    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    ASSERT_TRUE(waitForFrames(1));
    std::weak_ptr<TestAdapter> watch = adapter;
    device->addAdapter(DeviceInterface::USB, nullptr);
    adapter.reset();
    // The frame task lets go after its current step; the adapter then goes with it.
    EXPECT_TRUE(eventually([&] { return watch.expired(); }));
    const size_t fetched = camera->countOf(0x9006);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(camera->countOf(0x9006), fetched);
}

TEST_F(LiveViewTest, LastReferenceMayBeDroppedOnTheFrameTaskAsItEnds) {
    prepare("QUORIN Grande", ConditionBuilder().statusFlags(0x100));
    std::promise<void> started;
    std::promise<void> released;
    // While the refused frame ends live view on this body, the application lets go of device
    // and adapter: the frame task's own reference is then the last one.
    camera->on(0x9006,
               [this, gate = started.get_future().share(), &released](const RecordedRequest&) {
                   if (gate.wait_for(5s) == std::future_status::ready && adapter != nullptr) {
                       device.reset();
                       adapter.reset();
                       released.set_value();
                   }
                   return ScriptedResponse::withCode(0x2019);
               });
    // The transport goes only once the adapter's destructor has returned.
    const std::weak_ptr<ScriptedMtpDevice> transport = camera;
    camera.reset();

    ASSERT_EQ(adapter->startLiveView().getResult(), Result::Ok);
    started.set_value();
    ASSERT_EQ(released.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(eventually([&] { return transport.expired(); }));
}

}  // namespace
}  // namespace Corvane::CameraController::Testing
