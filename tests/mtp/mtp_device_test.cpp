#include "mtp/mtp_device.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "mtp/mtp_response.hpp"
#include "support/dataset_builder.hpp"
#include "support/scripted_mtp_device.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using Testing::DatasetBuilder;
using Testing::ScriptedMtpDevice;
using Testing::ScriptedResponse;

using Words = std::vector<uint32_t>;

TEST(MtpDeviceBase, LoadDeviceInfoReplacesTheCacheOnlyOnSuccess) {
    ScriptedMtpDevice device;
    EXPECT_TRUE(device.getSupportedOperations().empty());

    const auto opsOnly = DatasetBuilder().u16(100).u32(6).u16(100).u8(0).u16(0);
    device.queue(0x1001, ScriptedResponse::ok(DatasetBuilder(opsOnly).u16Array({0x9001}).bytes()));
    EXPECT_TRUE(device.loadDeviceInfo());
    EXPECT_EQ(device.getSupportedOperations(), std::vector<uint16_t>{0x9001});

    device.queue(0x1001, ScriptedResponse::withCode(0x2019));
    device.queue(0x1001, ScriptedResponse::ok());
    device.queue(0x1001, ScriptedResponse::ok(DatasetBuilder(opsOnly).u32(5).u16(1).bytes()));
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_FALSE(device.loadDeviceInfo()) << "attempt " << attempt;
    }
    device.setConnected(false);
    EXPECT_FALSE(device.loadDeviceInfo());
    EXPECT_EQ(device.getSupportedOperations(), std::vector<uint16_t>{0x9001});
}

TEST(MtpDeviceBase, GetObjectHandlesTellsEmptyStorageFromFailure) {
    ScriptedMtpDevice device;
    std::vector<uint32_t> handles{1, 2, 3};

    device.queue(0x1007, ScriptedResponse::ok(DatasetBuilder().u32(0).bytes()));
    EXPECT_TRUE(device.getObjectHandles(0x00010001, 0, handles));
    EXPECT_TRUE(handles.empty());

    handles = {9};
    device.queue(0x1007, ScriptedResponse::withCode(0x2013));
    EXPECT_FALSE(device.getObjectHandles(0x00010001, 0, handles));
    EXPECT_TRUE(handles.empty());

    handles = {9};
    device.queue(0x1007, ScriptedResponse::ok());  // OK without any data
    EXPECT_FALSE(device.getObjectHandles(0x00010001, 0, handles));
    EXPECT_TRUE(handles.empty());

    device.queue(0x1007, ScriptedResponse::ok(DatasetBuilder().u32Array({5, 3, 4}).bytes()));
    EXPECT_TRUE(device.getObjectHandles(0x00010001, 0, handles));
    EXPECT_EQ(handles, (Words{5, 3, 4}));
}

TEST(MtpDeviceBase, StorageIdsAreEmptyOnAnyFailure) {
    ScriptedMtpDevice device;
    device.queue(0x1004,
                 ScriptedResponse::ok(DatasetBuilder().u32Array({0x00020001, 0x00010001}).bytes()));
    EXPECT_EQ(device.getStorageIds(), (Words{0x00020001, 0x00010001}));

    device.queue(0x1004,
                 ScriptedResponse::withCode(0x2001, DatasetBuilder().u32(2).u32(1).bytes()));
    EXPECT_TRUE(device.getStorageIds().empty());
    device.queue(0x1004,
                 ScriptedResponse::withCode(0x2002, DatasetBuilder().u32Array({1}).bytes()));
    EXPECT_TRUE(device.getStorageIds().empty());
}

TEST(MtpDeviceBase, InfoDatasetsCarryTheIdThatWasAskedFor) {
    ScriptedMtpDevice device;
    DatasetBuilder storageInfo;
    storageInfo.u16(4).u16(2).u16(0).u64(1000).u64(500).u32(10).string("SD").string("");
    device.queue(0x1005, ScriptedResponse::ok(storageInfo.bytes()));
    const auto storage = device.getStorageInfo(0x00020001);
    ASSERT_TRUE(storage);
    EXPECT_EQ(storage->storageId, 0x00020001u);
    EXPECT_EQ(storage->freeSpaceInBytes, 500u);

    device.queue(0x1008,
                 ScriptedResponse::ok(DatasetBuilder().u32(0x00010001).u16(0x3801).bytes()));
    EXPECT_EQ(device.getObjectInfo(12), nullptr);
    device.queue(0x1008, ScriptedResponse::withCode(0x2009));
    EXPECT_EQ(device.getObjectInfo(12), nullptr);
}

// Parameters only with OK and at most five; data travels with a failure code too.
TEST(MtpResponseContract, ParametersOnlyWithOkButDataWithAnyCode) {
    EXPECT_TRUE(makeMtpResponse(0x2019, {1, 2}).parameters.empty());
    EXPECT_EQ(makeMtpResponse(0x2001, {1, 2, 3, 4, 5, 6, 7}).parameters, (Words{1, 2, 3, 4, 5}));

    const uint8_t bytes[] = {1, 2, 3};
    const auto response = makeMtpResponse(0x2002, {}, bytes, sizeof bytes);
    EXPECT_EQ(response.responseCode, 0x2002);
    ASSERT_NE(response.data, nullptr);
    EXPECT_EQ(response.dataSize, 3u);
    EXPECT_EQ(response.data.get()[2], 3);

    const auto none = makeMtpResponse(0x2001, {}, nullptr, 10);
    EXPECT_EQ(none.data, nullptr);
    EXPECT_EQ(none.dataSize, 0u);
}

TEST(MtpDeviceBase, SupportedOperationsReadWhileReloading) {
    ScriptedMtpDevice device;
    device.setSupportedOperations({0x1001, 0x9001, 0x900F});
    std::atomic<bool> stop{false};
    std::atomic<int> badReads{0};
    std::thread reader([&] {
        while (!stop) {
            const auto ops = device.getSupportedOperations();
            if (ops.size() != 3 || ops[1] != 0x9001) {
                ++badReads;
            }
        }
    });
    for (int i = 0; i < 200; ++i) {
        device.loadDeviceInfo();
    }
    stop = true;
    reader.join();
    EXPECT_EQ(badReads, 0);
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
