// Reading capture settings: the current value and the values the camera offers now.
#include <functional>

#include "adapter/adapter_codes.hpp"
#include "adapter/adapter_host.hpp"
#include "adapter/adapter_setting_codecs.hpp"
#include "adapter/adapter_setting_codes.hpp"
#include "adapter/adapter_wire.hpp"
#include "adapter/camera_model_profile.hpp"
#include "common/diagnostics.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_status_impl.hpp"
#include "model/camera_storage_list_impl.hpp"
#include "model/capture_setting_access.hpp"

namespace Corvane::CameraController::Impl {

namespace {

constexpr uint32_t kMaskFNumber = 0x1;
constexpr uint32_t kMaskShutterSpeed = 0x2;
constexpr uint32_t kMaskIso = 0x4;
constexpr uint32_t kMaskCompensation = 0x8;
constexpr int32_t kModeBulb = 9;
constexpr int32_t kModeIsoPriority = 15;
constexpr int32_t kModeAuto = 21;

Response unknownCurrent(const std::string& what, const std::string& code) {
    return makeErrorResponse(ErrorCode::NotSupported,
                             "Unknown " + what + " value (current): " + code);
}

Response malformed(uint16_t propertyCode) {
    return makeErrorResponse(ErrorCode::DeviceError,
                             "Malformed DevicePropDesc 0x" + lowerHex(propertyCode));
}

Response noCondition() {
    return makeErrorResponse(ErrorCode::DeviceError, "Camera condition not available");
}

/// Fills one capture setting from the camera; each reader returns Ok or the Response that
/// ends the whole read.
class CaptureSettingReader {
public:
    explicit CaptureSettingReader(CameraPort& adapter) : adapter(adapter) {}

    /// The property's DevicePropDesc (or value); a refused transaction is the read's end.
    std::optional<Response> fetch(uint16_t operationCode, uint16_t propertyCode,
                                  MtpResponse& response) {
        response = adapter.readProperty(operationCode, propertyCode);
        if (response.responseCode != kResponseOk) {
            return makeResponseFromMtpCode(response);
        }
        return std::nullopt;
    }

    std::shared_ptr<QuorinCameraCondition> refreshedCondition() {
        return adapter.refreshedCondition();
    }

    /// Appends the singleton of each listed code; unknown codes only warn.
    template <class Code>
    void appendAvailable(CaptureSetting& setting, const SettingCodeTable<Code>& table,
                         const std::vector<uint64_t>& listed,
                         const std::function<void(uint64_t)>& warnUnknown) {
        for (const uint64_t raw : listed) {
            const CaptureSetting* singleton = table.find(static_cast<Code>(raw));
            if (singleton != nullptr) {
                CaptureSettingAccess::appendAvailable(setting, singleton);
            } else {
                warnUnknown(raw);
            }
        }
    }

    template <class Code>
    Response listFromDesc(CaptureSetting& setting, const MtpResponse& desc, uint16_t property,
                          size_t width, const SettingCodeTable<Code>& table,
                          const std::function<void(uint64_t)>& warnUnknown) {
        const auto listed = PropDescView{desc.data.get(), desc.dataSize}.enumeration(width);
        if (!listed) {
            return malformed(property);
        }
        appendAvailable(setting, table, *listed, warnUnknown);
        return Response(Result::Ok);
    }

    static std::function<void(uint64_t)> warnDecimal(const std::string& prefix) {
        return [prefix](uint64_t code) { writeDiagnostic(prefix + std::to_string(code)); };
    }

    Response readFNumber(CaptureSetting& setting) {
        MtpResponse desc;
        if (auto failed = fetch(OperationCode::GetDevicePropDesc, PropertyCode::FNumber, desc)) {
            return *failed;
        }
        const auto current = PropDescView{desc.data.get(), desc.dataSize}.current(2);
        if (!current) {
            return malformed(PropertyCode::FNumber);
        }
        const CaptureSetting* singleton = fNumberCodes().find(static_cast<uint16_t>(*current));
        if (singleton == nullptr) {
            return unknownCurrent("FNumber", std::to_string(*current));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        if ((condition->adjustableMask() & kMaskFNumber) == 0) {
            return Response(Result::Ok);
        }
        return listFromDesc(setting, desc, PropertyCode::FNumber, 2, fNumberCodes(),
                            warnDecimal("[warning] Unknown FNumber value (available): "));
    }

    Response readCompensation(CaptureSetting& setting) {
        constexpr uint16_t property = PropertyCode::ExposureBiasCompensation;
        MtpResponse desc;
        if (auto failed = fetch(OperationCode::GetDevicePropDesc, property, desc)) {
            return *failed;
        }
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        const auto current = PropDescView{desc.data.get(), desc.dataSize}.current(2);
        if (!current) {
            return malformed(property);
        }
        // In bulb the camera's compensation does not apply.
        const int16_t code =
            condition->exposureMode() == kModeBulb ? 0 : static_cast<int16_t>(*current);
        const CaptureSetting* singleton = exposureCompensationCodes().find(code);
        if (singleton == nullptr) {
            return unknownCurrent("ExComp", std::to_string(code));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        if (condition->exposureMode() != kModeAuto &&
            (condition->adjustableMask() & kMaskCompensation) == 0) {
            return Response(Result::Ok);
        }
        return listFromDesc(setting, desc, property, 2, exposureCompensationCodes(),
                            [](uint64_t raw) {
                                writeDiagnostic("[warning] Unknown ExComp value (available): " +
                                                std::to_string(static_cast<int16_t>(raw)));
                            });
    }

    Response readIso(CaptureSetting& setting) {
        constexpr uint16_t property = PropertyCode::IsoSensitivity;
        MtpResponse desc;
        if (auto failed = fetch(OperationCode::GetDevicePropDesc, property, desc)) {
            return *failed;
        }
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        uint32_t code = condition->u32At(ConditionOffset::isoSensitivity);
        if (condition->exposureMode() != kModeIsoPriority) {
            const auto current = PropDescView{desc.data.get(), desc.dataSize}.current(4);
            if (!current) {
                return malformed(property);
            }
            code = static_cast<uint32_t>(*current);
        }
        const CaptureSetting* singleton = isoCodes().find(code);
        if (singleton == nullptr) {
            return unknownCurrent("ISO", std::to_string(code));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        if (condition->exposureMode() != kModeAuto &&
            (condition->adjustableMask() & kMaskIso) == 0) {
            return Response(Result::Ok);
        }
        return listFromDesc(setting, desc, property, 4, isoCodes(),
                            warnDecimal("[warning] Unknown ISO value (available): "));
    }

    Response readWhiteBalance(CaptureSetting& setting) {
        constexpr uint16_t property = PropertyCode::WhiteBalance;
        constexpr uint16_t autoWhiteBalance = 0x0002;
        MtpResponse desc;
        if (auto failed = fetch(OperationCode::GetDevicePropDesc, property, desc)) {
            return *failed;
        }
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        const bool autoMode = condition->exposureMode() == kModeAuto;
        uint16_t code = autoWhiteBalance;
        if (!autoMode) {
            const auto current = PropDescView{desc.data.get(), desc.dataSize}.current(2);
            if (!current) {
                return malformed(property);
            }
            code = static_cast<uint16_t>(*current);
        }
        const CaptureSetting* singleton = whiteBalanceCodes().find(code);
        if (singleton == nullptr) {
            return unknownCurrent("WhiteBalance", std::to_string(code));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        if (autoMode) {
            return Response(Result::Ok);
        }
        Response listed =
            listFromDesc(setting, desc, property, 2, whiteBalanceCodes(),
                         warnDecimal("[warning] Unknown WhiteBalance value (available): "));
        const std::string model = adapter.deviceModel();
        // Only these bodies can use flash white balance.
        if (!modelProfile(model).flashWhiteBalance) {
            CaptureSettingAccess::removeFirstAvailable(setting, WhiteBalance::Flash);
        }
        return listed;
    }

    Response readShutterSpeed(CaptureSetting& setting) {
        constexpr uint16_t property = PropertyCode::ShutterSpeed;
        MtpResponse desc;
        if (auto failed = fetch(OperationCode::GetDevicePropDesc, property, desc)) {
            return *failed;
        }
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        uint64_t code = shutterCode(condition->shutterNumerator(), condition->shutterDenominator());
        // In bulb the camera reports 1/60 as its shutter speed.
        if (condition->exposureMode() == kModeBulb && code == shutterCode(1, 60)) {
            code = shutterCode(0xFFFFFFFF, 0xFFFFFFFF);
        }
        const CaptureSetting* singleton = shutterSpeedCodes().find(code);
        if (singleton == nullptr) {
            return unknownCurrent("ShutterSpeed", std::to_string(code));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        if ((condition->adjustableMask() & kMaskShutterSpeed) == 0) {
            return Response(Result::Ok);
        }
        return listFromDesc(setting, desc, property, 8, shutterSpeedCodes(), [](uint64_t raw) {
            // The camera lists 0/1 as a placeholder.
            if (raw != shutterCode(0, 1)) {
                writeDiagnostic("[warning] Unknown ShutterSpeed value: " + lowerHex(raw));
            }
        });
    }

    Response readCaptureFormat(CaptureSetting& setting) {
        MtpResponse value;
        if (auto failed =
                fetch(OperationCode::GetDevicePropValue, PropertyCode::ImageFormat, value)) {
            return *failed;
        }
        const auto key = decodeCaptureFormatKey(value.data.get(), value.dataSize);
        const auto locked = isImageFormatLocked(value.data.get(), value.dataSize);
        if (!key || !locked) {
            return malformed(PropertyCode::ImageFormat);
        }
        const CaptureSetting* singleton = stillImageCaptureFormatCodes().find(*key);
        if (singleton == nullptr) {
            return unknownCurrent("StillImageCaptureFormat", std::to_string(*key));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        if (!*locked) {
            for (const auto* single : {StillImageCaptureFormat::JPEG, StillImageCaptureFormat::QRW,
                                       StillImageCaptureFormat::DNG}) {
                CaptureSettingAccess::appendAvailable(setting, single);
            }
        }
        CaptureSettingAccess::appendAvailable(setting, StillImageCaptureFormat::QRWAndJPEG);
        CaptureSettingAccess::appendAvailable(setting, StillImageCaptureFormat::DNGAndJPEG);
        return Response(Result::Ok);
    }

    Response readQuality(CaptureSetting& setting) {
        MtpResponse value;
        if (auto failed =
                fetch(OperationCode::GetDevicePropValue, PropertyCode::ImageFormat, value)) {
            return *failed;
        }
        const auto key = decodeQualityKey(value.data.get(), value.dataSize);
        if (!key) {
            return malformed(PropertyCode::ImageFormat);
        }
        const CaptureSetting* singleton = stillImageQualityCodes().find(*key);
        if (singleton == nullptr) {
            return unknownCurrent("StillImageQuality", std::to_string(*key));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        // The Brio has no extra-small JPEG.
        const size_t offered = modelProfile(adapter.deviceModel()).stillImageQualities;
        for (size_t i = 0; i < offered; ++i) {
            CaptureSettingAccess::appendAvailable(setting,
                                                  stillImageQualityCodes().getEntries()[i].second);
        }
        return Response(Result::Ok);
    }

    Response readFromExposureMode(CaptureSetting& setting, const SettingCodeTable<uint32_t>& table,
                                  const std::string& what) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        const auto mode = static_cast<uint32_t>(condition->exposureMode());
        const CaptureSetting* singleton = table.find(mode);
        if (singleton == nullptr) {
            return unknownCurrent(what, std::to_string(mode));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        return Response(Result::Ok);
    }

    Response readExposureProgram(CaptureSetting& setting) {
        return readFromExposureMode(setting, exposureProgramCodes(), "ExposureProgram");
    }

    Response readAgileOperation(CaptureSetting& setting) {
        return readFromExposureMode(setting, agileOperationEnableCodes(), "AgileOperationEnable");
    }

    Response readUserMode(CaptureSetting& setting) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        const uint32_t word = condition->userSettingsMode();
        const CaptureSetting* singleton =
            userCaptureSettingsModeCodes().find(static_cast<uint8_t>(word & 0xFF));
        if (singleton == nullptr) {
            return unknownCurrent("UserCaptureSettingsMode", std::to_string(word));
        }
        CaptureSettingAccess::copyValue(setting, *singleton);
        return Response(Result::Ok);
    }

    Response readCaptureMethod(CaptureSetting& setting) {
        const auto condition = refreshedCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        const uint8_t key = (condition->statusFlags() & StatusFlag::movieMode) != 0 ? 1 : 0;
        CaptureSettingAccess::copyValue(setting, *captureMethodCodes().find(key));
        return Response(Result::Ok);
    }

    Response readStorageWriting(CaptureSetting& setting) {
        const auto condition = adapter.getCondition();
        if (condition == nullptr) {
            return noCondition();
        }
        CaptureSettingAccess::copyValue(
            setting, adapter.isStorageWriting() ? *StorageWriting::True : *StorageWriting::False);
        if (anyStorageAvailable()) {
            CaptureSettingAccess::appendAvailable(setting, StorageWriting::True);
        }
        if ((condition->statusFlags() & StatusFlag::anyMovie) == 0) {
            CaptureSettingAccess::appendAvailable(setting, StorageWriting::False);
        }
        return Response(Result::Ok);
    }

    bool anyStorageAvailable() const {
        const auto owner = adapter.lockHost();
        return owner != nullptr && owner->getStoragesImpl().anyAvailable();
    }

private:
    CameraPort& adapter;
};

/// A table row: one reader method, on a reader made for the call.
template <Response (CaptureSettingReader::*method)(CaptureSetting&)>
Response readBy(SettingCodecs&, CameraPort& camera, CaptureSetting& setting) {
    return (CaptureSettingReader(camera).*method)(setting);
}

}  // namespace

namespace CaptureSettingRead {

const CaptureSettingCodec::Read fNumber = readBy<&CaptureSettingReader::readFNumber>;
const CaptureSettingCodec::Read compensation = readBy<&CaptureSettingReader::readCompensation>;
const CaptureSettingCodec::Read iso = readBy<&CaptureSettingReader::readIso>;
const CaptureSettingCodec::Read whiteBalance = readBy<&CaptureSettingReader::readWhiteBalance>;
const CaptureSettingCodec::Read shutterSpeed = readBy<&CaptureSettingReader::readShutterSpeed>;
const CaptureSettingCodec::Read captureFormat = readBy<&CaptureSettingReader::readCaptureFormat>;
const CaptureSettingCodec::Read quality = readBy<&CaptureSettingReader::readQuality>;
const CaptureSettingCodec::Read exposureProgram =
    readBy<&CaptureSettingReader::readExposureProgram>;
const CaptureSettingCodec::Read agileOperation = readBy<&CaptureSettingReader::readAgileOperation>;
const CaptureSettingCodec::Read userMode = readBy<&CaptureSettingReader::readUserMode>;
const CaptureSettingCodec::Read captureMethod = readBy<&CaptureSettingReader::readCaptureMethod>;
const CaptureSettingCodec::Read storageWriting = readBy<&CaptureSettingReader::readStorageWriting>;

}  // namespace CaptureSettingRead

}  // namespace Corvane::CameraController::Impl
