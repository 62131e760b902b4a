#include "adapter/quorin_camera_condition.hpp"

#include <cstring>

namespace Corvane::CameraController::Impl {

QuorinCameraCondition::QuorinCameraCondition(const uint8_t* bytes, uint32_t byteCount)
    : data(new uint8_t[byteCount == 0 ? 1 : byteCount]), size(bytes == nullptr ? 0 : byteCount) {
    if (size > 0) {
        std::memcpy(data.get(), bytes, size);
    }
}

uint32_t QuorinCameraCondition::u32At(size_t offset) const {
    if (!has(offset)) {
        return 0;
    }
    const uint8_t* p = data.get() + offset;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t QuorinCameraCondition::isoSensitivity() const {
    if (u32At(ConditionOffset::isoWordValid) == 0) {
        return 0;
    }
    return u32At(ConditionOffset::isoSensitivity);
}

}  // namespace Corvane::CameraController::Impl
