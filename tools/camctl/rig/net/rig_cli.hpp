// What `camctl agent` and `camctl rig` share on the command line: the broker and its login.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "commands/commands.hpp"
#include "rig/net/mqtt_client.hpp"

namespace camctl::rig {

struct BrokerCli {
    std::string url;
    BrokerOptions login;
};

/// --broker (required), --user, --password, --cafile, --cert, --key.
void addBrokerOptions(CLI::App* command, BrokerCli& broker);
/// The URL's host and port with the login options. Throws UsageError for a bad URL.
BrokerOptions brokerOptionsOf(const BrokerCli& broker);

void addAgentCommand(CLI::App& app, CommandSet& commands);
void addCoordinatorCommand(CLI::App& app, CommandSet& commands);

}  // namespace camctl::rig
