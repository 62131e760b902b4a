// agent: the cameras of this host in a rig, driven through an MQTT broker.
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "errors.hpp"
#include "interrupt.hpp"
#include "rig/net/agent_file_routes.hpp"
#include "rig/net/rig_cli.hpp"
#include "rig/net/rig_protocol.hpp"
#include "rig/rig_cameras.hpp"
#include "serve/api_json.hpp"
#include "serve/web_server.hpp"

namespace camctl::rig {

namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

struct AgentOptions {
    BrokerCli broker;
    std::string rig;
    std::string id;
    std::string listen = "127.0.0.1:0";
    std::string advertise;
    std::string token;
    std::string out = "rig-shots";
    std::vector<std::string> serials;
};

std::string hostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0' ? name : "agent";
}

// Commands wait here for the agent's main thread; clock pings are answered on the network
// thread at once, as their whole point is a short, even round trip.
class CommandQueue {
public:
    void push(json command) {
        const std::lock_guard<std::mutex> lock(mutex);
        commands.push_back(std::move(command));
        changed.notify_all();
    }
    std::optional<json> pop(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!changed.wait_for(lock, limit, [this] { return !commands.empty(); })) {
            return std::nullopt;
        }
        json command = std::move(commands.front());
        commands.pop_front();
        return command;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<json> commands;
};

class Agent {
public:
    Agent(const AgentOptions& options, const ConnectedCameras& cameras, std::string httpUrl)
        : options(options), cameras(cameras), httpUrl(std::move(httpUrl)) {}

    void run(Output& out) {
        const std::string presence = presenceTopic(options.rig, options.id);
        MqttMessage will{presence, presenceJson("offline").dump(), 1, true};
        MqttClient client(
            brokerOptionsOf(options.broker), "camctl-agent-" + options.rig + "-" + options.id,
            {commandTopic(options.rig)}, [this](const MqttMessage& message) { receive(message); },
            will);
        mqtt = &client;
        client.publish({presence, presenceJson("online").dump(), 1, true});
        out.line("Agent " + options.id + " of rig " + options.rig + " with " +
                 std::to_string(cameras.cameras().size()) + " cameras, files at " + httpUrl);
        while (!interrupted()) {
            if (auto command = queue.pop(std::chrono::milliseconds(200))) {
                handle(*command);
            }
        }
        client.publish(will);
        mqtt = nullptr;
    }

private:
    json presenceJson(const std::string& state) const {
        json list = json::array();
        for (const auto& camera : cameras.cameras()) {
            list.push_back({{"serial", camera->getSerialNumber()}, {"model", camera->getModel()}});
        }
        return {{"agent", options.id}, {"state", state}, {"http", httpUrl}, {"cameras", list}};
    }

    void receive(const MqttMessage& message) {
        const int64_t received = wallClockNs();
        json command = json::parse(message.payload, nullptr, false);
        if (!command.is_object() || !command.contains("id") || !command["id"].is_string()) {
            return;
        }
        if (command.value("command", "") == "clock") {
            json pong = {{"id", command["id"]},
                         {"agent", options.id},
                         {"ok", true},
                         {"agentReceived", received},
                         {"agentReplied", wallClockNs()}};
            if (MqttClient* client = mqtt.load()) {
                client->publish({replyTopic(options.rig, options.id), pong.dump(), 0, false});
            }
            return;
        }
        queue.push(std::move(command));
    }

    void reply(const json& command, json answer) {
        answer["id"] = command["id"];
        answer["agent"] = options.id;
        mqtt.load()->publish({replyTopic(options.rig, options.id), answer.dump(), 1, false});
    }

    void handle(const json& command) {
        const std::string name = command.value("command", "");
        try {
            if (name == "list") {
                reply(command, {{"ok", true}, {"cameras", presenceJson("online")["cameras"]}});
            } else if (name == "set") {
                set(command);
            } else if (name == "shot") {
                shoot(command);
            } else if (name == "files") {
                files(command);
            } else {
                reply(command, {{"ok", false}, {"error", "unknown command " + name}});
            }
        } catch (const std::exception& error) {
            reply(command, {{"ok", false}, {"error", error.what()}});
        }
    }

    void set(const json& command) {
        const auto assignments = command.at("settings").get<std::vector<std::string>>();
        json failures = json::array();
        for (const auto& failure : applySettings(cameras.cameras(), assignments)) {
            failures.push_back({{"serial", failure.serial}, {"error", failure.error}});
        }
        reply(command, {{"ok", failures.empty()}, {"failures", failures}});
    }

    void shoot(const json& command) {
        const std::string shot = command.at("shot").get<std::string>();
        if (!isServableName(shot)) {
            throw UsageError("bad shot name");
        }
        const auto offsets = command.value("offsets", json::object());
        const std::chrono::nanoseconds offset(offsets.value(options.id, int64_t{0}));
        ShotOptions shotOptions;
        shotOptions.focus = command.value("focus", false);
        shotOptions.prepareLimit = std::chrono::milliseconds(command.value("prepareMs", 30000));
        shotOptions.fileLimit = std::chrono::milliseconds(command.value("fileTimeoutMs", 60000));
        // The moment is on the coordinator's clock; this clock is `offset` ahead of it.
        shotOptions.releaseAt =
            WallClock::time_point(std::chrono::duration_cast<WallClock::duration>(
                std::chrono::nanoseconds(command.at("at").get<int64_t>()) + offset));
        CameraRig cameraRig(cameras.cameras());
        const ShotReport report = cameraRig.fire(fs::path(options.out) / shot, shotOptions);
        json answer = serve::toNlohmann(shotJson(report, offset));
        answer["ok"] = true;
        answer["folder"] = shot;
        reply(command, std::move(answer));
    }

    // The files of an earlier shot, for a coordinator that collects them again.
    void files(const json& command) {
        const std::string shot = command.at("shot").get<std::string>();
        if (!isServableName(shot)) {
            throw UsageError("bad shot name");
        }
        json list = json::array();
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(fs::path(options.out) / shot, error)) {
            const std::string file = entry.path().filename().string();
            if (entry.is_regular_file(error) && isServableName(file)) {
                list.push_back({{"name", file}, {"bytes", entry.file_size(error)}});
            }
        }
        reply(command, {{"ok", !error},
                        {"folder", shot},
                        {"files", list},
                        {"error", error ? "no shot " + shot : ""}});
    }

    const AgentOptions& options;
    const ConnectedCameras& cameras;
    const std::string httpUrl;
    CommandQueue queue;
    // Set once connected; a ping that arrives before is left for the next round.
    std::atomic<MqttClient*> mqtt{nullptr};
};

// The address others reach the files at: the listening address, or this host's name when it
// listens on every interface.
std::string advertisedUrl(const AgentOptions& options, const serve::ListenAddress& address,
                          int port) {
    if (!options.advertise.empty()) {
        return options.advertise;
    }
    std::string host = address.host;
    if (host == "0.0.0.0" || host == "::" || host.empty()) {
        host = hostName();
    }
    return "http://" + (host.find(':') == std::string::npos ? host : "[" + host + "]") + ":" +
           std::to_string(port);
}

void runAgent(Context& context, AgentOptions options) {
    checkTopicName("--rig", options.rig);
    if (options.id.empty()) {
        options.id = hostName();
    }
    checkTopicName("--id", options.id);
    brokerOptionsOf(options.broker);
    const ConnectedCameras cameras(context.detect(), options.serials);
    for (const auto& failure : cameras.failures()) {
        context.out().note("camctl: " + failure.serial + ": connect: " + failure.error);
    }
    if (cameras.cameras().empty()) {
        throw CameraError("NoCamera", "no camera connected");
    }
    fs::create_directories(options.out);
    serve::ServerConfig config;
    config.address = serve::parseListenAddress(options.listen);
    config.token = options.token;
    // The web server also offers the first camera's own page and API, as `camctl serve` does.
    serve::WebServer server(cameras.cameras().front(), config);
    server.addRoutes([&](httplib::Server& http) { addShotFileRoutes(http, options.out); });
    const int port = server.start();
    Agent agent(options, cameras, advertisedUrl(options, config.address, port));
    agent.run(context.out());
    server.stop();
}

}  // namespace

void addAgentCommand(CLI::App& app, CommandSet& commands) {
    auto options = std::make_shared<AgentOptions>();
    auto* cmd = app.add_subcommand("agent", "Offer this host's cameras to a rig on an MQTT broker");
    addBrokerOptions(cmd, options->broker);
    cmd->add_option("--rig", options->rig, "Name of the rig")->required();
    cmd->add_option("--id", options->id, "Name of this agent in the rig (default: host name)");
    cmd->add_option("--camera", options->serials,
                    "Serial number of a camera to offer; repeatable (default: every camera)");
    cmd->add_option("--out", options->out, "Folder for the shot folders (default rig-shots)");
    cmd->add_option("--listen", options->listen,
                    "ADDR:PORT of the HTTP face that serves the files (default 127.0.0.1:0)");
    cmd->add_option("--advertise", options->advertise,
                    "URL under which the coordinator reaches the HTTP face");
    cmd->add_option("--token", options->token,
                    "Token every HTTP request must carry (needed for addresses but loopback)");
    commands.add(cmd, [options](Context& context) { runAgent(context, *options); });
}

}  // namespace camctl::rig
