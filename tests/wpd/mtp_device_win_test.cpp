#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "mtp/wpd/mtp_device_win.hpp"
#include "mtp/wpd/wpd_strings.hpp"
#include "support/mtp_requests.hpp"
#include "wpd/fake_wpd_api.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using namespace Testing;

const std::wstring kPnpId =
    L"\\\\?\\usb#vid_1234&pid_0001#cam1#{6ac27878-a6fa-4155-ba85-f98f491d4f33}";

class MtpDeviceWinTest : public ::testing::Test {
protected:
    // A device object for `camera`, attached as the test has set it up by now.
    std::shared_ptr<MtpDeviceWin> device() {
        camera.pnpId = kPnpId;
        api->detach(kPnpId);
        api->attach(camera);
        WpdDeviceHandle handle;
        handle.record.pnpDeviceId = wpdDeviceKey(kPnpId);
        handle.widePnpId = kPnpId;
        return std::make_shared<MtpDeviceWin>(api, handle);
    }

    FakeWpdDevice camera;
    std::shared_ptr<FakeWpdApi> api = std::make_shared<FakeWpdApi>();
};

TEST_F(MtpDeviceWinTest, SendsAtLeastOneAndAtMostFiveParameterWords) {
    auto camera = device();
    camera->execute(mtpRequest(0x9001, {}));
    camera->execute(mtpRequest(0x9011, {1, 2, 3, 4, 5, 6, 7}));
    camera->execute(mtpRequest(0x1015, {0xD009}, MtpDataPhase::Read));
    camera->execute(mtpRequest(0x1016, {0xD036, 9}, MtpDataPhase::Write));

    const auto operations = api->operations();
    ASSERT_EQ(operations.size(), 4u);
    EXPECT_EQ(operations[0].parameters, (std::vector<uint32_t>{0}));
    EXPECT_EQ(operations[1].parameters, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(operations[2].parameters, (std::vector<uint32_t>{0xD009}));
    EXPECT_EQ(operations[3].parameters, (std::vector<uint32_t>{0xD036, 9}));
}

TEST_F(MtpDeviceWinTest, ResponseParametersAreCappedAtFiveAndUnreadableOnesSkipped) {
    camera.camera = [](const FakeOperation&) {
        return FakeAnswer{0x2001, {1, std::nullopt, 2, 3, std::nullopt, 4, 5, 6, 7}, {}};
    };
    const MtpResponse response = device()->execute(mtpRequest(0x9003, {}));
    EXPECT_EQ(response.responseCode, 0x2001);
    EXPECT_EQ(response.parameters, (std::vector<uint32_t>{1, 2, 3, 4, 5}));

    // Parameters travel with success only.
    camera.camera = [](const FakeOperation&) { return FakeAnswer{0x2019, {1, 2}, {}}; };
    const MtpResponse busy = device()->execute(mtpRequest(0x9003, {}));
    EXPECT_EQ(busy.responseCode, 0x2019);
    EXPECT_TRUE(busy.parameters.empty());
}

TEST_F(MtpDeviceWinTest, ReadDeliversTheDataWithTheResponse) {
    camera.camera = [](const FakeOperation&) { return FakeAnswer{0x2001, {}, {1, 2, 3, 4, 5}}; };
    const MtpResponse response = device()->execute(mtpRequest(0x1008, {7}, MtpDataPhase::Read));
    EXPECT_EQ(response.responseCode, 0x2001);
    ASSERT_EQ(response.dataSize, 5u);
    EXPECT_EQ(std::vector<uint8_t>(response.data.get(), response.data.get() + 5),
              (std::vector<uint8_t>{1, 2, 3, 4, 5}));

    const auto commands = api->commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[1].command, WpdCommand::ReadData);
    EXPECT_EQ(commands[1].numBytesToRead, 5u);
    EXPECT_EQ(commands[1].transferContext, std::wstring(L"ctx"));
    EXPECT_EQ(commands[2].command, WpdCommand::EndDataTransfer);
}

// Data that cannot be read back fails a read that has some, but not one that has none.
TEST_F(MtpDeviceWinTest, UnreadableDataFailsOnlyANonEmptyRead) {
    camera.transferDataUnreadable = true;
    camera.camera = [](const FakeOperation& operation) {
        return operation.code == 0x1008 ? FakeAnswer{0x2009, {}, {}}
                                        : FakeAnswer{0x2001, {}, {1, 2, 3}};
    };
    const MtpResponse empty = device()->execute(mtpRequest(0x1008, {7}, MtpDataPhase::Read));
    EXPECT_EQ(empty.responseCode, 0x2009);
    EXPECT_EQ(empty.data, nullptr);
    EXPECT_EQ(empty.dataSize, 0u);

    const size_t commandsBefore = api->commands().size();
    const MtpResponse lost = device()->execute(mtpRequest(0x1009, {7}, MtpDataPhase::Read));
    EXPECT_EQ(lost.responseCode, 0);
    EXPECT_EQ(lost.data, nullptr);
    const auto commands = api->commands();
    for (size_t i = commandsBefore; i < commands.size(); ++i) {
        EXPECT_NE(commands[i].command, WpdCommand::EndDataTransfer);
    }
}

TEST_F(MtpDeviceWinTest, WriteSendsTheCallersBytesInOneCommandAndNothingWithoutThem) {
    const uint8_t bytes[] = {2, 0, 0, 0, 0x10, 0, 0x20, 0};
    MtpRequest write = mtpRequest(0x1016, {0xD036}, MtpDataPhase::Write);
    write.data = bytes;
    write.dataSize = sizeof bytes;
    const MtpResponse response = device()->execute(write);
    EXPECT_EQ(response.responseCode, 0x2001);

    const auto operations = api->operations();
    ASSERT_EQ(operations.size(), 1u);
    EXPECT_EQ(operations[0].data, std::vector<uint8_t>(bytes, bytes + sizeof bytes));
    const auto commands = api->commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].transferTotalDataSize, uint64_t{sizeof bytes});
    EXPECT_EQ(commands[1].numBytesToWrite, uint32_t{sizeof bytes});

    // A size without bytes sends nothing.
    write.data = nullptr;
    EXPECT_EQ(device()->execute(write).responseCode, 0);
    EXPECT_EQ(api->commands().size(), 3u);
}

TEST_F(MtpDeviceWinTest, AccessDeniedEndsTheTransactionWithoutRetry) {
    camera.openStatuses = {kWpdAccessDenied};

    const MtpResponse response = device()->execute(mtpRequest(0x9001, {1}));
    EXPECT_EQ(response.responseCode, 0);
    EXPECT_EQ(api->opens().size(), 1u);
    EXPECT_TRUE(api->commands().empty());
}

TEST_F(MtpDeviceWinTest, StartsComOnAThreadWithoutIt) {
    api->withoutCom();
    EXPECT_EQ(device()->execute(mtpRequest(0x9001, {1})).responseCode, 0x2001);
    EXPECT_EQ(api->comStarts(), 1);
}

TEST_F(MtpDeviceWinTest, DetachedDeviceIsReportedAfterFiveChecks) {
    auto camera = device();
    EXPECT_TRUE(camera->isConnected());
    EXPECT_EQ(api->listings(), 1);

    api->detach(kPnpId);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(camera->isConnected());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(api->listings(), 6);
    EXPECT_EQ(camera->execute(mtpRequest(0x9001, {1})).responseCode, 0);
}

TEST_F(MtpDeviceWinTest, TransactionsOnOneDeviceDoNotInterleave) {
    camera.camera = [](const FakeOperation&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return FakeAnswer{0x2001, {}, {1, 2, 3, 4}};
    };
    auto camera = device();
    auto worker = [&] {
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(camera->execute(mtpRequest(0x900F, {}, MtpDataPhase::Read)).dataSize, 4u);
        }
    };
    std::thread first(worker);
    std::thread second(worker);
    first.join();
    second.join();
    EXPECT_FALSE(api->sawInterleaving());
    EXPECT_EQ(api->operationCount(0x900F), 40);
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
