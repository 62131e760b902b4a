// Several cameras on this host fired together: one thread per camera, prepared up to the
// release, one barrier, then every file downloaded into one folder per shot.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>

#include "download.hpp"
#include "rig/release_barrier.hpp"

namespace camctl::rig {

namespace cc = Corvane::CameraController;

/// What one camera did in one shot.
struct CameraShot {
    std::string serial;
    /// When the release was handed to the library, on this host's clock; empty when the camera
    /// was not released.
    std::optional<WallClock::time_point> releaseSent;
    std::vector<DownloadedFile> files;  ///< in the shot folder, named "SERIAL_NAME"
    std::vector<std::string> errors;    ///< everything that went wrong, in plain words
};

struct ShotOptions {
    bool focus = false;  ///< focus each camera before the barrier
    /// The release moment on this host's clock; empty: as soon as every camera is ready.
    std::optional<WallClock::time_point> releaseAt;
    /// How long the cameras get to be ready; one that is not is left out of the shot.
    std::chrono::milliseconds prepareLimit{30000};
    /// How long a camera's files get to arrive after its release.
    std::chrono::milliseconds fileLimit{60000};
};

struct ShotReport {
    std::filesystem::path folder;
    WallClock::time_point releaseMoment;  ///< the moment the barrier named
    std::vector<CameraShot> cameras;      ///< in the rig's camera order

    /// Latest minus earliest release among the released cameras; empty when none was.
    std::optional<std::chrono::nanoseconds> spread() const;
    /// Every camera released, delivered at least one file, and reported no error.
    bool complete() const;
};

/// The spread of a set of release moments (latest minus earliest); empty for an empty set.
std::optional<std::chrono::nanoseconds> spreadOf(const std::vector<WallClock::time_point>& times);

/// "SERIAL_NAME" made safe as one path component.
std::string shotFileName(const std::string& serial, const std::string& imageName);

class CameraRig {
public:
    /// `cameras` must be connected; the rig borrows them for its life.
    explicit CameraRig(std::vector<std::shared_ptr<cc::CameraDevice>> cameras);

    /// Fires every camera once and saves the files into `folder` (created). Blocks until every
    /// camera has its files or has run out of its limits: at most prepareLimit (plus the wait
    /// for a scheduled moment) plus fileLimit plus the downloads. A camera that fails or
    /// vanishes is reported in its CameraShot and never holds back the others.
    ShotReport fire(const std::filesystem::path& folder, const ShotOptions& options);

    const std::vector<std::shared_ptr<cc::CameraDevice>>& cameras() const { return devices; }

private:
    std::vector<std::shared_ptr<cc::CameraDevice>> devices;
};

}  // namespace camctl::rig
