// The live view geometry value (0xD009), both readings of it.
#include <cstddef>
#include <cstdint>

#include "adapter/adapter_wire.hpp"

using namespace Corvane::CameraController::Impl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decodeLiveViewSize(data, size);
    decodeLiveViewGeometry(data, size);
    return 0;
}
