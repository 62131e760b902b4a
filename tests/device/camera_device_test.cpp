#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "device/quorin_camera_device.hpp"
#include "model/capture_impl.hpp"
#include "support/mock_camera_device_adapter.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using Testing::MockCameraDeviceAdapter;
using ::testing::NiceMock;
using ::testing::Return;

const auto kOtherInterface = static_cast<DeviceInterface>(7);

void expectNotConnected(const Response& response) {
    EXPECT_EQ(response.getResult(), Result::Error);
    ASSERT_EQ(response.getErrors().size(), 1u);
    EXPECT_EQ(response.getErrors()[0]->getCode(), ErrorCode::NotConnected);
    EXPECT_EQ(response.getErrors()[0]->getMessage(), "");
}

Response failure(const std::string& message) {
    return Response(Result::Error, std::make_shared<Error>(ErrorCode::DeviceError, message));
}

class CameraDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { device->addAdapter(DeviceInterface::USB, adapter); }

    std::shared_ptr<QuorinCameraDevice> device = std::make_shared<QuorinCameraDevice>();
    std::shared_ptr<NiceMock<MockCameraDeviceAdapter>> adapter =
        std::make_shared<NiceMock<MockCameraDeviceAdapter>>();
};

TEST_F(CameraDeviceTest, WithoutConnectedAdapterEveryOperationIsNotConnected) {
    // A strict mock: any call other than isConnected() fails the test.
    auto idle = std::make_shared<::testing::StrictMock<MockCameraDeviceAdapter>>();
    EXPECT_CALL(*idle, isConnected()).WillRepeatedly(Return(false));
    device->addAdapter(DeviceInterface::USB, idle);

    expectNotConnected(device->focus(3));
    expectNotConnected(device->focus(Point{0.2f, 0.3f}));
    expectNotConnected(device->focus());
    const StartCaptureResponse withPoint = device->startCapture(Point{});
    expectNotConnected(withPoint);
    EXPECT_EQ(withPoint.getCapture(), nullptr);
    expectNotConnected(device->startCapture(true));
    expectNotConnected(device->stopCapture());
    expectNotConnected(device->startLiveView());
    expectNotConnected(device->stopLiveView());
    expectNotConnected(device->getCameraDeviceSettings({}));
    expectNotConnected(device->setCameraDeviceSettings({}));
    expectNotConnected(device->getCaptureSettings({}));
    expectNotConnected(device->setCaptureSettings({}));
    EXPECT_FALSE(device->isConnected(DeviceInterface::USB));
}

TEST_F(CameraDeviceTest, ConnectedAdapterReceivesArgumentsAndItsResultIsReturned) {
    ON_CALL(*adapter, isConnected()).WillByDefault(Return(true));
    EXPECT_CALL(*adapter, focus(-4)).WillOnce(Return(failure("focus")));
    EXPECT_CALL(*adapter,
                focus(::testing::Matcher<const Point&>(::testing::Field(&Point::x, 0.25f))))
        .WillOnce(Return(Response(Result::Ok)));
    const auto capture =
        std::make_shared<CaptureImpl>("20240101120000123", CaptureMethod::StillImage, 1);
    EXPECT_CALL(*adapter, startCapture(false)).WillOnce(Return(StartCaptureResponse(capture)));
    CaptureSetting* const noSetting = nullptr;
    EXPECT_CALL(*adapter, getCaptureSettings(std::vector<CaptureSetting*>{noSetting}))
        .WillOnce(Return(failure("read")));

    EXPECT_EQ(device->focus(-4).getErrors().at(0)->getMessage(), "focus");
    EXPECT_EQ(device->focus(Point{0.25f, 0.75f}).getResult(), Result::Ok);
    EXPECT_EQ(device->startCapture(false).getCapture(), capture);
    EXPECT_EQ(device->getCaptureSettings({noSetting}).getErrors().at(0)->getMessage(), "read");
}

TEST_F(CameraDeviceTest, OperationsGoToTheFirstConnectedAdapterInInterfaceOrder) {
    auto second = std::make_shared<NiceMock<MockCameraDeviceAdapter>>();
    device->addAdapter(kOtherInterface, second);
    ON_CALL(*adapter, isConnected()).WillByDefault(Return(false));
    ON_CALL(*second, isConnected()).WillByDefault(Return(true));
    EXPECT_CALL(*adapter, stopCapture()).Times(0);
    EXPECT_CALL(*second, stopCapture()).WillOnce(Return(Response(Result::Ok)));
    EXPECT_EQ(device->stopCapture().getResult(), Result::Ok);
    EXPECT_EQ(device->getAdapter(), second);
}

TEST_F(CameraDeviceTest, ConnectionCallsUseTheNamedInterfaceAsItIsNow) {
    ON_CALL(*adapter, isConnected()).WillByDefault(Return(false));
    EXPECT_CALL(*adapter, connect()).WillOnce(Return(Response(Result::Ok)));
    EXPECT_CALL(*adapter, disconnect()).WillOnce(Return(failure("busy")));
    EXPECT_EQ(device->connect(DeviceInterface::USB).getResult(), Result::Ok);
    EXPECT_EQ(device->disconnect(DeviceInterface::USB).getErrors().at(0)->getMessage(), "busy");

    expectNotConnected(device->connect(kOtherInterface));
    expectNotConnected(device->disconnect(kOtherInterface));
    EXPECT_FALSE(device->isConnected(kOtherInterface));
    // A replaced adapter gets nothing more; a removed one leaves the interface unconnected.
    auto replacement = std::make_shared<NiceMock<MockCameraDeviceAdapter>>();
    device->addAdapter(DeviceInterface::USB, replacement);
    EXPECT_CALL(*replacement, connect()).WillOnce(Return(Response(Result::Ok)));
    device->connect(DeviceInterface::USB);
    device->addAdapter(DeviceInterface::USB, nullptr);
    expectNotConnected(device->connect(DeviceInterface::USB));
}

TEST(CameraDeviceIdentity, EqualityComparesAllFourStrings) {
    auto makeDevice = [](const std::string& firmware, const std::string& serial) {
        auto device = std::make_unique<QuorinCameraDevice>();
        device->setManufacturer("Quorin");
        device->setModel("QUORIN Alto");
        device->setFirmwareVersion(firmware);
        device->setSerialNumber(serial);
        return device;
    };
    const auto a = makeDevice("1.00", "42");
    EXPECT_TRUE(*a == *makeDevice("1.00", "42"));
    EXPECT_FALSE(*a == *makeDevice("1.10", "42"));
    EXPECT_TRUE(*a != *makeDevice("1.10", "42"));
    EXPECT_FALSE(*a == *makeDevice("1.00", "43"));
}

// Runs `onCall` for every deviceDisconnected it receives.
class CallbackListener : public CameraEventListener {
public:
    using Call = std::function<void(const std::shared_ptr<const CameraDevice>&)>;
    explicit CallbackListener(Call onCall) : onCall_(std::move(onCall)) {}
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>& device,
                            DeviceInterface) override {
        onCall_(device);
    }

private:
    Call onCall_;
};

void sendDisconnected(const CameraDeviceBaseImpl& device) {
    device.deliverEvent("deviceDisconnected", [](CameraEventListener& listener,
                                                 const std::shared_ptr<const CameraDevice>& self) {
        listener.deviceDisconnected(self, DeviceInterface::USB);
    });
}

class ListenerTest : public ::testing::Test {
protected:
    std::shared_ptr<CallbackListener> logging(const std::string& name) {
        return std::make_shared<CallbackListener>(
            [this, name](const auto&) { log.push_back(name); });
    }

    std::vector<std::string> log;
    std::shared_ptr<QuorinCameraDevice> device = std::make_shared<QuorinCameraDevice>();
    std::shared_ptr<CallbackListener> a = logging("A");
    std::shared_ptr<CallbackListener> b = logging("B");
};

TEST_F(ListenerTest, DeliveredInRegistrationOrderOncePerEntryUntilRemoved) {
    // Weak: the device holds the listener, so a strong pointer back would leak both.
    std::weak_ptr<const CameraDevice> delivered;
    device->addEventListener(a);
    device->addEventListener(b);
    device->addEventListener(a);
    device->addEventListener(
        std::make_shared<CallbackListener>([&](const auto& d) { delivered = d; }));
    sendDisconnected(*device);
    EXPECT_EQ(log, (std::vector<std::string>{"A", "B", "A"}));
    EXPECT_EQ(delivered.lock(), device);

    // Removing drops every entry of a listener; strangers and null are ignored.
    device->removeEventListener(logging("C"));
    device->addEventListener(nullptr);
    EXPECT_EQ(device->getEventListeners().size(), 4u);
    device->removeEventListener(a);
    ASSERT_EQ(device->copyEventListeners().size(), 2u);
    EXPECT_EQ(device->copyEventListeners()[0], b);
    log.clear();
    sendDisconnected(*device);
    EXPECT_EQ(log, std::vector<std::string>{"B"});
}

// Delivery runs over a copy taken under the mutex: a handler that changes the list neither
// deadlocks nor changes the delivery under way.
TEST_F(ListenerTest, HandlersMayChangeTheListWhileItIsDelivered) {
    std::weak_ptr<CameraEventListener> self;
    auto replacer = std::make_shared<CallbackListener>([&](const auto&) {
        log.push_back("replacer");
        device->addEventListener(b);
        device->removeEventListener(self.lock());
    });
    self = replacer;
    device->addEventListener(replacer);
    device->addEventListener(a);
    sendDisconnected(*device);
    EXPECT_EQ(log, (std::vector<std::string>{"replacer", "A"}));
    log.clear();
    sendDisconnected(*device);
    EXPECT_EQ(log, (std::vector<std::string>{"A", "B"}));
}

TEST_F(ListenerTest, ConcurrentRegistrationDuringDeliveryIsSafe) {
    std::atomic<int> calls{0};
    device->addEventListener(std::make_shared<CallbackListener>([&](const auto&) { ++calls; }));
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) {
            auto extra = std::make_shared<CallbackListener>([](const auto&) {});
            device->addEventListener(extra);
            device->removeEventListener(extra);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        sendDisconnected(*device);
    }
    stop = true;
    churn.join();
    EXPECT_EQ(calls, 2000);
}

TEST_F(ListenerTest, NothingIsSentForADeviceNotOwnedBySharedPtr) {
    QuorinCameraDevice unowned;
    unowned.addEventListener(a);
    sendDisconnected(unowned);
    EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
