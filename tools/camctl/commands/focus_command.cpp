// focus: autofocus at the centre or a point, or move the focus by steps.
#include "commands.hpp"

#include <optional>

#include "../arguments.hpp"
#include "../errors.hpp"

namespace camctl {

namespace {

struct FocusOptions {
    std::string point;
    std::optional<int32_t> steps;
};

void runFocus(Context& context, const FocusOptions& options) {
    auto& camera = context.camera();
    std::string what = "autofocus at the centre";
    if (options.steps) {
        throwIfFailed(camera.focus(*options.steps), "focus");
        what = "focus moved by " + std::to_string(*options.steps) + " steps";
    } else if (!options.point.empty()) {
        const cc::Point point = parsePoint(options.point);
        throwIfFailed(camera.focus(point), "focus");
        what = "autofocus at " + options.point;
    } else {
        throwIfFailed(camera.focus(), "focus");
    }
    if (context.out().json()) {
        context.out().document(Json::object().set("focus", what));
    } else {
        context.out().line("OK: " + what);
    }
}

}  // namespace

void addFocusCommand(CLI::App& app, CommandSet& commands) {
    auto options = std::make_shared<FocusOptions>();
    auto* cmd = app.add_subcommand("focus", "Autofocus (at the centre or a point) or drive focus");
    auto* point = cmd->add_option("--point", options->point, "Autofocus at X,Y (fractions, 0..1)");
    cmd->add_option("--steps", options->steps, "Move the focus by N steps (negative: nearer)")
        ->excludes(point);
    commands.add(cmd, [options](Context& context) { runFocus(context, *options); });
}

}  // namespace camctl
