// Shared set-up of the adapter tests: a Quorin device whose adapter talks to a scripted camera,
// a listener that records every call, and builders for the datasets the camera answers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
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

/// Opens the adapter's parts, flags and internal steps to the unit tests.
class TestAdapter : public Impl::QuorinCameraDeviceMtpUsbAdapter {
public:
    using QuorinCameraDeviceMtpUsbAdapter::captureFileArrived;
    using QuorinCameraDeviceMtpUsbAdapter::conditionTracker;
    using QuorinCameraDeviceMtpUsbAdapter::connected;
    using QuorinCameraDeviceMtpUsbAdapter::countExpectedFiles;
    using QuorinCameraDeviceMtpUsbAdapter::createImage;
    using QuorinCameraDeviceMtpUsbAdapter::createImageFromTetherImage;
    using QuorinCameraDeviceMtpUsbAdapter::deleteTetherImage;
    using QuorinCameraDeviceMtpUsbAdapter::detectSettingChanges;
    using QuorinCameraDeviceMtpUsbAdapter::doListImagesAsync;
    using QuorinCameraDeviceMtpUsbAdapter::eventTask;
    using QuorinCameraDeviceMtpUsbAdapter::expireStillCaptures;
    using QuorinCameraDeviceMtpUsbAdapter::fetchObjectHandles;
    using QuorinCameraDeviceMtpUsbAdapter::firstPassTimeout;
    using QuorinCameraDeviceMtpUsbAdapter::liveView;
    using QuorinCameraDeviceMtpUsbAdapter::pendingCaptures;
    using QuorinCameraDeviceMtpUsbAdapter::QuorinCameraDeviceMtpUsbAdapter;
    using QuorinCameraDeviceMtpUsbAdapter::startEventLoop;
    using QuorinCameraDeviceMtpUsbAdapter::stopListing;
    using QuorinCameraDeviceMtpUsbAdapter::transferTetherBuffer;
    using QuorinCameraDeviceMtpUsbAdapter::updateImageInfo;
    using QuorinCameraDeviceMtpUsbAdapter::updateStorageImages;
    using QuorinCameraDeviceMtpUsbAdapter::updateStorages;
    using QuorinCameraDeviceMtpUsbAdapter::waitForStorageListing;
};

/// A condition dataset: 600 zero bytes with named words set.
class ConditionBuilder {
public:
    ConditionBuilder& set(size_t offset, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) {
            bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        }
        return *this;
    }
    ConditionBuilder& statusFlags(uint32_t value) { return set(104, value); }
    ConditionBuilder& exposureMode(int32_t value) { return set(184, static_cast<uint32_t>(value)); }
    ConditionBuilder& shutter(uint32_t numerator, uint32_t denominator) {
        return set(272, numerator).set(276, denominator);
    }
    ConditionBuilder& adjustableMask(uint32_t value) { return set(504, value); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_ = std::vector<uint8_t>(600, 0);
};

/// A DevicePropDesc with a UINT16 (type 4), INT16 (3), UINT32 (6) or UINT64 (8) value and an
/// enumeration form.
inline std::vector<uint8_t> propDesc(uint16_t property, uint16_t dataType, uint64_t current,
                                     const std::vector<uint64_t>& listed) {
    const int width = dataType <= 4 ? 2 : (dataType <= 6 ? 4 : 8);
    DatasetBuilder builder;
    builder.u16(property).u16(dataType).u8(1);
    const auto value = [&builder, width](uint64_t v) {
        for (int i = 0; i < width; ++i) {
            builder.u8(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    value(0);
    value(current);
    builder.u8(2).u16(static_cast<uint16_t>(listed.size()));
    for (const uint64_t v : listed) {
        value(v);
    }
    return builder.bytes();
}

/// An ObjectInfo dataset with the fields the adapter reads.
inline std::vector<uint8_t> objectInfoDataset(uint32_t storageId, uint16_t format, uint32_t size,
                                              const std::string& filename,
                                              uint16_t thumbFormat = 0x3801,
                                              const std::string& captureDate = "") {
    DatasetBuilder info;
    // Storage, format, protection, size; the thumbnail's format, size and pixels.
    info.u32(storageId).u16(format).u16(0).u32(size).u16(thumbFormat).u32(0).u32(160).u32(120);
    // The image's pixels and depth, parent, association, sequence; then the texts.
    info.u32(6000).u32(4000).u32(24).u32(0).u16(0).u32(0).u32(0);
    info.string(filename).string(captureDate).string("").string("");
    return info.bytes();
}

/// Records every listener call as one line of text.
class RecordingListener : public CameraEventListener {
public:
    void imageAdded(const std::shared_ptr<const CameraDevice>& device,
                    const std::shared_ptr<const CameraImage>& image) override {
        note("imageAdded " + (image ? image->getName() : std::string("null")), image);
        heard(device);
    }
    void imageStored(const std::shared_ptr<const CameraDevice>& device,
                     const std::shared_ptr<const CameraImage>& image) override {
        note("imageStored " + image->getName(), image);
        heard(device);
    }
    void captureComplete(const std::shared_ptr<const CameraDevice>& device,
                         const std::shared_ptr<const Capture>& capture) override {
        note("captureComplete " + capture->getId(), nullptr);
        heard(device);
    }
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>& device,
                            DeviceInterface) override {
        note("deviceDisconnected", nullptr);
        heard(device);
    }
    void captureSettingsChanged(
        const std::shared_ptr<const CameraDevice>& device,
        const std::vector<std::shared_ptr<const CaptureSetting>>& settings) override {
        std::string line = "captureSettingsChanged";
        for (const auto& setting : settings) {
            line += " " + setting->getName();
        }
        note(line, nullptr);
        heard(device);
    }
    /// Called after every call is recorded, on the thread that delivers it.
    virtual void heard(const std::shared_ptr<const CameraDevice>&) {}

    std::vector<std::string> events() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
    void liveViewFrameUpdated(const std::shared_ptr<const CameraDevice>& device,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            frames.emplace_back(data.get(), data.get() + size);
        }
        if (onFrame) {
            onFrame();
        }
        heard(device);
    }
    /// Called on the frame task after each frame is recorded; set before live view starts.
    std::function<void()> onFrame;

    std::vector<std::shared_ptr<const CameraImage>> images() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return received;
    }
    std::vector<std::vector<uint8_t>> receivedFrames() const {
        const std::lock_guard<std::mutex> lock(mutex);
        return frames;
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
    std::vector<std::vector<uint8_t>> frames;
};

/// Runs `act` inside the first listener call it hears (set before it is registered).
struct ActingListener : RecordingListener {
    std::function<void()> act;
    void heard(const std::shared_ptr<const CameraDevice>&) override {
        if (act) {
            std::exchange(act, nullptr)();
        }
    }
};

/// A device, its adapter and the scripted camera behind it, which serves `condition` to every
/// 0x900F request; a RecordingListener hears the device.
class AdapterTest : public ::testing::Test {
protected:
    static constexpr uint16_t kShutter = 0x9011;

    void makeCamera(const std::string& model,
                    std::vector<uint16_t> operations = {0x1001, 0x9001, 0x900F},
                    const std::string& firmware = "1.00") {
        camera = std::make_shared<ScriptedMtpDevice>("Quorin", model, firmware, "0001");
        camera->setSupportedOperations(std::move(operations));
        camera->on(0x900F, [this](const RecordedRequest&) {
            const std::lock_guard<std::mutex> lock(conditionMutex);
            return ScriptedResponse::ok(condition.bytes());
        });
        device = std::make_shared<Impl::QuorinCameraDevice>();
        device->setManufacturer("Quorin");
        device->setModel(model);
        device->setFirmwareVersion(firmware);
        device->setSerialNumber("0001");
        adapter = std::make_shared<TestAdapter>(device);
        adapter->setMtpDevice(camera);
        device->addAdapter(DeviceInterface::USB, adapter);
        listener = std::make_shared<RecordingListener>();
        device->addEventListener(listener);
    }

    void serveCondition(const ConditionBuilder& served) {
        const std::lock_guard<std::mutex> lock(conditionMutex);
        condition = served;
    }

    /// Marks the adapter connected without running connect, with `served` read once.
    void markConnected(const ConditionBuilder& served) {
        serveCondition(served);
        adapter->connected = true;
        ASSERT_TRUE(adapter->updateCondition());
        camera->clearRequests();
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

    /// The camera answers `operation` and from then on shows `value` at `offset` of its
    /// condition, as a real one does once it has acted.
    void changeOn(uint16_t operation, size_t offset, uint32_t value) {
        camera->on(operation, [this, offset, value](const RecordedRequest&) {
            const std::lock_guard<std::mutex> lock(conditionMutex);
            condition.set(offset, value);
            return ScriptedResponse::ok();
        });
    }

    /// Replaces the capture waits' 100 ms pauses by a refresh of the condition, so that the
    /// waits run at once and see what the camera answers meanwhile.
    void pollWithoutSleeping() {
        adapter->setTimingForTesting(nullptr, [this](std::chrono::milliseconds) {
            ++pauses;
            adapter->updateCondition();
        });
    }

    std::vector<uint32_t> lastParameters(uint16_t operation) const {
        const auto sent = camera->requestsFor(operation);
        return sent.empty() ? std::vector<uint32_t>{} : sent.back().parameters;
    }

    void TearDown() override {
        if (adapter != nullptr) {
            adapter->connected = false;
        }
    }

    std::shared_ptr<ScriptedMtpDevice> camera;
    std::shared_ptr<Impl::QuorinCameraDevice> device;
    std::shared_ptr<TestAdapter> adapter;
    std::shared_ptr<RecordingListener> listener;
    std::mutex conditionMutex;
    ConditionBuilder condition;
    std::atomic<int> pauses{0};
};

/// A connected Alto II (firmware 1.50) whose shutter answers OK, for event, capture and image
/// tests.
class AdapterFixture : public AdapterTest {
protected:
    void SetUp() override { bind(); }

    void bind(std::vector<uint16_t> operations = {0x1001, 0x9001, 0x900F, 0x9011},
              const std::string& model = "QUORIN Alto II", const std::string& firmware = "1.50") {
        makeCamera(model, std::move(operations), firmware);
        camera->on(kShutter, [](const RecordedRequest&) { return ScriptedResponse::ok(); });
        adapter->connected = true;
    }
    /// The camera keeps each picture in its transfer buffer (0x900B) until the host fetches it.
    void withTransferBuffer() { bind({0x1001, 0x9001, 0x900F, 0x9011, 0x900B}); }
};

inline std::string messageOf(const Response& response) {
    return response.getErrors().empty() ? "<no error>" : response.getErrors()[0]->getMessage();
}

inline ErrorCode codeOf(const Response& response) {
    return response.getErrors().empty() ? ErrorCode::Unclassified
                                        : response.getErrors()[0]->getCode();
}

}  // namespace Corvane::CameraController::Testing
