#include "mtp/usb/ptp_usb_device.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mtp/usb/byte_order.hpp"
#include "mtp/usb/ptp_transaction.hpp"
#include "support/dataset_builder.hpp"
#include "support/mtp_requests.hpp"
#include "usb/ptp_test_support.hpp"
#include "usb/scripted_pipe.hpp"

namespace Corvane::CameraController::Impl::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint16_t kGetDeviceInfo = 0x1001;
constexpr uint16_t kOpenSession = 0x1002;
constexpr uint16_t kCloseSession = 0x1003;
constexpr uint16_t kSetDevicePropValue = 0x1016;
constexpr uint16_t kSessionAlreadyOpen = 0x201E;
constexpr uint16_t kAccessDenied = 0x200F;
constexpr uint16_t kGetObject = 0x1009;
constexpr uint16_t kSendObject = 0x100D;
constexpr uint16_t kVendorRelease = 0x9011;
constexpr uint16_t kOk = 0x2001;
constexpr uint16_t kGeneralError = 0x2002;
constexpr uint16_t kBusy = 0x2019;

using namespace CameraController::Testing;

class PtpUsbDeviceTest : public ::testing::Test {
protected:
    PtpUsbDeviceTest() { newDevice(); }

    void newDevice(PtpLimits limits = {}, size_t packetSize = 512) {
        install(std::make_unique<ScriptedPipe>(packetSize), limits);
    }

    void install(std::unique_ptr<ScriptedPipe> pipe, PtpLimits limits = {}) {
        chat = pipe->state();
        device = std::make_unique<PtpUsbDevice>(std::move(pipe), limits);
    }

    void TearDown() override { checkScript(); }

    void checkScript() {
        EXPECT_THAT(chat->errors(), IsEmpty());
        EXPECT_TRUE(chat->finished()) << "script not played to the end";
    }

    // A transaction the device answers plainly; proves the engine is in step again.
    void expectHealthyTransaction(uint32_t transactionId) {
        chat->expectTransfer(commandBytes(kVendorRelease, transactionId, {1, 2}));
        chat->deviceSends(responseBytes(kOk, transactionId, {7}));
        const MtpResponse response = device->execute(mtpRequest(kVendorRelease, {1, 2}));
        EXPECT_EQ(response.responseCode, kOk);
        EXPECT_THAT(response.parameters, ElementsAre(7u));
    }

    void scriptOpen(const std::vector<uint8_t>& dataset) {
        chat->expectTransfer(commandBytes(kOpenSession, 0, {1}));
        chat->deviceSends(responseBytes(kOk, 0));
        chat->expectTransfer(commandBytes(kGetDeviceInfo, 1));
        chat->deviceSends(dataBytes(kGetDeviceInfo, 1, dataset));
        chat->deviceSends(responseBytes(kOk, 1));
    }

    void openPlainly(const DeviceInfoFields& info = {}) {
        scriptOpen(deviceInfoDataset(info));
        ASSERT_TRUE(device->open());
    }

    MtpResponse getObject(std::vector<uint32_t> parameters = {}) {
        return device->execute(readRequest(kGetObject, std::move(parameters)));
    }

    void freshDevice() {
        checkScript();
        newDevice();
    }

    std::shared_ptr<ScriptedPipe::State> chat;
    std::unique_ptr<PtpUsbDevice> device;
};

// connect() opens a device discovery already opened: the session goes on with its ids.
TEST_F(PtpUsbDeviceTest, OpenStartsSessionOneFixesIdentityAndOpeningAgainKeepsTheSession) {
    DeviceInfoFields info;
    info.operations = {kGetDeviceInfo, kOpenSession, 0x9001};
    openPlainly(info);
    EXPECT_EQ(device->getManufacturer(), info.manufacturer);
    EXPECT_EQ(device->getModel(), info.model);
    EXPECT_EQ(device->getFirmwareVersion(), info.deviceVersion);
    EXPECT_EQ(device->getSerialNumber(), info.serialNumber);
    EXPECT_THAT(device->getSupportedOperations(), ElementsAre(0x1001, 0x1002, 0x9001));
    const uint64_t session = device->sessionNumber();

    chat->expectTransfer(commandBytes(kGetDeviceInfo, 2));
    chat->deviceSends(dataBytes(kGetDeviceInfo, 2, deviceInfoDataset(info)));
    chat->deviceSends(responseBytes(kOk, 2));
    ASSERT_TRUE(device->open());
    EXPECT_EQ(device->sessionNumber(), session);
    expectHealthyTransaction(3);
}

TEST_F(PtpUsbDeviceTest, OpenFailsOnRefusalOrBadDeviceInfo) {
    chat->expectTransfer(commandBytes(kOpenSession, 0, {1}));
    chat->deviceSends(responseBytes(kGeneralError, 0));
    EXPECT_FALSE(device->open());

    scriptOpen({0x64, 0x00, 0x06});
    EXPECT_FALSE(device->open());
    EXPECT_EQ(device->getModel(), "");
}

// A session some other program left open has transaction ids this device cannot know: the
// class reset ends it, and ids start over only in a session of its own.
TEST_F(PtpUsbDeviceTest, SessionLeftOpenByAnotherProgramIsResetAndOpenedAnew) {
    chat->expectTransfer(commandBytes(kOpenSession, 0, {1}));
    chat->deviceSends(responseBytes(kSessionAlreadyOpen, 0));
    chat->expectReset();
    chat->expectClearHalt(PipeEndpoint::BulkIn);
    chat->expectClearHalt(PipeEndpoint::BulkOut);
    openPlainly();
    expectHealthyTransaction(2);
}

// Other programs must be able to claim the camera after close(), and find no session of ours.
TEST_F(PtpUsbDeviceTest, CloseEndsTheSessionReleasesTheInterfaceAndOpenTakesItBack) {
    openPlainly();

    chat->expectTransfer(commandBytes(kCloseSession, 2));
    chat->deviceSends(responseBytes(kOk, 2));
    ASSERT_TRUE(device->close());
    EXPECT_EQ(chat->calls().back(), "release");
    const size_t callsAfterClose = chat->calls().size();
    EXPECT_EQ(device->execute(mtpRequest(kVendorRelease)).responseCode, 0);
    EXPECT_EQ(chat->calls().size(), callsAfterClose);
    EXPECT_TRUE(device->isConnected());

    openPlainly();
    EXPECT_EQ(chat->calls()[callsAfterClose], "reclaim");
    expectHealthyTransaction(2);
}

// Code 0 means "the transport got no answer": coming from the camera, nothing rides along.
TEST_F(PtpUsbDeviceTest, FailureCodesCarryNoParametersButKeepTheirDataExceptCodeZero) {
    chat->expectTransfer(commandBytes(kGetObject, 1, {5}));
    chat->deviceSends(dataBytes(kGetObject, 1, pattern(40)));
    chat->deviceSends(responseBytes(kBusy, 1, {3}));
    chat->expectTransfer(commandBytes(kGetObject, 2, {6}));
    chat->deviceSends(responseBytes(0x2009, 2));  // invalid handle: no data phase at all
    chat->expectTransfer(commandBytes(kGetObject, 3));
    chat->deviceSends(dataBytes(kGetObject, 3, pattern(40)));
    chat->deviceSends(responseBytes(0, 3, {5}));

    const MtpResponse busy = getObject({5});
    EXPECT_EQ(busy.responseCode, kBusy);
    EXPECT_THAT(busy.parameters, IsEmpty());
    EXPECT_EQ(bytesOf(busy), pattern(40));

    const MtpResponse refused = getObject({6});
    EXPECT_EQ(refused.responseCode, 0x2009);
    EXPECT_EQ(refused.data, nullptr);
    EXPECT_EQ(refused.dataSize, 0u);

    const MtpResponse zero = getObject();
    EXPECT_EQ(zero.responseCode, 0);
    EXPECT_EQ(zero.data, nullptr);
    EXPECT_EQ(zero.dataSize, 0u);
    EXPECT_THAT(zero.parameters, IsEmpty());
    expectHealthyTransaction(4);
}

// Sizes around the 512-byte packet (container = payload + 12), the 16 KiB first read and the
// transfer limit, and one in SuperSpeed packets. A header written on its own shows as a transfer
// of its own.
TEST_F(PtpUsbDeviceTest, DataPhasesOfEverySizeArriveWholeBothWays) {
    std::vector<std::pair<size_t, size_t>> sizesAndPackets = {{2 * 1024 * 1024 - 12, 1024}};
    for (const size_t size : std::initializer_list<size_t>{
             0, 1, 499, 500, 501, 511, 512, 513, 1012, 16372, 16373, kPtpMaxTransfer - 12,
             kPtpMaxTransfer + 1, 5 * 1024 * 1024 + 3}) {
        sizesAndPackets.emplace_back(size, 512);
    }
    for (const auto& [size, packetSize] : sizesAndPackets) {
        SCOPED_TRACE(size);
        newDevice({}, packetSize);
        const auto payload = pattern(size);
        chat->expectTransfer(commandBytes(kGetObject, 1, {42}));
        chat->deviceSends(dataBytes(kGetObject, 1, payload));
        chat->deviceSends(responseBytes(kOk, 1, {static_cast<uint32_t>(size)}));
        const MtpResponse read = getObject({42});
        ASSERT_EQ(read.responseCode, kOk);
        EXPECT_EQ(read.dataSize, size);
        EXPECT_EQ(read.data == nullptr, payload.empty());
        EXPECT_TRUE(bytesOf(read) == payload);
        EXPECT_THAT(read.parameters, ElementsAre(size));

        chat->expectTransfer(commandBytes(kSendObject, 2, {0}));
        chat->expectTransfer(dataBytes(kSendObject, 2, payload));
        chat->deviceSends(responseBytes(kOk, 2));
        EXPECT_EQ(device->execute(writeRequest(kSendObject, payload)).responseCode, kOk);
        freshDevice();
    }
}

// 1012 + 12 bytes end on a packet boundary; a device that omits the zero-length packet puts its
// response in the same host read as the data.
TEST_F(PtpUsbDeviceTest, MissingZeroLengthPacketAfterDataIsTolerated) {
    chat->expectTransfer(commandBytes(kGetObject, 1));
    chat->deviceSends(dataBytes(kGetObject, 1, pattern(1012)), false);
    chat->deviceSends(responseBytes(kOk, 1, {4}));

    const MtpResponse response = getObject();
    EXPECT_EQ(response.responseCode, kOk);
    EXPECT_EQ(bytesOf(response), pattern(1012));
    EXPECT_THAT(response.parameters, ElementsAre(4u));
}

TEST_F(PtpUsbDeviceTest, HeaderAndPayloadSplitAcrossShortTransfers) {
    const auto payload = pattern(3000);
    const auto bytes = dataBytes(kGetObject, 1, payload);
    chat->expectTransfer(commandBytes(kGetObject, 1));
    chat->deviceSends({bytes.begin(), bytes.begin() + 5});
    chat->deviceSends({bytes.begin() + 5, bytes.begin() + 700});
    chat->deviceSends({bytes.begin() + 700, bytes.begin() + 2000});
    chat->deviceSends({bytes.begin() + 2000, bytes.end()});
    const auto response = responseBytes(kOk, 1);
    chat->deviceSends({response.begin(), response.begin() + 6});
    chat->deviceSends({response.begin() + 6, response.end()});

    const MtpResponse result = getObject();
    EXPECT_EQ(result.responseCode, kOk);
    EXPECT_EQ(bytesOf(result), payload);
}

TEST_F(PtpUsbDeviceTest, AnswersOfTheWrongTransactionTypeShapeOrLengthGiveCodeZero) {
    const auto withLength = [](uint32_t length) {
        auto bytes = dataBytes(kGetObject, 1, pattern(20));
        Ptp::storeLe32(bytes.data(), length);
        return bytes;
    };
    auto cutShort = dataBytes(kGetObject, 1, pattern(5000));
    cutShort.resize(1000);
    struct Case {
        const char* what;
        MtpDataPhase phase;
        std::vector<std::vector<uint8_t>> transfers;
        uint32_t cancelled = 1;
    };
    const Case cases[] = {
        {"wrong transaction id", MtpDataPhase::None, {responseBytes(kOk, 7)}, 7},
        // A program that died mid-download leaves the camera streaming its transaction: that
        // one is cancelled and everything it still sends is drained, however large.
        {"stale data of another transaction",
         MtpDataPhase::Read,
         {dataBytes(kGetObject, 9, pattern(6 * 1024 * 1024)), responseBytes(kOk, 9),
          responseBytes(kOk, 1)},
         9},
        {"event on the bulk pipe",
         MtpDataPhase::None,
         {Ptp::encodeContainer({Ptp::ContainerType::Event, 0x4002, 1, {1}})}},
        {"data without a data phase", MtpDataPhase::None, {dataBytes(kGetObject, 1, pattern(8))}},
        {"data phase ending early", MtpDataPhase::Read, {cutShort, responseBytes(kOk, 1)}},
        // Implausible lengths are refused before anything is allocated for them.
        {"length of 4 GiB", MtpDataPhase::Read, {withLength(0xFFFFFFFFu)}},
        {"length over the limit",
         MtpDataPhase::Read,
         {withLength(static_cast<uint32_t>(kPtpMaxDataPhase + 13))}},
        {"length below the header", MtpDataPhase::Read, {withLength(11)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        chat->expectTransfer(commandBytes(kGetObject, 1));
        for (const auto& transfer : c.transfers) {
            chat->deviceSends(transfer);
        }
        chat->expectCancel(c.cancelled);
        chat->expectStatus(kOk);
        const MtpResponse response = device->execute(mtpRequest(kGetObject, {}, c.phase));
        EXPECT_EQ(response.responseCode, 0);
        EXPECT_EQ(response.data, nullptr);
        EXPECT_THAT(response.parameters, IsEmpty());
        expectHealthyTransaction(2);
        freshDevice();
    }
}

// A stall is the camera refusing: its reason is read before clearing the halt resets it.
TEST_F(PtpUsbDeviceTest, StallGivesTheCameraReasonReadBeforeTheHaltIsCleared) {
    chat->expectTransfer(commandBytes(kGetObject, 1));
    chat->failIn(PipeStatus::Stall);
    chat->expectStatus(kBusy, true);
    chat->expectStatus(0x2009, true);
    chat->expectClearHalt(PipeEndpoint::BulkIn);
    EXPECT_EQ(getObject().responseCode, 0x2009);
    expectHealthyTransaction(2);

    const std::vector<uint8_t> value = {1, 0};
    const MtpRequest set = writeRequest(kSetDevicePropValue, value, {0x5001});
    chat->expectTransfer(commandBytes(kSetDevicePropValue, 3, {0x5001}));
    chat->failOut(PipeStatus::Stall);
    chat->expectStatus(kAccessDenied, false, true);
    chat->expectClearHalt(PipeEndpoint::BulkOut);
    const MtpResponse refused = device->execute(set);
    EXPECT_EQ(refused.responseCode, kAccessDenied);
    EXPECT_THAT(refused.parameters, IsEmpty());
    expectHealthyTransaction(4);

    // A stall without a reason is a failure all the same.
    const auto payload = pattern(100000);
    chat->expectTransfer(commandBytes(kSendObject, 5, {0}));
    chat->failOut(PipeStatus::Stall);
    chat->expectStatus(kOk);
    chat->expectClearHalt(PipeEndpoint::BulkOut);
    EXPECT_EQ(device->execute(writeRequest(kSendObject, payload)).responseCode, 0);
    expectHealthyTransaction(6);
}

TEST_F(PtpUsbDeviceTest, HaltsReportedByStatusAreClearedWhileTheDeviceIsBusy) {
    chat->expectTransfer(commandBytes(kGetObject, 1));
    chat->deviceSends(Ptp::encodeContainer({Ptp::ContainerType::Event, 0x4002, 1, {}}));
    chat->expectCancel(1);
    chat->expectStatus(kBusy, true, true);
    chat->expectClearHalt(PipeEndpoint::BulkIn);
    chat->expectClearHalt(PipeEndpoint::BulkOut);
    chat->expectStatus(kBusy);
    chat->expectStatus(kOk);
    EXPECT_EQ(getObject().responseCode, 0);
    expectHealthyTransaction(2);
}

TEST_F(PtpUsbDeviceTest, DeviceThatNeverSettlesIsResetAndTheSessionReopenedVisibly) {
    PtpLimits limits;
    limits.settleMs = 0;  // one status poll, then the reset
    newDevice(limits);

    openPlainly();
    const uint64_t session = device->sessionNumber();

    chat->expectTransfer(commandBytes(kVendorRelease, 2));
    chat->failIn(PipeStatus::Error);
    chat->expectCancel(2);
    chat->expectStatus(kGeneralError);
    chat->expectReset();
    chat->expectClearHalt(PipeEndpoint::BulkIn);
    chat->expectClearHalt(PipeEndpoint::BulkOut);
    EXPECT_EQ(device->execute(mtpRequest(kVendorRelease)).responseCode, 0);

    // The reset ended the session: it is opened again before the next request, and while the
    // camera refuses, nothing else goes out.
    chat->expectTransfer(commandBytes(kOpenSession, 0, {1}));
    chat->deviceSends(responseBytes(kBusy, 0));
    EXPECT_EQ(device->execute(mtpRequest(kVendorRelease)).responseCode, 0);
    EXPECT_EQ(device->sessionNumber(), session);
    chat->expectTransfer(commandBytes(kOpenSession, 0, {1}));
    chat->deviceSends(responseBytes(kOk, 0));
    expectHealthyTransaction(1);
    // The layer above learns that what it set up in the old session is gone.
    EXPECT_NE(device->sessionNumber(), session);
    expectHealthyTransaction(2);
}

TEST_F(PtpUsbDeviceTest, UnplugMidDataPhaseGivesCodeZeroAtOnceAndForever) {
    auto bytes = dataBytes(kGetObject, 1, pattern(3 * 1024 * 1024));
    bytes.resize(1024 * 1024);
    chat->expectTransfer(commandBytes(kGetObject, 1));
    chat->deviceSends(bytes, false);
    chat->unplug();

    const MtpResponse response = getObject();
    EXPECT_EQ(response.responseCode, 0);
    EXPECT_EQ(response.data, nullptr);
    // No recovery is attempted on a device that is gone.
    EXPECT_THAT(chat->calls(), ::testing::Each(::testing::AnyOf(::testing::StartsWith("write"),
                                                                ::testing::StartsWith("read"))));
    EXPECT_FALSE(device->isConnected());

    const size_t callsBefore = chat->calls().size();
    EXPECT_EQ(device->execute(mtpRequest(kVendorRelease)).responseCode, 0);
    EXPECT_EQ(chat->calls().size(), callsBefore);
}

TEST_F(PtpUsbDeviceTest, RequestsThatCannotRunSendNothing) {
    MtpRequest noBuffer = mtpRequest(kSendObject, {}, MtpDataPhase::Write);
    noBuffer.dataSize = 10;
    EXPECT_EQ(device->execute(noBuffer).responseCode, 0);
    EXPECT_THAT(chat->calls(), IsEmpty());

    // Closing before any session only lets go of the interface.
    ASSERT_TRUE(device->close());
    EXPECT_EQ(device->execute(mtpRequest(kVendorRelease)).responseCode, 0);
    EXPECT_THAT(chat->calls(), ElementsAre("release"));

    freshDevice();
    EXPECT_TRUE(device->isConnected());
    chat->unplug();
    EXPECT_FALSE(device->isConnected());
    EXPECT_EQ(device->execute(mtpRequest(kVendorRelease)).responseCode, 0);
}

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

// The same device used from several threads at once: the scripted device fails the script when
// a second command arrives before the first transaction has ended.
class PtpUsbDeviceThreads : public PtpUsbDeviceTest {
protected:
    PtpUsbDeviceThreads() { install(std::make_unique<GatedPipe>(gate)); }

    // Transaction `id` answers with data of its own and its id as the response parameter.
    void scriptTransaction(uint32_t id) {
        chat->expectTransfer(commandBytes(kGetObject, id));
        chat->deviceSends(dataBytes(kGetObject, id, pattern(kPayload, id)));
        chat->deviceSends(responseBytes(kOk, id, {id}));
    }

    MtpResponse run() { return getObject(); }

    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
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
                const bool ok = response.responseCode == kOk && response.parameters.size() == 1 &&
                                bytesOf(response) == pattern(kPayload, response.parameters[0]);
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
    EXPECT_EQ(running.get().responseCode, kOk);
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
