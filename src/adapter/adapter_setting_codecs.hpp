// The setting codecs: one table, keyed by setting type, of how each setting is read and written.
#pragma once

#include <atomic>
#include <chrono>
#include <vector>

#include "adapter/adapter_camera_port.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "corvane/camera_controller/device_settings.hpp"
#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController::Impl {

/// Reads and writes capture and device settings through a CameraPort. Owns no lock: it keeps
/// only its two apply timings (atomics); every call runs on the caller's thread and blocks for
/// the transactions, plus up to `settleDelay + applyTimeout` after a white balance, format or
/// quality write.
class SettingCodecs {
public:
    explicit SettingCodecs(CameraPort& camera) : camera(camera) {}

    /// Fills each setting in order; a null entry or an unknown type only warns. Stops at the
    /// first failure and returns it.
    Response readCaptureSettings(const std::vector<CaptureSetting*>& settings);
    /// Writes each setting in order, refusing what the camera's present state does not allow;
    /// stops at the first failure (earlier writes stay done).
    Response writeCaptureSettings(const std::vector<const CaptureSetting*>& settings);
    Response readDeviceSettings(const std::vector<CameraDeviceSetting*>& settings);
    /// Writes the first writable device setting (the clock) and ignores the rest; Error when
    /// there is none.
    Response writeDeviceSettings(const std::vector<const CameraDeviceSetting*>& settings);

    /// After a white balance, format or quality write the camera needs `settle`, then clears
    /// bit 0x20 of adjustableMask; waiting for that gives up after `apply`.
    void setApplyTiming(std::chrono::milliseconds settle, std::chrono::milliseconds apply) {
        settleDelay = settle;
        applyTimeout = apply;
    }
    std::chrono::milliseconds getSettleDelay() const { return settleDelay; }
    std::chrono::milliseconds getApplyTimeout() const { return applyTimeout; }

private:
    CameraPort& camera;
    std::atomic<std::chrono::milliseconds> settleDelay{std::chrono::milliseconds(1000)};
    std::atomic<std::chrono::milliseconds> applyTimeout{std::chrono::milliseconds(5000)};
};

/// One row of the capture-setting table: which settings it serves and how. Readers and writers
/// return Ok or the Response that ends the whole operation.
struct CaptureSettingCodec {
    using Read = Response (*)(SettingCodecs& codecs, CameraPort& camera, CaptureSetting& setting);
    using Write = Response (*)(SettingCodecs& codecs, CameraPort& camera,
                               const CaptureSetting& setting);
    bool (*serves)(const CaptureSetting& setting);
    Read read;
    /// Null for a setting the camera only reports.
    Write write;
};

struct DeviceSettingCodec {
    bool (*serves)(const CameraDeviceSetting& setting);
    Response (*read)(CameraPort& camera, CameraDeviceSetting& setting);
    Response (*write)(CameraPort& camera, const CameraDeviceSetting& setting);
};

/// Whether `setting` is a `Setting` (or derived from it): the table's key.
template <class Setting, class Base>
bool isSetting(const Base& setting) {
    return dynamic_cast<const Setting*>(&setting) != nullptr;
}

/// The codec serving `setting`, or null.
const CaptureSettingCodec* findCodec(const CaptureSetting& setting);
const DeviceSettingCodec* findCodec(const CameraDeviceSetting& setting);

// The rows' functions, one file per direction (adapter_settings_read.cpp,
// adapter_settings_write.cpp, adapter_device_settings.cpp).
namespace CaptureSettingRead {
extern const CaptureSettingCodec::Read fNumber, compensation, iso, whiteBalance, shutterSpeed,
    captureFormat, quality, exposureProgram, agileOperation, userMode, captureMethod,
    storageWriting;
}  // namespace CaptureSettingRead

namespace CaptureSettingWrite {
extern const CaptureSettingCodec::Write fNumber, compensation, iso, whiteBalance, shutterSpeed,
    storageWriting, captureFormat, quality;
}  // namespace CaptureSettingWrite

namespace DeviceSettingRead {
Response cameraTime(CameraPort& camera, CameraDeviceSetting& setting);
Response liveViewSpecification(CameraPort& camera, CameraDeviceSetting& setting);
}  // namespace DeviceSettingRead

namespace DeviceSettingWrite {
Response cameraTime(CameraPort& camera, const CameraDeviceSetting& setting);
}  // namespace DeviceSettingWrite

}  // namespace Corvane::CameraController::Impl
