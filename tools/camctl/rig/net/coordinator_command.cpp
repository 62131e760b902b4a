// rig: drive every agent of a rig through the broker; shots are fetched over the agents' HTTP.
#include <cstdio>
#include <ctime>
#include <fstream>

#include <httplib.h>

#include "errors.hpp"
#include "interrupt.hpp"
#include "rig/camera_rig.hpp"
#include "rig/net/agent_file_routes.hpp"
#include "rig/net/rig_cli.hpp"
#include "rig/net/rig_coordinator.hpp"
#include "rig/rig_cameras.hpp"
#include "serve/api_json.hpp"

namespace camctl::rig {

namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

struct CoordinatorOptions {
    BrokerCli broker;
    std::string rig;
    std::string command;
    std::vector<std::string> arguments;
    unsigned shots = 1;
    std::string out = ".";
    std::string token;
    unsigned agents = 0;
    double wait = 10;
    double lead = 0.3;
    double fileTimeout = 60;
    bool focus = false;
};

constexpr std::chrono::seconds kReplyLimit{15};
constexpr int kClockRounds = 5;

std::chrono::milliseconds millisOf(double seconds) {
    return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0));
}

std::string millisText(int64_t nanoseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(nanoseconds) / 1e6);
    return text;
}

std::set<std::string> onlineOf(const std::map<std::string, AgentPresence>& presences) {
    std::set<std::string> names;
    for (const auto& [name, presence] : presences) {
        if (presence.state == "online") {
            names.insert(name);
        }
    }
    return names;
}

// Fetches one file over the agent's HTTP face into `folder`, through a temporary name, and
// checks it is as long as the agent said. Returns an error text, empty on success.
std::string fetchFile(const std::string& baseUrl, const std::string& token, const std::string& shot,
                      const std::string& name, uint64_t bytes, const fs::path& folder) {
    if (!isServableName(name)) {
        return name + ": not a name this rig serves";
    }
    httplib::Client http(baseUrl);
    http.set_connection_timeout(5);
    http.set_read_timeout(30);
    if (!token.empty()) {
        http.set_bearer_token_auth(token.c_str());
    }
    const fs::path target = folder / name;
    const fs::path partial = folder / ("." + name + ".part");
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    uint64_t written = 0;
    const auto result = http.Get(("/api/rig/files/" + shot + "/" + name).c_str(),
                                 [&](const char* data, size_t length) {
                                     file.write(data, static_cast<std::streamsize>(length));
                                     written += length;
                                     return static_cast<bool>(file) && !interrupted();
                                 });
    file.close();
    std::string error;
    if (!result) {
        error = "cannot fetch from " + baseUrl + ": " + httplib::to_string(result.error());
    } else if (result->status != 200) {
        error = "the agent answered HTTP " + std::to_string(result->status);
    } else if (!file || written != bytes) {
        error = "got " + std::to_string(written) + " of " + std::to_string(bytes) + " bytes";
    }
    std::error_code ignored;
    if (!error.empty()) {
        fs::remove(partial, ignored);
        return name + ": " + error;
    }
    fs::rename(partial, target);
    return {};
}

// "YYYYMMDD-HHMMSS-mmm" in UTC.
std::string utcStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    char withMillis[40];
    std::snprintf(withMillis, sizeof withMillis, "%s-%03d", text, static_cast<int>(millis));
    return withMillis;
}

class Coordinator {
public:
    Coordinator(Context& context, const CoordinatorOptions& options)
        : out(context.out()),
          options(options),
          rig(brokerOptionsOf(options.broker), options.rig),
          known(
              rig.agents(options.command == "list" ? options.agents : std::max(options.agents, 1u),
                         millisOf(options.wait))),
          online(onlineOf(known)) {
        // Listing also shows agents that are offline; the other commands need someone to do them.
        const size_t needed = std::max<size_t>(options.agents, options.command == "list" ? 0 : 1);
        if (online.size() < needed) {
            throw CameraError("NoAgent", std::to_string(online.size()) + " of " +
                                             std::to_string(needed) + " agents online in rig " +
                                             options.rig);
        }
    }

    void list() {
        json documents = json::array();
        for (const auto& [name, presence] : known) {
            if (out.json()) {
                out.document(Json::object()
                                 .set("agent", name)
                                 .set("state", presence.state)
                                 .set("http", presence.http));
            } else {
                out.line(name + "  " + presence.state + "  " + presence.http);
            }
            for (const auto& camera : presence.cameras) {
                if (!out.json()) {
                    out.line("  " + camera.value("serial", "?") + "  " +
                             camera.value("model", "?"));
                }
            }
        }
    }

    bool set(const std::vector<std::string>& assignments) {
        checkAssignments(assignments);
        const auto answers =
            rig.request({{"command", "set"}, {"settings", assignments}}, online, kReplyLimit);
        bool allWell = true;
        for (const auto& agent : online) {
            const auto found = answers.find(agent);
            if (found == answers.end()) {
                out.line(agent + ": no answer" + (rig.online(agent) ? "" : " (offline)"));
                allWell = false;
                continue;
            }
            for (const auto& failure : found->second.value("failures", json::array())) {
                out.line(agent + ": " + failure.value("serial", "?") + ": " +
                         failure.value("error", ""));
                allWell = false;
            }
            if (!found->second.value("ok", false) && found->second.contains("error")) {
                out.line(agent + ": " + found->second.value("error", ""));
                allWell = false;
            }
        }
        return allWell;
    }

    bool shoot(unsigned number) {
        // Named by the run's start as well, so that a later run never meets an earlier run's
        // folders on the agents.
        char name[64];
        std::snprintf(name, sizeof name, "shot-%s-%04u", runStamp.c_str(), number);
        const auto offsets = rig.compareClocks(online, kClockRounds);
        json offsetsJson = json::object();
        for (const auto& [agent, clock] : offsets) {
            offsetsJson[agent] = clock.offset;
        }
        const int64_t at = wallClockNs() + millisOf(options.lead).count() * 1000000;
        const auto limit = millisOf(options.wait + options.fileTimeout) + kReplyLimit;
        const auto answers = rig.request({{"command", "shot"},
                                          {"shot", name},
                                          {"at", at},
                                          {"focus", options.focus},
                                          {"prepareMs", millisOf(options.wait).count()},
                                          {"fileTimeoutMs", millisOf(options.fileTimeout).count()},
                                          {"offsets", offsetsJson}},
                                         online, limit);
        return report(name, offsets, answers);
    }

    bool collectAgain(const std::string& shot) {
        if (!isServableName(shot)) {
            throw UsageError(
                "collect wants the name of a shot, e.g. shot-20260101-120000-000-0001");
        }
        const auto answers =
            rig.request({{"command", "files"}, {"shot", shot}}, online, kReplyLimit);
        const std::vector<std::string> agents(online.begin(), online.end());
        std::vector<std::vector<std::string>> errors(agents.size());
        std::vector<size_t> fetched(agents.size(), 0);
        const fs::path folder = fs::path(options.out) / shot;
        fs::create_directories(folder);
        forEachInParallel(agents.size(), [&](size_t i) {
            const auto found = answers.find(agents[i]);
            if (found == answers.end() || !found->second.value("ok", false)) {
                errors[i].push_back(
                    found == answers.end() ? "no answer" : found->second.value("error", "failed"));
                return;
            }
            for (const auto& file : found->second.value("files", json::array())) {
                const std::string error =
                    fetchFile(known[agents[i]].http, options.token, shot, file.value("name", ""),
                              file.value("bytes", uint64_t{0}), folder);
                if (error.empty()) {
                    ++fetched[i];
                } else {
                    errors[i].push_back(error);
                }
            }
        });
        bool allWell = true;
        for (size_t i = 0; i < agents.size(); ++i) {
            out.line(agents[i] + ": " + std::to_string(fetched[i]) + " files into " +
                     folder.string());
            for (const auto& error : errors[i]) {
                out.line("  " + error);
                allWell = false;
            }
        }
        return allWell;
    }

private:
    struct AgentShot {
        json cameras = json::array();
        std::vector<std::string> errors;
    };

    AgentShot collect(const std::string& shot, const std::string& agent,
                      const std::map<std::string, json>& answers) {
        AgentShot result;
        const auto found = answers.find(agent);
        if (found == answers.end()) {
            result.errors.push_back(rig.online(agent) ? "no answer" : "offline");
            return result;
        }
        const json& answer = found->second;
        if (!answer.value("ok", false)) {
            result.errors.push_back(answer.value("error", "failed"));
            return result;
        }
        const fs::path folder = fs::path(options.out) / shot;
        fs::create_directories(folder);
        const std::string http = known[agent].http;
        for (json camera : answer.value("cameras", json::array())) {
            camera["agent"] = agent;
            for (auto& file : camera["files"]) {
                const std::string error =
                    fetchFile(http, options.token, answer.value("folder", shot),
                              file.value("name", ""), file.value("bytes", uint64_t{0}), folder);
                if (error.empty()) {
                    file["path"] = (folder / file.value("name", "")).string();
                } else {
                    camera["errors"].push_back(error);
                }
            }
            result.cameras.push_back(std::move(camera));
        }
        return result;
    }

    bool report(const std::string& shot, const std::map<std::string, ClockOffset>& offsets,
                const std::map<std::string, json>& answers) {
        std::vector<AgentShot> perAgent(online.size());
        const std::vector<std::string> agents(online.begin(), online.end());
        forEachInParallel(agents.size(),
                          [&](size_t i) { perAgent[i] = collect(shot, agents[i], answers); });
        json cameras = json::array();
        json agentsJson = json::object();
        std::vector<WallClock::time_point> releases;
        bool complete = true;
        size_t files = 0;
        for (size_t i = 0; i < agents.size(); ++i) {
            const auto clock = offsets.find(agents[i]);
            json agentJson = {{"state", rig.online(agents[i]) ? "online" : "offline"},
                              {"errors", perAgent[i].errors}};
            if (clock != offsets.end()) {
                agentJson["offsetNs"] = clock->second.offset;
                agentJson["roundTripNs"] = clock->second.roundTrip;
            }
            agentsJson[agents[i]] = agentJson;
            complete = complete && perAgent[i].errors.empty();
            for (const auto& camera : perAgent[i].cameras) {
                if (camera["releaseNs"].is_number_integer()) {
                    releases.emplace_back(std::chrono::duration_cast<WallClock::duration>(
                        std::chrono::nanoseconds(camera["releaseNs"].get<int64_t>())));
                }
                files += camera["files"].size();
                complete = complete && camera["errors"].empty() && !camera["files"].empty() &&
                           camera["releaseNs"].is_number_integer();
                cameras.push_back(camera);
            }
        }
        const auto spread = spreadOf(releases);
        if (out.json()) {
            json document = {{"shot", shot},
                             {"complete", complete},
                             {"spreadNs", spread ? json(spread->count()) : json()},
                             {"agents", agentsJson},
                             {"cameras", cameras}};
            out.line(serve::dumpJson(document));
            return complete;
        }
        out.line("Shot " + shot + ": " + std::to_string(releases.size()) + " cameras released, " +
                 std::to_string(files) + " files collected" +
                 (spread ? ", release spread " + millisText(spread->count()) : ""));
        for (const auto& [agent, agentJson] : agentsJson.items()) {
            std::string line = "  agent " + agent + " " + agentJson.value("state", "");
            if (agentJson.contains("offsetNs")) {
                line += ", clock offset " + millisText(agentJson["offsetNs"].get<int64_t>()) +
                        " (round trip " + millisText(agentJson["roundTripNs"].get<int64_t>()) + ")";
            }
            for (const auto& error : agentJson["errors"]) {
                line += ", " + error.get<std::string>();
            }
            out.line(line);
        }
        for (const auto& camera : cameras) {
            for (const auto& error : camera["errors"]) {
                out.line("  " + camera.value("serial", "?") + ": " + error.get<std::string>());
            }
        }
        return complete;
    }

    Output& out;
    const CoordinatorOptions& options;
    RigCoordinator rig;
    std::map<std::string, AgentPresence> known;
    const std::set<std::string> online;
    const std::string runStamp = utcStamp();
};

void runCoordinator(Context& context, const CoordinatorOptions& options) {
    checkTopicName("rig name", options.rig);
    Coordinator coordinator(context, options);
    bool allWell = true;
    if (options.command == "list") {
        coordinator.list();
    } else if (options.command == "set") {
        if (options.arguments.empty()) {
            throw UsageError("set wants NAME=VALUE ...");
        }
        allWell = coordinator.set(options.arguments);
    } else if (options.command == "shoot") {
        for (unsigned number = 1; number <= options.shots; ++number) {
            throwIfInterrupted();
            allWell = coordinator.shoot(number) && allWell;
        }
    } else if (options.command == "collect") {
        if (options.arguments.size() != 1) {
            throw UsageError("collect wants the name of one shot");
        }
        allWell = coordinator.collectAgain(options.arguments.front());
    } else {
        throw UsageError("rig commands: list, set NAME=VALUE..., shoot, collect SHOT");
    }
    if (!allWell) {
        throw ReportedFailure();
    }
}

}  // namespace

void addCoordinatorCommand(CLI::App& app, CommandSet& commands) {
    auto options = std::make_shared<CoordinatorOptions>();
    auto* cmd = app.add_subcommand("rig", "Drive the agents of a rig: list, set, shoot, collect");
    addBrokerOptions(cmd, options->broker);
    cmd->add_option("name", options->rig, "Name of the rig")->required();
    cmd->add_option("command", options->command, "list | set NAME=VALUE... | shoot | collect SHOT")
        ->required();
    cmd->add_option("arguments", options->arguments, "Settings for set; the shot for collect");
    cmd->add_option("--shots", options->shots, "shoot: number of shots (default 1)")
        ->check(CLI::Range(1u, 100000u));
    cmd->add_option("--out", options->out, "shoot: folder for the shot folders (default .)");
    cmd->add_option("--token", options->token, "Token of the agents' HTTP faces");
    cmd->add_option("--agents", options->agents,
                    "Wait for at least this many agents to be online (default: one)");
    cmd->add_option("--wait", options->wait,
                    "Seconds to wait for the agents, and for cameras to be ready (default 10)")
        ->check(CLI::Range(0.0, 3600.0));
    cmd->add_option("--lead", options->lead,
                    "shoot: seconds between scheduling a shot and its release (default 0.3)")
        ->check(CLI::Range(0.05, 60.0));
    cmd->add_option("--file-timeout", options->fileTimeout,
                    "shoot: seconds a camera's files get to arrive (default 60)")
        ->check(CLI::Range(0.1, 3600.0));
    cmd->add_flag("--focus", options->focus, "shoot: focus every camera before each release");
    commands.add(cmd, [options](Context& context) { runCoordinator(context, *options); });
}

}  // namespace camctl::rig
