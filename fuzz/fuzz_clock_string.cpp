// The camera clock: a PTP string holding "YYYYMMDDThhmmss", read into a broken-down time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "adapter/adapter_wire.hpp"

using namespace Corvane::CameraController::Impl;

namespace {

// Whatever is accepted must be a calendar date mktime can take without rolling it over.
void checkAccepted(const std::string& text) {
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
    checkAccepted(decodePtpString(data, size));
    // The text as it might come from any other source, not only a decoded string.
    checkAccepted(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
