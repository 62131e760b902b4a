#include "rig/net/rig_cli.hpp"

namespace camctl {

namespace rig {

void addBrokerOptions(CLI::App* command, BrokerCli& broker) {
    command->add_option("--broker", broker.url, "The MQTT broker, mqtt://HOST[:PORT] or mqtts://")
        ->required();
    command->add_option("--user", broker.login.user, "User name at the broker");
    command->add_option("--password", broker.login.password, "Password at the broker");
    command->add_option("--cafile", broker.login.caFile, "TLS: the broker's certificate authority");
    command->add_option("--cert", broker.login.certFile, "TLS: client certificate");
    command->add_option("--key", broker.login.keyFile, "TLS: client key");
}

BrokerOptions brokerOptionsOf(const BrokerCli& broker) {
    BrokerOptions options = parseBrokerUrl(broker.url);
    const BrokerOptions& login = broker.login;
    options.user = login.user;
    options.password = login.password;
    options.caFile = login.caFile;
    options.certFile = login.certFile;
    options.keyFile = login.keyFile;
    return options;
}

}  // namespace rig

void addRigCommands(CLI::App& app, CommandSet& commands) {
    rig::addAgentCommand(app, commands);
    rig::addCoordinatorCommand(app, commands);
}

}  // namespace camctl
