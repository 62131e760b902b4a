// Thread-safe conversion of a time to the host's local calendar time on every platform.
#pragma once

#include <ctime>

namespace Corvane::CameraController::Impl {

/// Fills `out` with the local time of `time`; false when the C library cannot represent it.
inline bool toLocalTime(std::time_t time, std::tm& out) {
#if defined(_WIN32)
    return localtime_s(&out, &time) == 0;
#else
    return localtime_r(&time, &out) != nullptr;
#endif
}

}  // namespace Corvane::CameraController::Impl
