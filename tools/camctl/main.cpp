// camctl: drive Quorin cameras from the command line.
#include <iostream>

#include <CLI/CLI.hpp>

#include "commands/commands.hpp"
#include "context.hpp"
#include "errors.hpp"
#include "failure_reason.hpp"
#include "interrupt.hpp"
#include "output.hpp"

using namespace camctl;

namespace {

void reportError(Output& out, const std::string& code, const std::string& message,
                 const std::string& reason = {}) {
    out.note("camctl: error: " + describeFailure(code, message, reason));
    if (out.json()) {
        out.document(Json::object().set("error", failureJson(code, message, reason)));
    }
}

int run(const Action& action, const GlobalOptions& options, Output& out) {
    // The context outlives the error report: the reason for a failure may depend on whether
    // the camera is still there, and the report comes before the (possibly slow) disconnect.
    Context context(options, out);
    try {
        action(context);
        return ExitOk;
    } catch (const UsageError& error) {
        reportError(out, "UsageError", error.what());
        out.note("Run with --help for more information.");
        return ExitUsageError;
    } catch (const CameraError& error) {
        reportError(out, error.codeName(), error.what(), context.reasonFor(error));
        return ExitCameraError;
    } catch (const ReportedFailure&) {
        return ExitCameraError;
    } catch (const Interrupted&) {
        out.note("camctl: interrupted");
        return ExitInterrupted;
    } catch (const std::exception& error) {
        // The library throws for a few operations the camera cannot do ("Not Supported",
        // "Bulb Capture is Not Supported.").
        const std::string message = error.what();
        const bool unsupported = message.find("Not Supported") != std::string::npos;
        reportError(out, unsupported ? "NotSupported" : "Error", message);
        return ExitCameraError;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Control Quorin cameras over USB.", "camctl"};
    app.require_subcommand(1);
    app.fallthrough();  // global options may follow the command

    GlobalOptions options;
    bool noCard = false;
    auto* emulate = app.add_option("--emulate", options.emulation.model,
                                   "Attach an emulated camera of this model (e.g. \"Alto II\")");
    app.add_flag("--emulate-no-card", noCard, "The emulated camera has no card (tether case)")
        ->needs(emulate);
    app.add_option("--emulate-with", options.emulation.controls,
                   "Emulator control KEY=VALUE, for tests and demos (see docs/camctl.md)")
        ->needs(emulate)
        ->group("Emulator");
    app.add_option("--serial", options.serial, "Use the camera with this serial number");
    app.add_flag("--json", options.json, "Machine-readable output (one JSON document per line)");

    CommandSet commands;
    addCameraCommands(app, commands);
    addSettingsCommands(app, commands);
    addCaptureCommands(app, commands);
    addLiveViewCommand(app, commands);
    addImageCommands(app, commands);
    addFocusCommand(app, commands);
    addTimeCommand(app, commands);
    addWatchCommand(app, commands);
    addFireCommand(app, commands);
#ifdef CAMCTL_WITH_SERVE
    addServeCommand(app, commands);
#endif
#ifdef CAMCTL_WITH_RIG
    addRigCommands(app, commands);
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ExitOk : ExitUsageError;
    }
    options.emulation.withCard = !noCard;

    Output::sendLibraryDiagnosticsToStderr();
    installInterruptHandlers();
    Output out(options.json);
    const Action* action = commands.chosen(app);
    if (action == nullptr) {
        std::cerr << app.help();
        return ExitUsageError;
    }
    return run(*action, options, out);
}
