// The generic DevicePropDesc view under every setting reader, and the battery level reader.
#include <cstddef>
#include <cstdint>

#include "adapter/adapter_wire.hpp"

using namespace Corvane::CameraController::Impl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const PropDescView view{data, size};
    view.dataType();
    for (const size_t width : {1, 2, 4, 8}) {
        view.current(width);
        view.enumeration(width);
    }
    decodeBatteryLevel(data, size);
    return 0;
}
