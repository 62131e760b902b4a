// The library's status handle.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "corvane/camera_controller/camera_status.hpp"

namespace Corvane::CameraController::Impl {

/// Battery level and current capture, each replaced atomically by the adapter's threads.
class CameraStatusImpl : public CameraStatus {
public:
    CameraStatusImpl() = default;
    CameraStatusImpl(const CameraStatusImpl&) = delete;
    CameraStatusImpl& operator=(const CameraStatusImpl&) = delete;

    uint32_t getBatteryLevel() const override { return batteryLevel.load(); }
    std::shared_ptr<const Capture> getCurrentCapture() const override;

    void setBatteryLevel(uint32_t level) { batteryLevel.store(level); }
    void setCurrentCapture(const std::shared_ptr<const Capture>& capture);

private:
    std::atomic<uint32_t> batteryLevel{0};
    std::shared_ptr<const Capture> currentCapture;  // only through the atomic free functions
};

}  // namespace Corvane::CameraController::Impl
