// Writing capture settings, refusing what the camera's present state does not allow.
#include <thread>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/adapter_setting_codecs.hpp"
#include "adapter/adapter_setting_codes.hpp"
#include "adapter/adapter_wire.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_list_impl.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr uint32_t kMaskFNumber = 0x1;
constexpr uint32_t kMaskShutterSpeed = 0x2;
constexpr uint32_t kMaskIso = 0x4;
constexpr uint32_t kMaskCompensation = 0x8;
constexpr uint32_t kMaskApplying = 0x20;
constexpr int32_t kModeAuto = 21;
constexpr uint32_t kWriteToCard = 3;
constexpr std::chrono::milliseconds kApplyPoll{10};
constexpr std::chrono::seconds kNoConditionPause{3};

Response refuse(ErrorCode code, const std::string& message) {
    return makeErrorResponse(code, message);
}

Response noCondition() {
    return makeErrorResponse(ErrorCode::DeviceError, "Camera condition not available");
}

bool isRecording(const QuorinCameraCondition& condition) {
    return (condition.statusFlags() & StatusFlag::movieRecording) != 0;
}

// Modes in which the camera cannot pick the sensitivity itself.
bool refusesAutoIso(int32_t exposureMode) {
    return exposureMode == 15 || exposureMode == 8 || exposureMode == 9 || exposureMode == 16;
}

std::vector<uint8_t> littleEndian(uint64_t value, size_t width) {
    std::vector<uint8_t> bytes;
    appendLittleEndian(bytes, value, width);
    return bytes;
}

/// Writes one capture setting. Each writer returns Ok or the Response that ends the whole
/// operation; earlier writes stay done.
class CaptureSettingWriter {
public:
    CaptureSettingWriter(SettingCodecs& codecs, CameraPort& adapter)
        : codecs(codecs), adapter(adapter) {}

    std::shared_ptr<QuorinCameraCondition> refreshedCondition() {
        return adapter.refreshedCondition();
    }

    /// Sends the property and, on success, starts change tracking from the written state so
    /// that event processing does not report this write as a change made at the camera.
    Response sendProperty(uint16_t property, const std::vector<uint8_t>& value) {
        const MtpResponse response = adapter.writeProperty(property, value);
        if (response.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(response);
        }
        adapter.updateCondition();
        // Only the written setting's words: a dial turned at the camera meanwhile must still
        // differ from the remembered words when the event task next compares them.
        adapter.takeRememberedWordsOf(property);
        return Response(Result::Ok);
    }

    Response writeFNumber(const CaptureSetting& setting) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        if ((condition->adjustableMask() & kMaskFNumber) == 0) {
            return refuse(ErrorCode::DeviceError, "Cannot change FNumber");
        }
        const auto code = fNumberCodes().codeOf(&setting);
        if (!code) {
            return refuse(ErrorCode::NotSupported, "Unknown FNumber value");
        }
        return sendProperty(PropertyCode::FNumber, littleEndian(*code, 2));
    }

    Response writeCompensation(const CaptureSetting& setting) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        if (condition->exposureMode() != kModeAuto &&
            (condition->adjustableMask() & kMaskCompensation) == 0) {
            return refuse(ErrorCode::DeviceError, "Cannot change ExposureCompensation");
        }
        const auto code = exposureCompensationCodes().codeOf(&setting);
        if (!code) {
            return refuse(ErrorCode::NotSupported, "Unknown ExposureCompensation value");
        }
        return sendProperty(PropertyCode::ExposureBiasCompensation,
                            littleEndian(static_cast<uint16_t>(*code), 2));
    }

    Response writeIso(const CaptureSetting& setting) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        const int32_t mode = condition->exposureMode();
        if (mode != kModeAuto && (condition->adjustableMask() & kMaskIso) == 0) {
            return refuse(ErrorCode::DeviceError, "Cannot change ISO");
        }
        if (setting.hasValue() && setting == *ISO::Auto && refusesAutoIso(mode)) {
            return refuse(ErrorCode::InvalidValue, "Cannot change ISO");
        }
        const auto code = isoCodes().codeOf(&setting);
        if (!code) {
            return refuse(ErrorCode::NotSupported, "Unknown ISO value");
        }
        return sendProperty(PropertyCode::IsoSensitivity, littleEndian(*code, 4));
    }

    Response writeWhiteBalance(const CaptureSetting& setting) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        if (condition->exposureMode() == kModeAuto) {
            return refuse(ErrorCode::DeviceError, "Cannot change WhiteBalance");
        }
        if (isRecording(*condition)) {
            return refuse(ErrorCode::DeviceError, "Device Busy");
        }
        const auto code = whiteBalanceCodes().codeOf(&setting);
        if (!code) {
            return refuse(ErrorCode::NotSupported, "Unknown WhiteBalance value");
        }
        const Response sent = sendProperty(PropertyCode::WhiteBalance, littleEndian(*code, 2));
        if (sent.getResult() != Result::Ok) {
            return sent;
        }
        return waitForCamera();
    }

    Response writeShutterSpeed(const CaptureSetting& setting) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        if ((condition->adjustableMask() & kMaskShutterSpeed) == 0) {
            return refuse(ErrorCode::DeviceError, "Cannot change ShutterSpeed");
        }
        const auto code = shutterSpeedCodes().codeOf(&setting);
        if (!code) {
            return refuse(ErrorCode::NotSupported, "Unknown ShutterSpeed value");
        }
        return sendProperty(PropertyCode::ShutterSpeed, littleEndian(*code, 8));
    }

    Response writeStorageWriting(const CaptureSetting& setting) {
        // Compared by value: StorageWriting(true) is as good as the singleton.
        if (!setting.hasValue()) {
            return refuse(ErrorCode::InvalidValue, "StorageWriting has no value");
        }
        const bool wanted = setting == *StorageWriting::True;
        if (wanted && !anyStorageAvailable()) {
            return refuse(ErrorCode::InvalidValue, "Cannot change StorageWriting");
        }
        if (!wanted) {
            const auto condition = adapter.getCondition();
            if (condition == nullptr) {
                return noCondition();
            }
            if ((condition->statusFlags() & StatusFlag::anyMovie) != 0) {
                return refuse(ErrorCode::InvalidValue, "Cannot change StorageWriting");
            }
        }
        const MtpResponse response =
            adapter.execute(OperationCode::StorageWriting, {wanted ? kWriteToCard : 0u, 0});
        if (response.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(response);
        }
        adapter.setStorageWriting(wanted);
        return Response(Result::Ok);
    }

    Response writeCaptureFormat(const CaptureSetting& setting) {
        return writeImageFormat(setting, true);
    }

    Response writeQuality(const CaptureSetting& setting) {
        return writeImageFormat(setting, false);
    }

    Response writeImageFormat(const CaptureSetting& setting, bool captureFormat) {
        const auto condition = adapter.getCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        if (isRecording(*condition)) {
            return refuse(ErrorCode::DeviceError, "Device Busy");
        }
        const MtpResponse current =
            adapter.readProperty(OperationCode::GetDevicePropValue, PropertyCode::ImageFormat);
        if (current.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(current);
        }
        const auto key = captureFormat ? stillImageCaptureFormatCodes().codeOf(&setting)
                                       : stillImageQualityCodes().codeOf(&setting);
        if (!key) {
            return refuse(ErrorCode::NotSupported, captureFormat
                                                       ? "Unknown StillImageCaptureFormat value"
                                                       : "Unknown StillImageQuality value");
        }
        const uint8_t* bytes = current.data.get();
        std::vector<uint8_t> dataset(bytes, bytes + (bytes == nullptr ? 0 : current.dataSize));
        // The one-slot bodies want the lock byte cleared on every write.
        const bool setLockByte = settingModelClass(adapter.deviceModel()) == 1;
        const bool applied = captureFormat ? applyCaptureFormatKey(dataset, *key, setLockByte)
                                           : applyQualityKey(dataset, *key, setLockByte);
        if (!applied) {
            return refuse(ErrorCode::DeviceError,
                          "Malformed DevicePropDesc 0x" + lowerHex(PropertyCode::ImageFormat));
        }
        const MtpResponse written = adapter.writeProperty(PropertyCode::ImageFormat, dataset);
        if (written.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(written);
        }
        return waitForCamera();
    }

    /// The camera marks a setting it is still applying with bit 0x20; event processing
    /// refreshes the condition meanwhile, so only the current record is looked at.
    Response waitForCamera() {
        std::this_thread::sleep_for(codecs.getSettleDelay());
        if (adapter.getCondition() == nullptr) {
            std::this_thread::sleep_for(kNoConditionPause);
            return Response(Result::Ok);
        }
        const auto deadline = std::chrono::steady_clock::now() + codecs.getApplyTimeout();
        for (auto condition = adapter.getCondition();
             condition != nullptr && (condition->adjustableMask() & kMaskApplying) != 0;
             condition = adapter.getCondition()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return refuse(ErrorCode::DeviceError, "Camera did not finish applying the setting");
            }
            std::this_thread::sleep_for(kApplyPoll);
        }
        return Response(Result::Ok);
    }

    bool anyStorageAvailable() const {
        const auto owner = adapter.lockHost();
        return owner != nullptr && owner->getStoragesImpl().anyAvailable();
    }

private:
    SettingCodecs& codecs;
    CameraPort& adapter;
};

/// A table row: one writer method, on a writer made for the call.
template <Response (CaptureSettingWriter::*method)(const CaptureSetting&)>
Response writeBy(SettingCodecs& codecs, CameraPort& camera, const CaptureSetting& setting) {
    return (CaptureSettingWriter(codecs, camera).*method)(setting);
}

}  // namespace

namespace CaptureSettingWrite {

const CaptureSettingCodec::Write fNumber = writeBy<&CaptureSettingWriter::writeFNumber>;
const CaptureSettingCodec::Write compensation = writeBy<&CaptureSettingWriter::writeCompensation>;
const CaptureSettingCodec::Write iso = writeBy<&CaptureSettingWriter::writeIso>;
const CaptureSettingCodec::Write whiteBalance = writeBy<&CaptureSettingWriter::writeWhiteBalance>;
const CaptureSettingCodec::Write shutterSpeed = writeBy<&CaptureSettingWriter::writeShutterSpeed>;
const CaptureSettingCodec::Write storageWriting =
    writeBy<&CaptureSettingWriter::writeStorageWriting>;
const CaptureSettingCodec::Write captureFormat = writeBy<&CaptureSettingWriter::writeCaptureFormat>;
const CaptureSettingCodec::Write quality = writeBy<&CaptureSettingWriter::writeQuality>;

}  // namespace CaptureSettingWrite

}  // namespace Corvane::CameraController::Impl
