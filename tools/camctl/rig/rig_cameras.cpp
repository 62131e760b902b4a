#include "rig/rig_cameras.hpp"

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "errors.hpp"
#include "failure_reason.hpp"
#include "settings_catalog.hpp"

namespace camctl::rig {

namespace {

std::string failureText(const cc::Response& response, const std::string& what) {
    try {
        throwIfFailed(response, what);
        return {};
    } catch (const CameraError& error) {
        return describeFailure(error.codeName(), error.what(), {});
    }
}

int64_t nanosecondsOf(WallClock::time_point time) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

// One camera's settings, each value matched against what the camera offers right now.
std::string applyTo(cc::CameraDevice& camera, const std::vector<std::string>& assignments) {
    std::vector<std::unique_ptr<cc::CaptureSetting>> current;
    std::vector<const cc::CaptureSetting*> writes;
    for (const auto& assignment : assignments) {
        const auto [name, value] = splitAssignment(assignment);
        const SettingKind* kind = findSettingKind(name);
        current.push_back(kind->make());
        const std::string readFailure =
            failureText(camera.getCaptureSettings({current.back().get()}), "reading " + kind->name);
        if (!readFailure.empty()) {
            return readFailure;
        }
        const auto* singleton = matchAvailable(*current.back(), value);
        if (singleton == nullptr) {
            return kind->name + ": \"" + value + "\" is not accepted now";
        }
        writes.push_back(singleton);
    }
    return failureText(camera.setCaptureSettings(writes), "set");
}

}  // namespace

void forEachInParallel(size_t count, const std::function<void(size_t)>& work) {
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        threads.emplace_back(work, i);
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

ConnectedCameras::ConnectedCameras(const std::vector<std::shared_ptr<cc::CameraDevice>>& attached,
                                   const std::vector<std::string>& serials) {
    std::vector<std::shared_ptr<cc::CameraDevice>> chosen;
    std::set<std::string> seen;
    for (const auto& camera : attached) {
        const std::string& serial = camera->getSerialNumber();
        if (!serials.empty() &&
            std::find(serials.begin(), serials.end(), serial) == serials.end()) {
            continue;
        }
        if (!seen.insert(serial).second) {
            throw UsageError("two cameras have the serial number " + serial +
                             "; a rig names its files by serial");
        }
        chosen.push_back(camera);
    }
    for (const auto& serial : serials) {
        if (seen.count(serial) == 0) {
            throw UsageError("no camera with the serial number " + serial + " is attached");
        }
    }
    std::vector<std::string> errors(chosen.size());
    forEachInParallel(chosen.size(), [&](size_t i) {
        errors[i] = failureText(chosen[i]->connect(cc::DeviceInterface::USB), "connect");
    });
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (errors[i].empty()) {
            connected.push_back(chosen[i]);
        } else {
            failed.push_back({chosen[i]->getSerialNumber(), errors[i]});
        }
    }
}

ConnectedCameras::~ConnectedCameras() {
    forEachInParallel(connected.size(),
                      [this](size_t i) { connected[i]->disconnect(cc::DeviceInterface::USB); });
}

void checkAssignments(const std::vector<std::string>& assignments) {
    std::set<std::string> seen;
    for (const auto& assignment : assignments) {
        const auto [name, value] = splitAssignment(assignment);
        const SettingKind* kind = findSettingKind(name);
        if (kind == nullptr) {
            throw UsageError("unknown setting " + name + "; settable: " + settingNames(true));
        }
        if (!kind->writable) {
            throw UsageError(kind->name + " cannot be set; settable: " + settingNames(true));
        }
        if (!seen.insert(kind->name).second) {
            throw UsageError(kind->name + " is given twice");
        }
    }
}

std::vector<CameraFailure> applySettings(
    const std::vector<std::shared_ptr<cc::CameraDevice>>& cameras,
    const std::vector<std::string>& assignments) {
    checkAssignments(assignments);
    std::vector<std::string> errors(cameras.size());
    forEachInParallel(cameras.size(), [&](size_t i) {
        try {
            errors[i] = applyTo(*cameras[i], assignments);
        } catch (const std::exception& error) {
            errors[i] = error.what();
        }
    });
    std::vector<CameraFailure> failures;
    for (size_t i = 0; i < cameras.size(); ++i) {
        if (!errors[i].empty()) {
            failures.push_back({cameras[i]->getSerialNumber(), errors[i]});
        }
    }
    return failures;
}

Json shotJson(const ShotReport& report, std::chrono::nanoseconds clockOffset) {
    Json cameras = Json::array();
    for (const auto& camera : report.cameras) {
        Json files = Json::array();
        for (const auto& file : camera.files) {
            files.push(Json::object()
                           .set("name", file.path.filename().string())
                           .set("bytes", static_cast<unsigned long long>(file.size)));
        }
        Json errors = Json::array();
        for (const auto& error : camera.errors) {
            errors.push(error);
        }
        cameras.push(Json::object()
                         .set("serial", camera.serial)
                         .set("releaseNs",
                              camera.releaseSent
                                  ? Json(static_cast<long long>(nanosecondsOf(*camera.releaseSent) -
                                                                clockOffset.count()))
                                  : Json())
                         .set("files", std::move(files))
                         .set("errors", std::move(errors)));
    }
    const auto spread = report.spread();
    return Json::object()
        .set("folder", report.folder.string())
        .set("spreadNs", spread ? Json(static_cast<long long>(spread->count())) : Json())
        .set("complete", report.complete())
        .set("cameras", std::move(cameras));
}

}  // namespace camctl::rig
