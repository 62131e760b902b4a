// PtpUsbDevice used from several threads at once, against a device that answers every command
// and notices when a second command arrives before the first transaction has ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "mtp/usb/ptp_usb_device.hpp"
#include "support/mtp_requests.hpp"
#include "usb/ptp_test_support.hpp"

namespace Corvane::CameraController::Impl::Testing {
namespace {

constexpr uint16_t kGetObject = 0x1009;

// Answers each command with a data container of `param[0]` bytes (each byte the low byte of
// the transaction id) and an OK response echoing the id. The next command must not arrive
// before the host has read the whole answer.
class ResponderPipe : public BulkPipe {
public:
    struct Log {
        std::mutex mutex;
        std::vector<uint32_t> transactionIds;
        std::atomic<int> interleaved{0};
        // While set, reads wait until it is cleared (a transfer that takes its time).
        bool holdReads = false;
        bool readWaiting = false;
        std::condition_variable changed;
    };

    explicit ResponderPipe(std::shared_ptr<Log> log) : log_(std::move(log)) {}

    /// Reads wait from here until releaseReads().
    static void holdReads(Log& log) {
        std::lock_guard<std::mutex> lock(log.mutex);
        log.holdReads = true;
    }
    static void awaitHeldRead(Log& log) {
        std::unique_lock<std::mutex> lock(log.mutex);
        log.changed.wait(lock, [&] { return log.readWaiting; });
    }
    static void releaseReads(Log& log) {
        {
            std::lock_guard<std::mutex> lock(log.mutex);
            log.holdReads = false;
        }
        log.changed.notify_all();
    }

    PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned,
                         bool) override {
        const auto command = Ptp::decodeContainer(data, size);
        if (!command || command->type != Ptp::ContainerType::Command) {
            return PipeStatus::Error;
        }
        if (offset_ < queued_.size()) {
            ++log_->interleaved;
        }
        // Give other threads every chance to barge in.
        std::this_thread::yield();
        {
            std::lock_guard<std::mutex> lock(log_->mutex);
            log_->transactionIds.push_back(command->transactionId);
        }
        const size_t length = command->parameters.empty() ? 0 : command->parameters[0];
        queued_ =
            dataBytes(kGetObject, command->transactionId,
                      std::vector<uint8_t>(length, static_cast<uint8_t>(command->transactionId)));
        boundary_ = queued_.size();
        const auto response =
            responseBytes(0x2001, command->transactionId, {command->transactionId});
        queued_.insert(queued_.end(), response.begin(), response.end());
        offset_ = 0;
        written = size;
        return PipeStatus::Ok;
    }

    PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received, unsigned) override {
        {
            std::unique_lock<std::mutex> lock(log_->mutex);
            log_->readWaiting = true;
            log_->changed.notify_all();
            log_->changed.wait(lock, [&] { return !log_->holdReads; });
            log_->readWaiting = false;
        }
        std::this_thread::yield();
        // One container per transfer, as a device ends each with a short packet.
        const size_t end = offset_ < boundary_ ? boundary_ : queued_.size();
        received = std::min(capacity, end - offset_);
        std::memcpy(data, queued_.data() + offset_, received);
        offset_ += received;
        return received == 0 ? PipeStatus::Timeout : PipeStatus::Ok;
    }

    PipeStatus readInterrupt(uint8_t*, size_t, size_t& received, unsigned) override {
        received = 0;
        return PipeStatus::Timeout;
    }
    PipeStatus cancel(uint32_t) override { return PipeStatus::Ok; }
    PipeStatus getDeviceStatus(PipeDeviceStatus& status) override {
        status.code = 0x2001;
        return PipeStatus::Ok;
    }
    PipeStatus resetDevice() override { return PipeStatus::Ok; }
    PipeStatus clearHalt(PipeEndpoint) override { return PipeStatus::Ok; }
    size_t packetSize() const override { return 512; }
    bool isAttached() override { return true; }

private:
    std::shared_ptr<Log> log_;
    std::vector<uint8_t> queued_;
    size_t boundary_ = 0;
    size_t offset_ = 0;
};

MtpRequest readOf(uint32_t size) {
    return CameraController::Testing::readRequest(kGetObject, {size});
}

TEST(PtpUsbDeviceThreads, TransactionsFromManyThreadsNeverInterleave) {
    auto log = std::make_shared<ResponderPipe::Log>();
    PtpUsbDevice device(std::make_unique<ResponderPipe>(log));

    constexpr int kThreads = 4;
    constexpr int kPerThread = 150;
    std::atomic<int> wrong{0};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < kThreads) {
                std::this_thread::yield();
            }
            for (int i = 0; i < kPerThread; ++i) {
                const uint32_t size = static_cast<uint32_t>(100 + 700 * t + i);
                const MtpResponse response = device.execute(readOf(size));
                // The data must be this transaction's: every byte is its id's low byte.
                const bool ok =
                    response.responseCode == 0x2001 && response.dataSize == size &&
                    response.parameters.size() == 1 &&
                    std::all_of(response.data.get(), response.data.get() + size, [&](uint8_t b) {
                        return b == static_cast<uint8_t>(response.parameters[0]);
                    });
                wrong += ok ? 0 : 1;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }

    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(log->interleaved.load(), 0);
    std::lock_guard<std::mutex> lock(log->mutex);
    ASSERT_EQ(log->transactionIds.size(), static_cast<size_t>(kThreads * kPerThread));
    for (size_t i = 0; i < log->transactionIds.size(); ++i) {
        EXPECT_EQ(log->transactionIds[i], i + 1) << "transaction ids must count up";
    }
}

TEST(PtpUsbDeviceThreads, IsConnectedDoesNotWaitForARunningTransaction) {
    auto log = std::make_shared<ResponderPipe::Log>();
    PtpUsbDevice device(std::make_unique<ResponderPipe>(log));
    ResponderPipe::holdReads(*log);
    auto transaction = std::async(std::launch::async, [&] { return device.execute(readOf(10)); });
    ResponderPipe::awaitHeldRead(*log);

    // The transaction is stuck inside the pipe holding the device's mutex.
    auto probe = std::async(std::launch::async, [&] { return device.isConnected(); });
    const bool answered = probe.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    ResponderPipe::releaseReads(*log);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(probe.get());
    EXPECT_EQ(transaction.get().responseCode, 0x2001);
}

// A transaction that waits goes before a background thread's next one, even when the
// background thread was waiting first; the mutex alone would serve them in turn.
TEST(PtpUsbDeviceThreads, AWaitingTransactionGoesBeforeTheBackgroundsNext) {
    auto log = std::make_shared<ResponderPipe::Log>();
    PtpUsbDevice device(std::make_unique<ResponderPipe>(log));
    ResponderPipe::holdReads(*log);
    const auto inBackground = [&](uint32_t size) {
        return std::async(std::launch::async, [&device, size] {
            const BackgroundTransactions mark;
            return device.execute(readOf(size));
        });
    };
    auto running = inBackground(1);
    ResponderPipe::awaitHeldRead(*log);
    // Nothing tells when a thread blocks on a mutex; these pauses only give each one time to.
    auto nextInBackground = inBackground(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto foreground = std::async(std::launch::async, [&] { return device.execute(readOf(7)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ResponderPipe::releaseReads(*log);

    EXPECT_EQ(running.get().responseCode, 0x2001);
    const MtpResponse background = nextInBackground.get();
    const MtpResponse waiting = foreground.get();
    ASSERT_EQ(background.parameters.size(), 1u);
    ASSERT_EQ(waiting.parameters.size(), 1u);
    // Each answer echoes its transaction id, which counts up in the order they ran.
    EXPECT_LT(waiting.parameters[0], background.parameters[0]);
    EXPECT_FALSE(BackgroundTransactions::active());
}

}  // namespace
}  // namespace Corvane::CameraController::Impl::Testing
