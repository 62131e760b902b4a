#include "adapter/adapter_setting_codecs.hpp"

#include <array>
#include <optional>

#include "adapter/adapter_codes.hpp"
#include "common/diagnostics.hpp"
#include "model/capture_setting_access.hpp"

namespace Corvane::CameraController::Impl {

namespace {

namespace Read = CaptureSettingRead;
namespace Write = CaptureSettingWrite;

const std::array<CaptureSettingCodec, 12> kCaptureCodecs = {{
    {isSetting<FNumber>, Read::fNumber, Write::fNumber},
    {isSetting<ExposureCompensation>, Read::compensation, Write::compensation},
    {isSetting<ISO>, Read::iso, Write::iso},
    {isSetting<WhiteBalance>, Read::whiteBalance, Write::whiteBalance},
    {isSetting<ShutterSpeed>, Read::shutterSpeed, Write::shutterSpeed},
    {isSetting<StillImageCaptureFormat>, Read::captureFormat, Write::captureFormat},
    {isSetting<StillImageQuality>, Read::quality, Write::quality},
    {isSetting<StorageWriting>, Read::storageWriting, Write::storageWriting},
    {isSetting<ExposureProgram>, Read::exposureProgram, nullptr},
    {isSetting<AgileOperationEnable>, Read::agileOperation, nullptr},
    {isSetting<UserCaptureSettingsMode>, Read::userMode, nullptr},
    {isSetting<CaptureMethod>, Read::captureMethod, nullptr},
}};

const std::array<DeviceSettingCodec, 2> kDeviceCodecs = {{
    {isSetting<CameraTime>, DeviceSettingRead::cameraTime, DeviceSettingWrite::cameraTime},
    {isSetting<LiveViewSpecification>, DeviceSettingRead::liveViewSpecification, nullptr},
}};

void warnUnknownSettingType() {
    writeDiagnostic("[warning] Unknown setting type");
}

/// Applies `step` to each setting in order and stops at the first failure; `step` answers
/// nullopt for a setting no codec serves, which only warns.
template <class Setting, class Step>
Response forEachSetting(const std::vector<Setting*>& settings, Step step) {
    for (Setting* setting : settings) {
        const std::optional<Response> done = setting == nullptr ? std::nullopt : step(*setting);
        if (!done) {
            warnUnknownSettingType();
            continue;
        }
        if (done->getResult() != Result::Ok) {
            return *done;
        }
    }
    return Response(Result::Ok);
}

}  // namespace

const CaptureSettingCodec* findCodec(const CaptureSetting& setting) {
    for (const auto& codec : kCaptureCodecs) {
        if (codec.serves(setting)) {
            return &codec;
        }
    }
    return nullptr;
}

const DeviceSettingCodec* findCodec(const CameraDeviceSetting& setting) {
    for (const auto& codec : kDeviceCodecs) {
        if (codec.serves(setting)) {
            return &codec;
        }
    }
    return nullptr;
}

Response SettingCodecs::readCaptureSettings(const std::vector<CaptureSetting*>& settings) {
    return forEachSetting(settings, [this](CaptureSetting& setting) -> std::optional<Response> {
        CaptureSettingAccess::clearAvailable(setting);
        const auto* codec = findCodec(setting);
        if (codec == nullptr) {
            return std::nullopt;
        }
        return codec->read(*this, camera, setting);
    });
}

Response SettingCodecs::writeCaptureSettings(const std::vector<const CaptureSetting*>& settings) {
    return forEachSetting(settings,
                          [this](const CaptureSetting& setting) -> std::optional<Response> {
                              const auto* codec = findCodec(setting);
                              if (codec == nullptr || codec->write == nullptr) {
                                  return std::nullopt;
                              }
                              return codec->write(*this, camera, setting);
                          });
}

Response SettingCodecs::readDeviceSettings(const std::vector<CameraDeviceSetting*>& settings) {
    return forEachSetting(settings,
                          [this](CameraDeviceSetting& setting) -> std::optional<Response> {
                              const auto* codec = findCodec(setting);
                              if (codec == nullptr) {
                                  return std::nullopt;
                              }
                              return codec->read(camera, setting);
                          });
}

Response SettingCodecs::writeDeviceSettings(
    const std::vector<const CameraDeviceSetting*>& settings) {
    for (const CameraDeviceSetting* setting : settings) {
        const auto* codec = setting == nullptr ? nullptr : findCodec(*setting);
        if (codec != nullptr && codec->write != nullptr) {
            // Only the first clock is written; whatever follows is not looked at.
            return codec->write(camera, *setting);
        }
        warnUnknownSettingType();
    }
    return Response(Result::Error);
}

}  // namespace Corvane::CameraController::Impl
