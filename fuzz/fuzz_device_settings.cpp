// The device settings as the adapter reads them: the camera clock (0x5011, a PTP date string)
// and the live view geometry (0xD009), plus the 0xD009 read behind focusing at a point.

#include "corvane/camera_controller/device_settings.hpp"
#include "corvane/camera_controller/point.hpp"
#include "fuzz_adapter_support.hpp"

using namespace Corvane::CameraController;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Fuzzing::FuzzedCamera camera(input, Fuzzing::pickModel(input));

    CameraTime time;
    LiveViewSpecification liveView;
    camera.adapter->getCameraDeviceSettings({&time});
    time.toString();
    camera.adapter->getCameraDeviceSettings({&liveView});
    liveView.toString();

    const Point point{input.ConsumeFloatingPointInRange<float>(0.0f, 1.0f),
                      input.ConsumeFloatingPointInRange<float>(0.0f, 1.0f)};
    camera.adapter->setFocusPoint(point);
    return 0;
}
