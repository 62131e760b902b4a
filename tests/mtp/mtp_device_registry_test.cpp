#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "mtp/mtp_device_provider.hpp"
#include "support/diagnostic_capture.hpp"
#include "support/fake_device_provider.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using Testing::FakeCamera;
using Testing::FakeDeviceProvider;
using Testing::ScopedDeviceProvider;

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
    Testing::DiagnosticCapture diagnostics;
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
