// The whole stack against one emulated camera in process, for the integration tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "adapter_fixture.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/emulator/emulated_camera.hpp"
#include "device/camera_device_base_impl.hpp"
#include "support/eventually.hpp"

namespace Corvane::CameraController::Testing {

using namespace std::chrono_literals;
using Emulator::CameraConfig;
using Emulator::CardSlotConfig;
using Emulator::EmulatedCamera;

inline bool startsWith(const std::vector<std::string>& events, const std::string& prefix) {
    return std::any_of(events.begin(), events.end(),
                       [&prefix](const std::string& event) { return event.rfind(prefix, 0) == 0; });
}

inline CardSlotConfig emptySlot() {
    CardSlotConfig slot;
    slot.cardInserted = false;
    return slot;
}

class EmulatorTest : public ::testing::Test {
protected:
    void start(CameraConfig config, std::shared_ptr<RecordingListener> recorder = nullptr) {
        static int serial = 7000000;
        config.serialNumber = std::to_string(++serial);
        camera = EmulatedCamera::create(config);
        camera->attach();
        for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
            if (found->getSerialNumber() == config.serialNumber) {
                device = found;
            }
        }
        ASSERT_NE(device, nullptr);
        listener = recorder ? recorder : std::make_shared<RecordingListener>();
        device->addEventListener(listener);
        ASSERT_EQ(device->connect(DeviceInterface::USB).getResult(), Result::Ok);
    }

    void TearDown() override {
        if (device != nullptr) {
            device->disconnect(DeviceInterface::USB);
        }
        if (camera != nullptr) {
            camera->detach();
        }
    }

    static CameraConfig fast() {
        CameraConfig config;
        config.timeScale = 0.01;
        config.rawFileSize = 300 * 1024;
        return config;
    }

    std::shared_ptr<Impl::QuorinCameraDeviceMtpUsbAdapter> adapter() const {
        const auto base = std::dynamic_pointer_cast<Impl::CameraDeviceBaseImpl>(device);
        return std::dynamic_pointer_cast<Impl::QuorinCameraDeviceMtpUsbAdapter>(base->getAdapter());
    }

    /// Waits until `capture` is Complete and `recorder` has heard its captureComplete: the
    /// state changes before the listeners are called.
    static bool completed(const Capture& capture, const RecordingListener& recorder) {
        const std::string heard = "captureComplete " + capture.getId();
        return eventually([&] {
            const auto events = recorder.events();
            return capture.getState() == CaptureState::Complete &&
                   std::find(events.begin(), events.end(), heard) != events.end();
        });
    }

    /// Lets the event task see the camera's latest state.
    static void afterTwoPasses() { std::this_thread::sleep_for(600ms); }

    std::string downloaded(const CameraImage& image) {
        std::ostringstream out;
        EXPECT_EQ(image.getData(out).getResult(), Result::Ok);
        return out.str();
    }

    std::string onCamera(const CameraImage& image) {
        const auto bytes = camera->objectData(static_cast<uint32_t>(std::stoul(image.getId())));
        return std::string(bytes.begin(), bytes.end());
    }

    std::shared_ptr<EmulatedCamera> camera;
    std::shared_ptr<CameraDevice> device;
    std::shared_ptr<RecordingListener> listener;
};

}  // namespace Corvane::CameraController::Testing
