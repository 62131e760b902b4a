// Shared set-up of the adapter unit tests: a Quorin device whose adapter talks to a scripted
// camera, plus builders for the condition dataset and DevicePropDesc answers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adapter/quorin_camera_device_mtp_usb_adapter.hpp"
#include "device/quorin_camera_device.hpp"
#include "support/dataset_builder.hpp"
#include "support/diagnostic_capture.hpp"
#include "support/scripted_mtp_device.hpp"

namespace Corvane::CameraController::Testing {

/// Opens the adapter's parts, flags and internal steps to the unit tests.
class TestAdapter : public Impl::QuorinCameraDeviceMtpUsbAdapter {
public:
    using QuorinCameraDeviceMtpUsbAdapter::connected;
    using QuorinCameraDeviceMtpUsbAdapter::firstPassTimeout;
    using QuorinCameraDeviceMtpUsbAdapter::listingStartTimeout;
    using QuorinCameraDeviceMtpUsbAdapter::QuorinCameraDeviceMtpUsbAdapter;
    // The parts, reached through their own interfaces.
    using QuorinCameraDeviceMtpUsbAdapter::conditionTracker;
    using QuorinCameraDeviceMtpUsbAdapter::eventTask;
    using QuorinCameraDeviceMtpUsbAdapter::liveView;
    using QuorinCameraDeviceMtpUsbAdapter::pendingCaptures;
    using QuorinCameraDeviceMtpUsbAdapter::tetherImages;
    // The face's internal steps the unit tests drive one at a time.
    using QuorinCameraDeviceMtpUsbAdapter::captureFileArrived;
    using QuorinCameraDeviceMtpUsbAdapter::countExpectedFiles;
    using QuorinCameraDeviceMtpUsbAdapter::createImage;
    using QuorinCameraDeviceMtpUsbAdapter::createImageFromTetherImage;
    using QuorinCameraDeviceMtpUsbAdapter::deleteTetherImage;
    using QuorinCameraDeviceMtpUsbAdapter::detectSettingChanges;
    using QuorinCameraDeviceMtpUsbAdapter::doListImagesAsync;
    using QuorinCameraDeviceMtpUsbAdapter::expireStillCaptures;
    using QuorinCameraDeviceMtpUsbAdapter::fetchObjectHandles;
    using QuorinCameraDeviceMtpUsbAdapter::isCaptureAllowed;
    using QuorinCameraDeviceMtpUsbAdapter::isMovieMode;
    using QuorinCameraDeviceMtpUsbAdapter::isMovieRecording;
    using QuorinCameraDeviceMtpUsbAdapter::startEventLoop;
    using QuorinCameraDeviceMtpUsbAdapter::stopListing;
    using QuorinCameraDeviceMtpUsbAdapter::transferTetherBuffer;
    using QuorinCameraDeviceMtpUsbAdapter::updateImageInfo;
    using QuorinCameraDeviceMtpUsbAdapter::updateStorageImages;
    using QuorinCameraDeviceMtpUsbAdapter::updateStorages;
    using QuorinCameraDeviceMtpUsbAdapter::waitForStorageListing;
    void setConnected(bool value) { connected = value; }
};

/// A condition dataset: 600 zero bytes with named words set.
class ConditionBuilder {
public:
    ConditionBuilder& word(size_t offset, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) {
            bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        }
        return *this;
    }
    ConditionBuilder& set(size_t offset, uint32_t value) { return word(offset, value); }
    ConditionBuilder& statusFlags(uint32_t value) { return word(104, value); }
    ConditionBuilder& exposureMode(int32_t value) {
        return word(184, static_cast<uint32_t>(value));
    }
    ConditionBuilder& shutter(uint32_t numerator, uint32_t denominator) {
        return word(272, numerator).word(276, denominator);
    }
    ConditionBuilder& adjustableMask(uint32_t value) { return word(504, value); }
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
    auto value = [&builder, width](uint64_t v) {
        if (width == 2) {
            builder.u16(static_cast<uint16_t>(v));
        } else if (width == 4) {
            builder.u32(static_cast<uint32_t>(v));
        } else {
            builder.u64(v);
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

using CapturedDiagnostics = DiagnosticCapture;

/// A device, its adapter and the scripted camera behind it.
class AdapterTest : public ::testing::Test {
protected:
    void makeCamera(const std::string& model,
                    std::vector<uint16_t> operations = {0x1001, 0x9001, 0x900F}) {
        camera = std::make_shared<ScriptedMtpDevice>("Quorin", model, "1.00", "0001");
        camera->setSupportedOperations(std::move(operations));
        device = std::make_shared<Impl::QuorinCameraDevice>();
        device->setModel(model);
        adapter = std::make_shared<TestAdapter>(device);
        adapter->setMtpDevice(camera);
        device->addAdapter(DeviceInterface::USB, adapter);
    }

    /// Serves `condition` to every 0x900F request.
    void serveCondition(const ConditionBuilder& condition) {
        const std::vector<uint8_t> bytes = condition.bytes();
        camera->on(0x900F, [bytes](const RecordedRequest&) { return ScriptedResponse::ok(bytes); });
    }

    /// Marks the adapter connected without running connect, with `condition` read once.
    void markConnected(const ConditionBuilder& condition) {
        serveCondition(condition);
        adapter->connected = true;
        ASSERT_TRUE(adapter->updateCondition());
        camera->clearRequests();
    }

    void TearDown() override {
        if (adapter != nullptr) {
            adapter->connected = false;
        }
    }

    std::shared_ptr<ScriptedMtpDevice> camera;
    std::shared_ptr<Impl::QuorinCameraDevice> device;
    std::shared_ptr<TestAdapter> adapter;
};

inline std::vector<uint8_t> u32Bytes(uint32_t value) {
    return DatasetBuilder().u32(value).bytes();
}

inline std::string messageOf(const Response& response) {
    return response.getErrors().empty() ? "<no error>" : response.getErrors()[0]->getMessage();
}

inline ErrorCode codeOf(const Response& response) {
    return response.getErrors().empty() ? ErrorCode::Unclassified
                                        : response.getErrors()[0]->getCode();
}

}  // namespace Corvane::CameraController::Testing
