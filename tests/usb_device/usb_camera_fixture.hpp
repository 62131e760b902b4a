// An emulated camera plugged into an emulated USB bus that this test process reaches through
// libusb, as a program reaches a real camera. Tests skip when umockdev cannot run here.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "corvane/emulator/emulated_camera.hpp"
#include "mtp/mtp_device.hpp"
#include "mtp/mtp_device_provider.hpp"
#include "support/eventually.hpp"
#include "support/mtp_requests.hpp"
#include "usb_camera_host.hpp"

namespace Corvane::CameraController::UsbDeviceTest {

using Emulator::CameraConfig;
using Emulator::EmulatedCamera;
using Emulator::Usb::UsbCameraHost;
using Emulator::Usb::UsbHostOptions;
using namespace Testing;

constexpr uint16_t kOk = 0x2001;

class UsbCameraTest : public ::testing::Test {
protected:
    /// Fixtures that want another camera or host controller change config_ and hostOptions_.
    virtual void configure() {}

    void SetUp() override {
        configure();
        if (!UsbCameraHost::inMockEnvironment()) {
            GTEST_SKIP() << "umockdev's preload library is not available";
        }
        std::string error;
        host_ = bus(error);
        if (host_ == nullptr) {
            GTEST_SKIP() << "umockdev cannot build the USB bus: " << error;
        }
        camera_ = EmulatedCamera::create(config_);
        ASSERT_TRUE(host_->plug(camera_, hostOptions_, &error)) << error;
    }

    void TearDown() override {
        device_.reset();
        if (host_ != nullptr) {
            host_->unplug();
        }
    }

    /// One bus for the whole program, as libusb listens to the bus it first saw; each test
    /// plugs its own camera into it.
    static UsbCameraHost* bus(std::string& error) {
        static std::string failure;
        static const std::unique_ptr<UsbCameraHost> host = UsbCameraHost::createBus(&failure);
        error = failure;
        return host.get();
    }

    /// The camera as the libusb binding finds and opens it; null when it does not.
    std::shared_ptr<Impl::MtpDevice> findCamera() {
        for (auto& device : Impl::getDevices()) {
            if (device->getModel() == camera_->model()) {
                return device;
            }
        }
        return nullptr;
    }

    void openCamera() {
        device_ = findCamera();
        ASSERT_NE(device_, nullptr)
            << "the libusb binding did not find the camera on " << host_->deviceNode();
    }

    Impl::MtpResponse run(const Impl::MtpRequest& request) { return device_->execute(request); }

    /// Unless a fixture says otherwise: one card holding two pictures, the second protected.
    CameraConfig config_ = [] {
        CameraConfig config;
        config.slots = {Emulator::CardSlotConfig{
            true,
            8ull << 30,
            {{"DCIM/100QUORN/QRN_0001.JPG", 0, false}, {"DCIM/100QUORN/QRN_0002.JPG", 0, true}}}};
        config.timeScale = 0.01;
        return config;
    }();
    UsbHostOptions hostOptions_;
    std::shared_ptr<EmulatedCamera> camera_;
    UsbCameraHost* host_ = nullptr;
    std::shared_ptr<Impl::MtpDevice> device_;
};

}  // namespace Corvane::CameraController::UsbDeviceTest
