// The DevicePropDesc readers of every capture setting, and the condition words some of them
// consult, fed through the adapter exactly as a camera would answer them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "corvane/camera_controller/capture_settings.hpp"
#include "fuzz_adapter_support.hpp"

using namespace Corvane::CameraController;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Fuzzing::FuzzedCamera camera(input, Fuzzing::pickModel(input));
    camera.adapter->updateCondition();
    camera.adapter->updateBatteryLevel();

    FNumber fNumber;
    ExposureCompensation compensation;
    ISO iso;
    WhiteBalance whiteBalance;
    ShutterSpeed shutterSpeed;
    StillImageCaptureFormat captureFormat;
    StillImageQuality quality;
    ExposureProgram program;
    AgileOperationEnable agile;
    UserCaptureSettingsMode userMode;
    CaptureMethod method;
    StorageWriting storageWriting;
    std::vector<CaptureSetting*> all = {&fNumber,      &compensation,  &iso,     &whiteBalance,
                                        &shutterSpeed, &captureFormat, &quality, &program,
                                        &agile,        &userMode,      &method,  &storageWriting};
    // One setting at a time, so that an early error does not hide the readers after it.
    for (CaptureSetting* setting : all) {
        camera.adapter->getCaptureSettings({setting});
        // Rendering reads whatever value the reader stored.
        setting->toString();
        for (const CaptureSetting* available : setting->getAvailableSettings()) {
            available->toString();
        }
    }
    return 0;
}
