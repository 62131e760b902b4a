// The library's capture handle.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "corvane/camera_controller/capture.hpp"

namespace Corvane::CameraController::Impl {

/// A capture in progress or finished. Created in state Executing; the event thread counts the
/// arriving files down and finishes it while the application polls the state.
class CaptureImpl : public Capture {
public:
    /// `method` must be CaptureMethod::StillImage or CaptureMethod::Movie; throws
    /// std::invalid_argument when it is null. `remainingFiles` is the number of files the
    /// camera is expected to store for this capture.
    CaptureImpl(std::string id, const CaptureMethod* method, int32_t remainingFiles);
    CaptureImpl(const CaptureImpl&) = delete;
    CaptureImpl& operator=(const CaptureImpl&) = delete;

    const std::string& getId() const override { return id; }
    const CaptureMethod* getMethod() const override { return method; }
    CaptureState getState() const override { return state.load(); }

    /// Moves the capture from Executing to `finalState` (Complete or Unknown). Returns false,
    /// changing nothing, when the capture has already finished or `finalState` is Executing.
    bool finish(CaptureState finalState);
    /// Atomically counts one arrived file; returns the number of files still expected.
    int32_t fileArrived() { return remainingFiles.fetch_sub(1) - 1; }
    int32_t getRemainingFiles() const { return remainingFiles.load(); }

private:
    const std::string id;
    const CaptureMethod* const method;
    std::atomic<CaptureState> state{CaptureState::Executing};
    std::atomic<int32_t> remainingFiles;
};

}  // namespace Corvane::CameraController::Impl
