// fire: every selected camera on this host released together, shot after shot.
#include <cstdio>

#include "commands/commands.hpp"
#include "errors.hpp"
#include "interrupt.hpp"
#include "rig/rig_cameras.hpp"

namespace camctl {

namespace {

struct FireOptions {
    std::vector<std::string> serials;
    std::vector<std::string> settings;
    unsigned shots = 1;
    std::string out = ".";
    bool focus = false;
    double fileTimeout = 60;
};

std::string shotFolderName(unsigned number) {
    char name[32];
    std::snprintf(name, sizeof name, "shot-%04u", number);
    return name;
}

std::string millis(std::chrono::nanoseconds duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(duration.count()) / 1e6);
    return text;
}

void reportFailures(Output& out, const std::string& what,
                    const std::vector<rig::CameraFailure>& failures) {
    for (const auto& failure : failures) {
        out.note("camctl: " + failure.serial + ": " + what + ": " + failure.error);
    }
}

void printShot(Output& out, unsigned number, const rig::ShotReport& report) {
    if (out.json()) {
        out.document(rig::shotJson(report).set("shot", number));
        return;
    }
    size_t released = 0;
    size_t files = 0;
    for (const auto& camera : report.cameras) {
        released += camera.releaseSent ? 1 : 0;
        files += camera.files.size();
    }
    const auto spread = report.spread();
    out.line("Shot " + std::to_string(number) + ": " + std::to_string(released) + "/" +
             std::to_string(report.cameras.size()) + " cameras released, " + std::to_string(files) +
             " files in " + report.folder.string() +
             (spread ? ", release spread " + millis(*spread) : ""));
    for (const auto& camera : report.cameras) {
        for (const auto& error : camera.errors) {
            out.line("  " + camera.serial + ": " + error);
        }
    }
}

void runFire(Context& context, const FireOptions& options) {
    rig::checkAssignments(options.settings);
    const rig::ConnectedCameras rigCameras(context.detect(), options.serials);
    auto& out = context.out();
    reportFailures(out, "connect", rigCameras.failures());
    if (rigCameras.cameras().empty()) {
        throw CameraError("NoCamera", "no camera to fire");
    }
    bool allWell = rigCameras.failures().empty();
    if (!options.settings.empty()) {
        const auto refused = rig::applySettings(rigCameras.cameras(), options.settings);
        reportFailures(out, "set", refused);
        // A rig shoots with the settings asked for or not at all.
        if (!refused.empty()) {
            throw ReportedFailure();
        }
    }
    rig::CameraRig cameraRig(rigCameras.cameras());
    rig::ShotOptions shotOptions;
    shotOptions.focus = options.focus;
    shotOptions.fileLimit =
        std::chrono::milliseconds(static_cast<int64_t>(options.fileTimeout * 1000));
    for (unsigned number = 1; number <= options.shots; ++number) {
        throwIfInterrupted();
        const auto report = cameraRig.fire(
            std::filesystem::path(options.out) / shotFolderName(number), shotOptions);
        printShot(out, number, report);
        allWell = allWell && report.complete();
    }
    if (!allWell) {
        throw ReportedFailure();
    }
}

}  // namespace

void addFireCommand(CLI::App& app, CommandSet& commands) {
    auto options = std::make_shared<FireOptions>();
    auto* cmd = app.add_subcommand(
        "fire", "Release several cameras together and download every file, one folder per shot");
    cmd->add_option("--camera", options->serials,
                    "Serial number of a camera of the rig; repeatable (default: every camera)");
    cmd->add_option("--set", options->settings,
                    "NAME=VALUE applied to every camera first; "
                    "repeatable");
    cmd->add_option("--shots", options->shots, "Number of shots (default 1)")
        ->check(CLI::Range(1u, 100000u));
    cmd->add_option("--out", options->out, "Folder for the shot folders (default .)");
    cmd->add_flag("--focus", options->focus, "Focus every camera before each release");
    cmd->add_option("--file-timeout", options->fileTimeout,
                    "Seconds a camera's files get to arrive (default 60)")
        ->check(CLI::Range(0.1, 3600.0));
    commands.add(cmd, [options](Context& context) { runFire(context, *options); });
}

}  // namespace camctl
