// PtpUsbDevice used from several threads at once. The scripted device fails the script when a
// second command arrives before the first transaction has ended.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "mtp/usb/ptp_usb_device.hpp"
#include "support/mtp_requests.hpp"
#include "usb/ptp_test_support.hpp"
#include "usb/scripted_pipe.hpp"

namespace Corvane::CameraController::Impl::Testing {
namespace {

constexpr uint16_t kGetObject = 0x1009;
constexpr size_t kPayload = 700;

// A scripted pipe whose reads wait until the gate opens: a transfer that takes its time.
struct Gate {
    std::promise<void> reached;  // the first read is waiting
    std::promise<void> opened;
    std::shared_future<void> open = opened.get_future().share();
    std::once_flag once;
};

class GatedPipe : public ScriptedPipe {
public:
    explicit GatedPipe(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}

    PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received,
                        unsigned timeoutMs) override {
        std::call_once(gate_->once, [this] { gate_->reached.set_value(); });
        gate_->open.wait();
        // Give other threads every chance to barge in.
        std::this_thread::yield();
        return ScriptedPipe::readBulk(data, capacity, received, timeoutMs);
    }

private:
    std::shared_ptr<Gate> gate_;
};

class PtpUsbDeviceThreads : public ::testing::Test {
protected:
    PtpUsbDeviceThreads() {
        auto pipe = std::make_unique<GatedPipe>(gate);
        chat = pipe->state();
        device = std::make_unique<PtpUsbDevice>(std::move(pipe));
    }

    void TearDown() override {
        EXPECT_THAT(chat->errors(), ::testing::IsEmpty());
        EXPECT_TRUE(chat->finished());
    }

    // Transaction `id` answers with data of its own and its id as the response parameter.
    void scriptTransaction(uint32_t id) {
        chat->expectTransfer(commandBytes(kGetObject, id));
        chat->deviceSends(dataBytes(kGetObject, id, pattern(kPayload, id)));
        chat->deviceSends(responseBytes(0x2001, id, {id}));
    }

    MtpResponse run() {
        return device->execute(CameraController::Testing::readRequest(kGetObject));
    }

    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::shared_ptr<ScriptedPipe::State> chat;
    std::unique_ptr<PtpUsbDevice> device;
};

// Transaction ids count up in the order the script expects; a transaction that started before
// the last one ended shows as a script error.
TEST_F(PtpUsbDeviceThreads, TransactionsFromManyThreadsNeverInterleave) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 150;
    for (uint32_t id = 1; id <= kThreads * kPerThread; ++id) {
        scriptTransaction(id);
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
                const MtpResponse response = run();
                // The data must be this transaction's own.
                const bool ok = response.responseCode == 0x2001 &&
                                response.parameters.size() == 1 &&
                                CameraController::Testing::bytesOf(response) ==
                                    pattern(kPayload, response.parameters[0]);
                wrong += ok ? 0 : 1;
            }
        });
    }
    // The first transaction waits in the pipe until every thread has started.
    gate->opened.set_value();
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

// While a transaction runs, isConnected() answers at once. A transaction that waits goes before
// a background thread's next one, even when the background thread was waiting first; the mutex
// alone would serve them in turn.
TEST_F(PtpUsbDeviceThreads, IsConnectedDoesNotWaitAndAWaitingTransactionGoesFirst) {
    for (uint32_t id = 1; id <= 3; ++id) {
        scriptTransaction(id);
    }
    const auto inBackground = [&] {
        return std::async(std::launch::async, [&] {
            const BackgroundTransactions mark;
            return run();
        });
    };
    auto running = inBackground();
    gate->reached.get_future().wait();
    auto probe = std::async(std::launch::async, [&] { return device->isConnected(); });
    EXPECT_EQ(probe.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    // Nothing tells when a thread blocks on a mutex; these pauses only give each one time to.
    auto nextInBackground = inBackground();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto foreground = std::async(std::launch::async, [&] { return run(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    gate->opened.set_value();

    EXPECT_TRUE(probe.get());
    EXPECT_EQ(running.get().responseCode, 0x2001);
    const MtpResponse background = nextInBackground.get();
    const MtpResponse waiting = foreground.get();
    ASSERT_EQ(background.parameters.size(), 1u);
    ASSERT_EQ(waiting.parameters.size(), 1u);
    // Each answer carries its transaction id, which counts up in the order they ran.
    EXPECT_LT(waiting.parameters[0], background.parameters[0]);
    EXPECT_FALSE(BackgroundTransactions::active());
}

}  // namespace
}  // namespace Corvane::CameraController::Impl::Testing
