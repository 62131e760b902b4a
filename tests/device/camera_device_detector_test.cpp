#include "corvane/camera_controller/camera_device_detector.hpp"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "corvane/camera_controller/camera_device.hpp"
#include "device/quorin_camera_device.hpp"
#include "support/fake_device_provider.hpp"

namespace Corvane::CameraController {
namespace {

using Testing::FakeDeviceProvider;

Testing::FakeCamera quorin(const std::string& model, const std::string& serial,
                           const std::string& firmware = "1.00") {
    return {"Quorin", model, firmware, serial, {0x1001, 0x1002, 0x9001}, true};
}

std::vector<std::string> serials(const std::vector<std::shared_ptr<CameraDevice>>& devices) {
    std::vector<std::string> result;
    for (const auto& device : devices) {
        result.push_back(device->getSerialNumber());
    }
    return result;
}

class DetectorTest : public ::testing::Test {
protected:
    std::vector<std::shared_ptr<CameraDevice>> detect() {
        return CameraDeviceDetector::detect(DeviceInterface::USB);
    }

    std::shared_ptr<FakeDeviceProvider> provider = std::make_shared<FakeDeviceProvider>();
    Testing::ScopedDeviceProvider registration{provider};
};

TEST_F(DetectorTest, OtherInterfacesFindNothingWithoutAskingTheTransport) {
    provider->attachCamera("a", quorin("QUORIN Alto", "1"));
    EXPECT_TRUE(CameraDeviceDetector::detect(static_cast<DeviceInterface>(1)).empty());
    EXPECT_EQ(provider->listCount(), 0);
    EXPECT_EQ(provider->openCount("a"), 0);
}

TEST_F(DetectorTest, KeepsOnlyBrandCamerasWithTheVendorProtocolInListingOrder) {
    provider->attachCamera("1", quorin("QUORIN Delta X", "d"));
    provider->attachCamera("2", quorin("quorin alto", "lower"));
    provider->attachCamera("3", quorin("Other Cam", "other"));
    auto noVendor = quorin("QUORIN Brio", "novendor");
    noVendor.operations = {0x1001, 0x1002, 0x900F};
    provider->attachCamera("4", noVendor);
    provider->attachCamera("5", quorin("My QUORIN", "infix"));
    provider->attachCamera("6", quorin("QUORIN Alto", "a"));

    const auto devices = detect();
    EXPECT_EQ(serials(devices), (std::vector<std::string>{"d", "infix", "a"}));
    ASSERT_FALSE(devices.empty());
    EXPECT_NE(std::dynamic_pointer_cast<Impl::QuorinCameraDevice>(devices[0]), nullptr);
    EXPECT_EQ(devices[0]->getModel(), "QUORIN Delta X");
    EXPECT_EQ(devices[0]->getManufacturer(), "Quorin");
    EXPECT_EQ(devices[0]->getFirmwareVersion(), "1.00");
    EXPECT_FALSE(devices[0]->isConnected(DeviceInterface::USB));
}

TEST_F(DetectorTest, HeldCamerasComeBackAsTheSameObjectsAndReleasedOnesAsEqualNewOnes) {
    provider->attachCamera("a", quorin("QUORIN Alto", "1"));
    provider->attachCamera("b", quorin("QUORIN Brio", "2"));
    auto first = detect();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(detect(), first);

    const std::weak_ptr<CameraDevice> old = first[0];
    Impl::QuorinCameraDevice copy;
    copy.setManufacturer(first[0]->getManufacturer());
    copy.setModel(first[0]->getModel());
    copy.setFirmwareVersion(first[0]->getFirmwareVersion());
    copy.setSerialNumber(first[0]->getSerialNumber());
    first.clear();
    const auto second = detect();
    EXPECT_TRUE(old.expired());
    ASSERT_EQ(second.size(), 2u);
    EXPECT_TRUE(*second[0] == copy);
}

TEST_F(DetectorTest, ReattachedCameraKeepsItsHandleAndTakesTheNewFirmware) {
    provider->attachCamera("a", quorin("QUORIN Cresta", "7", "1.00"));
    const auto held = detect();
    ASSERT_EQ(held.size(), 1u);

    // Unplugged, so that the next listing opens it anew.
    const auto opened = provider->lastOpened("a");
    ASSERT_NE(opened, nullptr);
    opened->setConnected(false);
    provider->attachCamera("a", quorin("QUORIN Cresta", "7", "1.10"));
    const auto again = detect();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0], held[0]);
    EXPECT_EQ(held[0]->getFirmwareVersion(), "1.10");
    EXPECT_EQ(provider->openCount("a"), 2);
}

// A camera is its model and serial: listed twice it is one handle, and the same serial on
// another model is another camera.
TEST_F(DetectorTest, CamerasAreToldApartByModelAndSerial) {
    provider->attachCamera("port-1", quorin("QUORIN Grande", "9"));
    provider->attachCamera("port-2", quorin("QUORIN Grande", "9"));
    provider->attachCamera("port-3", quorin("QUORIN Grande", "10"));
    provider->attachCamera("port-4", quorin("QUORIN Alto", "9"));
    const auto devices = detect();
    EXPECT_EQ(serials(devices), (std::vector<std::string>{"9", "10", "9"}));
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_NE(devices[0], devices[2]);
}

TEST_F(DetectorTest, ConcurrentDetectionsAgreeOnOneObjectPerCamera) {
    for (int i = 0; i < 3; ++i) {
        provider->attachCamera("k" + std::to_string(i), quorin("QUORIN Alto", std::to_string(i)));
    }
    constexpr int kThreads = 6;
    std::vector<std::vector<std::shared_ptr<CameraDevice>>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&results, t] {
            for (int round = 0; round < 10; ++round) {
                results[t] = CameraDeviceDetector::detect(DeviceInterface::USB);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<CameraDevice*> distinct;
    for (const auto& result : results) {
        ASSERT_EQ(result.size(), 3u);
        EXPECT_EQ(result, results[0]);
        for (const auto& device : result) {
            distinct.insert(device.get());
        }
    }
    EXPECT_EQ(distinct.size(), 3u);
}

}  // namespace
}  // namespace Corvane::CameraController
