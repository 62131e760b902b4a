// The decoders of camera values that take bytes alone, all over the same input: the standard
// datasets, the DevicePropDesc view, the battery level, the live view geometry (0xD009) and
// the camera clock (0x5011). None may read past the bytes or crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "adapter/adapter_wire.hpp"
#include "mtp/mtp_datasets.hpp"

using namespace Corvane::CameraController::Impl;

namespace {

// Whatever clock text is accepted must be a calendar date mktime can take without rolling it
// over.
void checkClock(const std::string& text) {
    const auto broken = parseCameraDateTime(text);
    if (!broken) {
        return;
    }
    if (text.size() != 15 || broken->tm_mon < 0 || broken->tm_mon > 11 || broken->tm_mday < 1 ||
        broken->tm_mday > 31 || broken->tm_hour > 23 || broken->tm_min > 59 ||
        broken->tm_sec > 60 || broken->tm_isdst != -1) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decodeDeviceInfo(data, size);
    decodeU32Array(data, size);
    decodeStorageInfo(data, size);
    decodeObjectInfo(data, size);
    if (const auto text = decodeMtpString(data, size)) {
        parseMtpDate(*text);
    }
    const PropDescView view{data, size};
    view.dataType();
    for (const size_t width : {1, 2, 4, 8}) {
        view.current(width);
        view.enumeration(width);
    }
    decodeBatteryLevel(data, size);
    decodeLiveViewSize(data, size);
    decodeLiveViewGeometry(data, size);
    checkClock(decodePtpString(data, size));
    // The text as it might come from any other source, not only a decoded string.
    checkClock(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
