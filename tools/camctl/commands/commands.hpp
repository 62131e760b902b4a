// Each command registers itself on the CLI11 application with the action to run after parsing.
#pragma once

#include <functional>
#include <map>

#include <CLI/CLI.hpp>

#include "../context.hpp"

namespace camctl {

using Action = std::function<void(Context&)>;

/// The actions of the subcommands, run only after the whole command line has been parsed.
class CommandSet {
public:
    void add(CLI::App* command, Action action) { actions[command] = std::move(action); }
    /// The action of the subcommand that was given on the command line, or nullptr.
    const Action* chosen(const CLI::App& app) const;

private:
    std::map<const CLI::App*, Action> actions;
};

void addCameraCommands(CLI::App& app, CommandSet& commands);    // list, info
void addSettingsCommands(CLI::App& app, CommandSet& commands);  // get, set
void addCaptureCommands(CLI::App& app, CommandSet& commands);   // capture, movie
void addLiveViewCommand(CLI::App& app, CommandSet& commands);   // liveview
void addImageCommands(CLI::App& app, CommandSet& commands);     // ls, download, delete
void addFocusCommand(CLI::App& app, CommandSet& commands);      // focus
void addTimeCommand(CLI::App& app, CommandSet& commands);       // time
void addWatchCommand(CLI::App& app, CommandSet& commands);      // watch
void addServeCommand(CLI::App& app, CommandSet& commands);      // serve (with CAMCTL_WITH_SERVE)
void addFireCommand(CLI::App& app, CommandSet& commands);       // fire (rig/)
void addRigCommands(CLI::App& app, CommandSet& commands);  // agent, rig (with CAMCTL_WITH_RIG)

}  // namespace camctl
