// The whole library, from CameraDeviceDetector down to libusb, against the emulated camera on
// the emulated USB bus. What the library does above the transport is tested against the
// in-process emulator; here only what a USB bus adds: the cable pulled and plugged back.
#include <atomic>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "usb_camera_fixture.hpp"

namespace Corvane::CameraController::UsbDeviceTest {
namespace {

using namespace std::chrono_literals;

class DisconnectCounter : public CameraEventListener {
public:
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>&, DeviceInterface) override {
        ++disconnects;
    }
    std::atomic<int> disconnects{0};
};

std::shared_ptr<CameraDevice> detect(const std::string& serialNumber) {
    for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
        if (found->getSerialNumber() == serialNumber) {
            return found;
        }
    }
    return nullptr;
}

TEST_F(UsbCameraTest, UnplugIsReportedOnceAndReplugConnectsAgain) {
    const auto camera = detect(config_.serialNumber);
    ASSERT_NE(camera, nullptr) << "detect() did not find the camera on USB";
    const auto counter = std::make_shared<DisconnectCounter>();
    camera->addEventListener(counter);
    ASSERT_EQ(camera->connect(DeviceInterface::USB).getResult(), Result::Ok);

    host_->unplug();
    ASSERT_TRUE(eventually([&] { return counter->disconnects.load() > 0; }, 5s))
        << "no deviceDisconnected after the unplug";
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(counter->disconnects.load(), 1);
    EXPECT_FALSE(camera->isConnected(DeviceInterface::USB));

    host_->replug();
    std::shared_ptr<CameraDevice> again;
    ASSERT_TRUE(eventually([&] { return (again = detect(config_.serialNumber)) != nullptr; }, 5s));
    ASSERT_EQ(again->connect(DeviceInterface::USB).getResult(), Result::Ok);
    ISO iso;
    EXPECT_EQ(again->getCaptureSettings({&iso}).getResult(), Result::Ok);
    again->disconnect(DeviceInterface::USB);
    camera->disconnect(DeviceInterface::USB);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
