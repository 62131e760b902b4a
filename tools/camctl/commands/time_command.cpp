// time: read or set the camera's clock.
#include "commands.hpp"

#include <ctime>

#include "../arguments.hpp"
#include "../camera_queries.hpp"
#include "../errors.hpp"
#include "../formatting.hpp"

namespace camctl {

namespace {

void runTime(Context& context, const std::string& setTo) {
    auto& camera = context.camera();
    if (!setTo.empty()) {
        const int64_t wanted = parseTimeArgument(setTo, static_cast<int64_t>(std::time(nullptr)));
        const cc::CameraTime time(wanted);
        throwIfFailed(camera.setCameraDeviceSettings({&time}), "setting the camera's clock");
    }
    const int64_t now = readCameraTime(camera);
    if (context.out().json()) {
        context.out().document(Json::object().set("time", now).set("local", formatLocalTime(now)));
    } else {
        context.out().line(formatLocalTime(now) + "  (" + std::to_string(now) + ")");
    }
}

}  // namespace

void addTimeCommand(CLI::App& app, CommandSet& commands) {
    auto setTo = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand("time", "Show the camera's clock, or set it");
    cmd->add_option("--set", *setTo, "\"now\" or seconds since 1970-01-01 UTC")->check(nonEmpty());
    commands.add(cmd, [setTo](Context& context) { runTime(context, *setTo); });
}

}  // namespace camctl
