// The whole library, from CameraDeviceDetector down to libusb, against the emulated camera on
// the emulated USB bus.
#include <mutex>
#include <sstream>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/camera_image.hpp"
#include "corvane/camera_controller/capture.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "usb_camera_fixture.hpp"

namespace Corvane::CameraController::UsbDeviceTest {
namespace {

using namespace std::chrono_literals;

// What the application would see: stored images, ISO changes, live view frames, unplugs.
class Recorder : public CameraEventListener {
public:
    void imageStored(const std::shared_ptr<const CameraDevice>&,
                     const std::shared_ptr<const CameraImage>& image) override {
        std::lock_guard<std::mutex> lock(mutex);
        stored.push_back(image);
    }
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>&, DeviceInterface) override {
        ++disconnects;
    }
    void liveViewFrameUpdated(const std::shared_ptr<const CameraDevice>&,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override {
        std::lock_guard<std::mutex> lock(mutex);
        frames.emplace_back(data.get(), data.get() + size);
    }
    void captureSettingsChanged(
        const std::shared_ptr<const CameraDevice>&,
        const std::vector<std::shared_ptr<const CaptureSetting>>& settings) override {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& setting : settings) {
            if (dynamic_cast<const ISO*>(setting.get()) != nullptr) {
                isoChanges.push_back(setting->getValue().toString());
            }
        }
    }
    /// A copy of one of the lists below, taken under the lock.
    template <typename T>
    T read(const T& list) const {
        std::lock_guard<std::mutex> lock(mutex);
        return list;
    }

    mutable std::mutex mutex;
    std::vector<std::shared_ptr<const CameraImage>> stored;
    std::vector<std::vector<unsigned char>> frames;
    std::vector<std::string> isoChanges;
    std::atomic<int> disconnects{0};
};

class UsbStackTest : public UsbCameraTest {
protected:
    void TearDown() override {
        if (camera_device_ != nullptr) {
            camera_device_->disconnect(DeviceInterface::USB);
            camera_device_.reset();
        }
        UsbCameraTest::TearDown();
    }

    std::shared_ptr<CameraDevice> detectCamera() {
        for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
            if (found->getSerialNumber() == config_.serialNumber) {
                return found;
            }
        }
        return nullptr;
    }

    void connectCamera() {
        camera_device_ = detectCamera();
        ASSERT_NE(camera_device_, nullptr) << "detect() did not find the camera on USB";
        camera_device_->addEventListener(recorder_);
        ASSERT_EQ(camera_device_->connect(DeviceInterface::USB).getResult(), Result::Ok);
    }

    std::shared_ptr<CameraDevice> camera_device_;
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(UsbStackTest, DetectConnectAndChangeSettingsBothWays) {
    connectCamera();
    EXPECT_EQ(camera_device_->getModel(), "QUORIN Alto II");
    EXPECT_TRUE(camera_device_->isConnected(DeviceInterface::USB));

    ISO iso;
    ASSERT_EQ(camera_device_->getCaptureSettings({&iso}).getResult(), Result::Ok);
    EXPECT_EQ(iso.getValue().toString(), std::to_string(camera_->snapshot().iso));

    ASSERT_EQ(camera_device_->setCaptureSettings({ISO::ISO800}).getResult(), Result::Ok);
    EXPECT_EQ(camera_->snapshot().iso, 800u);

    // A dial turned on the body reaches the application through the event task.
    camera_->setIso(1600);
    EXPECT_TRUE(eventually(
        [&] {
            const auto changes = recorder_->read(recorder_->isoChanges);
            return std::find(changes.begin(), changes.end(), "1600") != changes.end();
        },
        5s));
}

TEST_F(UsbStackTest, CapturedPictureDownloadsByteForByteAndLiveViewDeliversJpegFrames) {
    connectCamera();
    const auto started = camera_device_->startCapture(false);
    ASSERT_EQ(started.getResult(), Result::Ok);
    const auto capture = started.getCapture();
    ASSERT_NE(capture, nullptr);
    ASSERT_TRUE(eventually([&] { return capture->getState() == CaptureState::Complete; }, 15s));
    ASSERT_FALSE(recorder_->read(recorder_->stored).empty());
    const auto image = recorder_->read(recorder_->stored).back();
    std::ostringstream out;
    ASSERT_EQ(image->getData(out).getResult(), Result::Ok);
    const auto onCamera = camera_->objectData(static_cast<uint32_t>(std::stoul(image->getId())));
    EXPECT_TRUE(out.str() == std::string(onCamera.begin(), onCamera.end()));
    EXPECT_EQ(out.str().size(), image->getSize());

    ASSERT_EQ(camera_device_->startLiveView().getResult(), Result::Ok);
    const bool enough =
        eventually([&] { return recorder_->read(recorder_->frames).size() >= 3; }, 10s);
    EXPECT_EQ(camera_device_->stopLiveView().getResult(), Result::Ok);
    ASSERT_TRUE(enough);
    for (const auto& frame : recorder_->read(recorder_->frames)) {
        ASSERT_GE(frame.size(), 4u);
        EXPECT_EQ(frame[0], 0xFF);
        EXPECT_EQ(frame[1], 0xD8);
    }
}

TEST_F(UsbStackTest, UnplugIsReportedOnceAndReplugConnectsAgain) {
    connectCamera();
    host_->unplug();
    ASSERT_TRUE(eventually([&] { return recorder_->disconnects.load() > 0; }, 5s))
        << "no deviceDisconnected after the unplug";
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(recorder_->disconnects.load(), 1);
    EXPECT_FALSE(camera_device_->isConnected(DeviceInterface::USB));

    host_->replug();
    std::shared_ptr<CameraDevice> again;
    ASSERT_TRUE(eventually([&] { return (again = detectCamera()) != nullptr; }, 5s));
    ASSERT_EQ(again->connect(DeviceInterface::USB).getResult(), Result::Ok);
    ISO iso;
    EXPECT_EQ(again->getCaptureSettings({&iso}).getResult(), Result::Ok);
    again->disconnect(DeviceInterface::USB);
}

}  // namespace
}  // namespace Corvane::CameraController::UsbDeviceTest
