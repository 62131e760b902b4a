// The DevicePropDesc readers of every capture setting, and the condition words some of them
// consult, fed through the adapter exactly as a camera would answer them.
#include <tuple>

#include "corvane/camera_controller/capture_settings.hpp"
#include "fuzz_adapter_support.hpp"

using namespace Corvane::CameraController;

namespace {

// One setting at a time, so that an early error does not hide the readers after it.
void readAndRender(Fuzzing::FuzzAdapter& adapter, CaptureSetting& setting) {
    adapter.getCaptureSettings({&setting});
    // Rendering reads whatever value the reader stored.
    setting.toString();
    for (const CaptureSetting* available : setting.getAvailableSettings()) {
        available->toString();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Fuzzing::FuzzedCamera camera(input, Fuzzing::pickModel(input));
    camera.adapter->updateCondition();
    camera.adapter->updateBatteryLevel();

    std::tuple<FNumber, ExposureCompensation, ISO, WhiteBalance, ShutterSpeed,
               StillImageCaptureFormat, StillImageQuality, ExposureProgram, AgileOperationEnable,
               UserCaptureSettingsMode, CaptureMethod, StorageWriting>
        all;
    std::apply([&](auto&... setting) { (readAndRender(*camera.adapter, setting), ...); }, all);
    return 0;
}
