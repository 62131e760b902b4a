// The cameras of a rig on this host: chosen by serial, connected and given settings in parallel.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>

#include "json.hpp"
#include "rig/camera_rig.hpp"

namespace camctl::rig {

namespace cc = Corvane::CameraController;

/// A camera's failure in plain words, with its serial.
struct CameraFailure {
    std::string serial;
    std::string error;
};

/// Connects cameras for the life of the object and disconnects them after.
class ConnectedCameras {
public:
    /// Connects `attached` (all of them, or those whose serial is in `serials`) in parallel.
    /// Throws UsageError when a serial asked for is not attached or two cameras share a
    /// serial (their files would share names). A camera that fails to connect is left out and
    /// listed in failures().
    ConnectedCameras(const std::vector<std::shared_ptr<cc::CameraDevice>>& attached,
                     const std::vector<std::string>& serials);
    /// Disconnects every camera, in parallel (each may wait for its pending files).
    ~ConnectedCameras();
    ConnectedCameras(const ConnectedCameras&) = delete;
    ConnectedCameras& operator=(const ConnectedCameras&) = delete;

    const std::vector<std::shared_ptr<cc::CameraDevice>>& cameras() const { return connected; }
    const std::vector<CameraFailure>& failures() const { return failed; }

private:
    std::vector<std::shared_ptr<cc::CameraDevice>> connected;
    std::vector<CameraFailure> failed;
};

/// Checks "NAME=VALUE" assignments against the setting names; throws UsageError when one is
/// malformed, not settable or given twice.
void checkAssignments(const std::vector<std::string>& assignments);

/// Applies `assignments` to every camera in parallel; returns the cameras that refused (a
/// value the camera does not accept now, or a failure), each with its reason.
std::vector<CameraFailure> applySettings(
    const std::vector<std::shared_ptr<cc::CameraDevice>>& cameras,
    const std::vector<std::string>& assignments);

/// The JSON form of a shot: folder, spread and per camera its release time, files and errors.
/// Times are nanoseconds since 1970 on this host's clock, less `clockOffset` (a clock ahead of
/// the reference by that much).
Json shotJson(const ShotReport& report, std::chrono::nanoseconds clockOffset = {});

/// Runs `work(i)` for i in [0, count) on a thread each and waits for all.
void forEachInParallel(size_t count, const std::function<void(size_t)>& work);

}  // namespace camctl::rig
