#include "mtp/mtp_device.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "mtp/mtp_device_provider.hpp"
#include "mtp/mtp_response.hpp"
#include "support/dataset_builder.hpp"
#include "support/diagnostic_capture.hpp"
#include "support/fake_device_provider.hpp"
#include "support/scripted_mtp_device.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using namespace Testing;

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

FakeCamera camera(const std::string& serial) {
    FakeCamera fake;
    fake.serial = serial;
    return fake;
}

class DeviceRegistryTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeDeviceProvider> provider = std::make_shared<FakeDeviceProvider>();
    ScopedDeviceProvider registration{provider};
};

TEST_F(DeviceRegistryTest, HandsOutTheSameObjectWhileHeld) {
    provider->attachCamera("a", camera("1"));
    provider->attachCamera("b", camera("2"));

    const auto first = getDevices();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0]->getSerialNumber(), "1");
    EXPECT_EQ(first[1]->getSerialNumber(), "2");

    const auto second = getDevices();
    EXPECT_EQ(second, first);
    EXPECT_EQ(provider->openCount("a"), 1);
}

TEST_F(DeviceRegistryTest, ReleasedOrDisconnectedDevicesAreOpenedAgainAndDetachedOnesGo) {
    provider->attachCamera("a", camera("1"));
    getDevices();  // nobody keeps the result
    getDevices();
    EXPECT_EQ(provider->openCount("a"), 2);

    const auto held = getDevices().at(0);
    EXPECT_EQ(provider->openCount("a"), 3);
    const auto opened = provider->lastOpened("a");
    ASSERT_NE(opened, nullptr);
    opened->setConnected(false);
    const auto replugged = getDevices();
    ASSERT_EQ(replugged.size(), 1u);
    EXPECT_NE(replugged[0], held);
    EXPECT_TRUE(replugged[0]->isConnected());
    EXPECT_EQ(provider->openCount("a"), 4);

    // Detached, it leaves the list; what the caller holds stays valid.
    provider->detach("a");
    EXPECT_TRUE(getDevices().empty());
    EXPECT_TRUE(replugged[0]->isConnected());
}

// An unregistered provider is no longer asked, but the devices it gave out stay valid.
TEST_F(DeviceRegistryTest, ProvidersAreListedInRegistrationOrderUntilUnregistered) {
    auto later = std::make_shared<FakeDeviceProvider>();
    registerDeviceProvider(later);
    later->attachCamera("a", camera("later"));
    provider->attachCamera("a", camera("earlier"));

    const auto devices = getDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->getSerialNumber(), "earlier");
    EXPECT_EQ(devices[1]->getSerialNumber(), "later");

    unregisterDeviceProvider(later);
    const int listsBefore = later->listCount();
    ASSERT_EQ(getDevices().size(), 1u);
    EXPECT_EQ(later->listCount(), listsBefore);
    EXPECT_EQ(devices[1]->getSerialNumber(), "later");
}

class ThrowingProvider : public MtpDeviceProvider {
public:
    std::vector<MtpDeviceCandidate> listDevices() override {
        return {{"boom", []() -> std::shared_ptr<MtpDevice> {
                     throw std::runtime_error("no such device");
                 }}};
    }
};

TEST_F(DeviceRegistryTest, DevicesThatFailOrThrowOnOpenAreLeftOutWithOneDiagnostic) {
    DiagnosticCapture diagnostics;
    ScopedDeviceProvider throwing(std::make_shared<ThrowingProvider>());
    auto broken = camera("2");
    broken.opens = false;
    provider->attachCamera("broken", broken);
    provider->attachCamera("a", camera("1"));

    const auto devices = getDevices();
    const auto lines = diagnostics.lines();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->getSerialNumber(), "1");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("no such device"), std::string::npos);
}

TEST_F(DeviceRegistryTest, ConcurrentCallsOpenEachDeviceOnceAndAgreeOnIt) {
    for (int i = 0; i < 4; ++i) {
        provider->attachCamera("k" + std::to_string(i), camera(std::to_string(i)));
    }
    constexpr int kThreads = 6;
    std::vector<std::vector<std::shared_ptr<MtpDevice>>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&results, t] {
            for (int round = 0; round < 20; ++round) {
                results[t] = getDevices();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(provider->openCount("k" + std::to_string(i)), 1);
    }
    for (const auto& result : results) {
        EXPECT_EQ(result, results[0]);
    }
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
