// The set-up of the unit tests of event processing, capture, images and tether images, on top
// of the shared adapter fixture (TestAdapter, ConditionBuilder).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adapter_fixture.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/capture.hpp"
#include "corvane/camera_controller/setting.hpp"
#include "device/quorin_camera_device.hpp"
#include "model/camera_image_impl.hpp"
#include "model/camera_storage_impl.hpp"
#include "support/dataset_builder.hpp"
#include "support/diagnostic_capture.hpp"
#include "support/scripted_mtp_device.hpp"

namespace Corvane::CameraController::Testing {
/// An ObjectInfo dataset with the fields the adapter reads.
inline std::vector<uint8_t> objectInfoDataset(uint32_t storageId, uint16_t format, uint32_t size,
                                              const std::string& filename,
                                              uint16_t thumbFormat = 0x3801,
                                              const std::string& captureDate = "") {
    return DatasetBuilder()
        .u32(storageId)
        .u16(format)
        .u16(0)
        .u32(size)
        .u16(thumbFormat)
        .u32(0)
        .u32(160)
        .u32(120)
        .u32(6000)
        .u32(4000)
        .u32(24)
        .u32(0)
        .u16(0)
        .u32(0)
        .u32(0)
        .string(filename)
        .string(captureDate)
        .string("")
        .string("")
        .bytes();
}

/// Records every listener call as one line of text.
class RecordingListener : public CameraEventListener {
public:
    void imageAdded(const std::shared_ptr<const CameraDevice>&,
                    const std::shared_ptr<const CameraImage>& image) override {
        note("imageAdded " + (image ? image->getName() : std::string("null")), image);
    }
    void imageStored(const std::shared_ptr<const CameraDevice>&,
                     const std::shared_ptr<const CameraImage>& image) override {
        note("imageStored " + image->getName(), image);
    }
    void captureComplete(const std::shared_ptr<const CameraDevice>&,
                         const std::shared_ptr<const Capture>& capture) override {
        note("captureComplete " + capture->getId(), nullptr);
    }
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>&, DeviceInterface) override {
        note("deviceDisconnected", nullptr);
    }
    void captureSettingsChanged(
        const std::shared_ptr<const CameraDevice>&,
        const std::vector<std::shared_ptr<const CaptureSetting>>& settings) override {
        std::string line = "captureSettingsChanged";
        for (const auto& setting : settings) {
            line += " " + setting->getName();
        }
        note(line, nullptr);
    }

    std::vector<std::string> events() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
    std::vector<std::shared_ptr<const CameraImage>> images() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

private:
    void note(const std::string& line, const std::shared_ptr<const CameraImage>& image) {
        const std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(line);
        if (image) {
            received.push_back(image);
        }
    }
    mutable std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<std::shared_ptr<const CameraImage>> received;
};

class AdapterFixture : public ::testing::Test {
protected:
    static constexpr uint16_t kCondition = 0x900F;
    static constexpr uint16_t kShutter = 0x9011;

    void SetUp() override { bind("QUORIN Alto II", "1.50", {0x1001, 0x9001, 0x900F, 0x9011}); }

    /// (Re)creates device, adapter and camera for `model`, `firmware` and `operations`.
    void bind(const std::string& model, const std::string& firmware,
              std::vector<uint16_t> operations) {
        camera = std::make_shared<ScriptedMtpDevice>("Quorin", model, firmware, "0001");
        camera->setSupportedOperations(std::move(operations));
        camera->on(kCondition, [this](const RecordedRequest&) {
            const std::lock_guard<std::mutex> lock(conditionMutex);
            return ScriptedResponse::ok(condition.bytes());
        });
        device = std::make_shared<Impl::QuorinCameraDevice>();
        device->setManufacturer("Quorin");
        device->setModel(model);
        device->setFirmwareVersion(firmware);
        device->setSerialNumber("0001");
        adapter = std::make_shared<TestAdapter>(device);
        device->addAdapter(DeviceInterface::USB, adapter);
        adapter->setMtpDevice(camera);
        adapter->setConnected(true);
        listener = std::make_shared<RecordingListener>();
        device->addEventListener(listener);
    }

    /// Changes the camera's condition and lets the adapter read it.
    void setCondition(const std::function<void(ConditionBuilder&)>& change) {
        {
            const std::lock_guard<std::mutex> lock(conditionMutex);
            change(condition);
        }
        adapter->updateCondition();
    }

    std::shared_ptr<Impl::CameraStorageImpl> addStorage(const std::string& id, bool available) {
        auto storage = std::make_shared<Impl::CameraStorageImpl>();
        storage->setId(id);
        storage->setAvailable(available);
        device->getStoragesImpl().add(storage);
        return storage;
    }

    /// Replaces the capture waits' 100 ms pauses by a refresh of the condition, so that the
    /// waits run at once and see what the camera answers meanwhile.
    void pollWithoutSleeping() {
        adapter->setTimingForTesting(nullptr, [this](std::chrono::milliseconds) {
            ++pauses;
            adapter->updateCondition();
        });
    }

    std::shared_ptr<ScriptedMtpDevice> camera;
    std::shared_ptr<Impl::QuorinCameraDevice> device;
    std::shared_ptr<TestAdapter> adapter;
    std::shared_ptr<RecordingListener> listener;
    std::mutex conditionMutex;
    ConditionBuilder condition;
    std::atomic<int> pauses{0};
};

}  // namespace Corvane::CameraController::Testing
