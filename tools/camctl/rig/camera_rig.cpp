#include "rig/camera_rig.hpp"

#include <algorithm>
#include <thread>

#include "capture_collector.hpp"
#include "errors.hpp"
#include "failure_reason.hpp"
#include "file_names.hpp"
#include "listener_registration.hpp"

namespace camctl::rig {

namespace fs = std::filesystem;

namespace {

std::string describe(const CameraError& error, const cc::CameraDevice& camera) {
    const bool gone = !camera.isConnected(cc::DeviceInterface::USB);
    return describeFailure(error.codeName(), error.what(),
                           failureReason(error.codeName(), error.what(), gone));
}

std::string outcomeText(CaptureOutcome outcome, std::chrono::milliseconds limit) {
    switch (outcome) {
        case CaptureOutcome::Complete:
            return {};
        case CaptureOutcome::Failed:
            return "the capture ended without all of its files";
        case CaptureOutcome::Disconnected:
            return "the camera was disconnected during the shot";
        case CaptureOutcome::TimedOut:
            return "the files did not arrive within " + std::to_string(limit.count()) + " ms";
        case CaptureOutcome::Interrupted:
            return "interrupted";
    }
    return "unknown outcome";
}

// Focus (when asked) is the part of the preparation the public interface offers ahead of the
// release; everything else the library does between the call and the release is quick.
bool prepare(cc::CameraDevice& camera, bool focus, CameraShot& shot) {
    if (!camera.isConnected(cc::DeviceInterface::USB)) {
        shot.errors.push_back("not connected");
        return false;
    }
    if (!focus) {
        return true;
    }
    try {
        throwIfFailed(camera.focus(), "focus");
        return true;
    } catch (const CameraError& error) {
        shot.errors.push_back("focus: " + describe(error, camera));
    } catch (const std::exception& error) {
        shot.errors.push_back(std::string("focus: ") + error.what());
    }
    return false;
}

// Moves a file saved under the camera's own name into the shot folder under "SERIAL_NAME".
DownloadedFile moveIntoShot(const DownloadedFile& saved, const std::string& serial,
                            const fs::path& folder) {
    const std::string wanted = shotFileName(serial, saved.path.filename().string());
    fs::path target = folder / wanted;
    for (unsigned n = 2; fs::exists(target); ++n) {
        target = folder / numberedFileName(wanted, n);
    }
    fs::rename(saved.path, target);
    return DownloadedFile{target, saved.size};
}

void collectFiles(cc::CameraDevice& camera, CaptureCollector& collector, const fs::path& staging,
                  const fs::path& folder, CameraShot& shot) {
    for (auto& item : collector.take()) {
        if (!item.file && item.error.empty() && item.image->getStorage()) {
            try {
                item.file = downloadImage(*item.image, staging);
            } catch (const CameraError& error) {
                item.error = describe(error, camera);
            } catch (const std::exception& error) {
                item.error = error.what();
            }
        }
        if (!item.error.empty()) {
            shot.errors.push_back(item.image->getName() + ": " + item.error);
            continue;
        }
        if (item.file) {
            try {
                shot.files.push_back(moveIntoShot(*item.file, shot.serial, folder));
            } catch (const fs::filesystem_error& error) {
                shot.errors.push_back(item.image->getName() + ": " + error.what());
            }
        }
    }
}

void release(cc::CameraDevice& camera, CaptureCollector& collector,
             std::chrono::milliseconds fileLimit, CameraShot& shot) {
    shot.releaseSent = WallClock::now();
    try {
        const cc::StartCaptureResponse started = camera.startCapture(false);
        throwIfFailed(started, "startCapture");
        const auto capture = started.getCapture();
        if (!capture) {
            shot.errors.push_back("the camera started no capture");
            return;
        }
        const std::string problem = outcomeText(collector.waitFor(*capture, fileLimit), fileLimit);
        if (!problem.empty()) {
            shot.errors.push_back(problem);
        }
    } catch (const CameraError& error) {
        shot.errors.push_back("release: " + describe(error, camera));
    } catch (const std::exception& error) {
        shot.errors.push_back(std::string("release: ") + error.what());
    }
}

CameraShot shootOne(cc::CameraDevice& camera, const fs::path& folder, const ShotOptions& options,
                    ReleaseBarrier& barrier) {
    CameraShot shot;
    shot.serial = camera.getSerialNumber();
    // Each camera saves into a staging folder of its own first, so that two cameras naming
    // their files alike never race for one name.
    const fs::path staging = folder / ("." + sanitizeFileName(shot.serial, "camera") + ".partial");
    auto collector = std::make_shared<CaptureCollector>(staging);
    {
        const ListenerRegistration registration(camera, collector);
        if (!prepare(camera, options.focus, shot)) {
            barrier.withdraw();
            return shot;
        }
        const auto moment = barrier.arriveAndWait();
        if (!moment) {
            shot.errors.push_back("not ready within " +
                                  std::to_string(options.prepareLimit.count()) +
                                  " ms; left out of the shot");
            return shot;
        }
        std::this_thread::sleep_until(*moment);
        release(camera, *collector, options.fileLimit, shot);
    }
    collectFiles(camera, *collector, staging, folder, shot);
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    return shot;
}

}  // namespace

std::optional<std::chrono::nanoseconds> spreadOf(const std::vector<WallClock::time_point>& times) {
    if (times.empty()) {
        return std::nullopt;
    }
    const auto [first, last] = std::minmax_element(times.begin(), times.end());
    return std::chrono::duration_cast<std::chrono::nanoseconds>(*last - *first);
}

std::string shotFileName(const std::string& serial, const std::string& imageName) {
    return sanitizeFileName(serial + "_" + imageName, serial + "_image");
}

std::optional<std::chrono::nanoseconds> ShotReport::spread() const {
    std::vector<WallClock::time_point> times;
    for (const auto& camera : cameras) {
        if (camera.releaseSent) {
            times.push_back(*camera.releaseSent);
        }
    }
    return spreadOf(times);
}

bool ShotReport::complete() const {
    return std::all_of(cameras.begin(), cameras.end(), [](const CameraShot& camera) {
        return camera.releaseSent && !camera.files.empty() && camera.errors.empty();
    });
}

CameraRig::CameraRig(std::vector<std::shared_ptr<cc::CameraDevice>> cameras)
    : devices(std::move(cameras)) {}

ShotReport CameraRig::fire(const fs::path& folder, const ShotOptions& options) {
    fs::create_directories(folder);
    ShotReport report;
    report.folder = folder;
    report.cameras.resize(devices.size());
    ReleaseBarrier barrier(devices.size());
    std::vector<std::thread> threads;
    threads.reserve(devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
        threads.emplace_back([&, i] {
            try {
                report.cameras[i] = shootOne(*devices[i], folder, options, barrier);
            } catch (const std::exception& error) {
                // Only a local failure (the disk) gets here; the barrier waits out its bound.
                report.cameras[i].serial = devices[i]->getSerialNumber();
                report.cameras[i].errors.push_back(error.what());
            }
        });
    }
    report.releaseMoment = barrier.release(options.releaseAt, options.prepareLimit);
    for (auto& thread : threads) {
        thread.join();
    }
    return report;
}

}  // namespace camctl::rig
