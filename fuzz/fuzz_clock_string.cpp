// The camera clock: a PTP string holding "YYYYMMDDThhmmss", read into a broken-down time.
#include <cstddef>
#include <cstdint>
#include <string>

#include "adapter/adapter_wire.hpp"

using namespace Corvane::CameraController::Impl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    parseCameraDateTime(decodePtpString(data, size));
    // The text as it might come from any other source, not only a decoded string.
    parseCameraDateTime(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
