// Many hosts simulated on this machine: a mosquitto broker, three agents with four camemu
// cameras each, and the coordinator. Every file collected must be the bytes the emulators
// served; an agent killed during a run shows offline while the others' shots complete.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/background_process.hpp"
#include "support/eventually.hpp"

namespace {

namespace fs = std::filesystem;
using namespace Corvane::CameraController::Testing;
using json = nlohmann::json;

constexpr int kAgents = 3;
constexpr int kCamerasPerAgent = 4;
constexpr int kShots = 20;

const char* const kBroker = "/usr/sbin/mosquitto";

// A port the kernel just handed out; the broker binds it a moment later.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string contentsOf(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<json> shotDocuments(const std::string& output) {
    std::vector<json> shots;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        json document = json::parse(line, nullptr, false);
        if (document.is_object() && document.contains("shot")) {
            shots.push_back(std::move(document));
        }
    }
    return shots;
}

std::string serialOf(int agent, int camera) {
    return "R" + std::to_string(agent) + std::to_string(camera);
}

class RigBrokerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access(kBroker, X_OK) != 0) {
            GTEST_SKIP() << "mosquitto is not installed (scripts/setup installs it)";
        }
        root = fs::temp_directory_path() / ("rig-broker-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        port = freePort();
        std::ofstream(root / "mosquitto.conf")
            << "listener " << port << " 127.0.0.1\nallow_anonymous true\nset_tcp_nodelay true\n";
        broker = std::make_unique<BackgroundProcess>(
            kBroker, std::vector<std::string>{"-c", (root / "mosquitto.conf").string()},
            std::vector<std::string>{}, (root / "broker.log").string());
        // It logs that it runs once its listener is open.
        ASSERT_TRUE(eventually([&] {
            return contentsOf(root / "broker.log").find(" running") != std::string::npos;
        })) << contentsOf(root / "broker.log");
        for (int agent = 1; agent <= kAgents; ++agent) {
            startAgent(agent);
        }
    }

    void TearDown() override {
        agents.clear();
        cameras.clear();
        broker.reset();
        if (!HasFailure()) {
            fs::remove_all(root);
        }
    }

    void startAgent(int agent) {
        std::string sockets;
        for (int camera = 1; camera <= kCamerasPerAgent; ++camera) {
            const std::string serial = serialOf(agent, camera);
            const std::string socket = (root / (serial + ".sock")).string();
            cameras.push_back(std::make_unique<BackgroundProcess>(
                CAMEMU_PATH,
                std::vector<std::string>{"--socket", socket, "--serial", serial, "--time-scale",
                                         "0.01", "--record-dir", (root / serial).string()}));
            ASSERT_TRUE(eventually([&] { return fs::exists(socket); })) << serial;
            sockets += (sockets.empty() ? "" : ":") + socket;
        }
        const std::string id = "a" + std::to_string(agent);
        agents.push_back(std::make_unique<BackgroundProcess>(
            CAMCTL_PATH,
            std::vector<std::string>{"agent", "--broker", url(), "--rig", "testrig", "--id", id,
                                     "--out", (root / id).string()},
            std::vector<std::string>{"CORVANE_CAMEMU_SOCKET=" + sockets},
            (root / (id + ".log")).string()));
    }

    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port); }

    ProcessResult shoot(int shots, const fs::path& out,
                        const std::function<bool(int)>& whileRunning = {}) {
        return runProcess(CAMCTL_PATH,
                          {"rig", "--broker", url(), "testrig", "shoot", "--shots",
                           std::to_string(shots), "--agents", std::to_string(kAgents), "--wait",
                           "20", "--lead", "0.15", "--out", out.string(), "--json"},
                          std::chrono::seconds(90), whileRunning);
    }

    fs::path root;
    int port = 0;
    std::unique_ptr<BackgroundProcess> broker;
    std::vector<std::unique_ptr<BackgroundProcess>> cameras;
    std::vector<std::unique_ptr<BackgroundProcess>> agents;
};

TEST_F(RigBrokerTest, TwentyShotsOfTwelveCamerasThenAnAgentKilledMidRun) {
    const auto run = shoot(kShots, root / "collected");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const auto shots = shotDocuments(run.out);
    ASSERT_EQ(shots.size(), static_cast<size_t>(kShots)) << run.out;
    for (const auto& shot : shots) {
        EXPECT_TRUE(shot["complete"].get<bool>()) << shot.dump();
        EXPECT_EQ(shot["cameras"].size(), static_cast<size_t>(kAgents * kCamerasPerAgent));
    }

    // A shot's files can be collected again from the agents' disks.
    const std::string firstShot = shots.front()["shot"];
    const auto again =
        runProcess(CAMCTL_PATH,
                   {"rig", "--broker", url(), "testrig", "collect", firstShot, "--agents",
                    std::to_string(kAgents), "--out", (root / "again").string()},
                   std::chrono::seconds(30));
    ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
    size_t collectedAgain = 0;
    for (const auto& entry : fs::directory_iterator(root / "again" / firstShot)) {
        EXPECT_EQ(contentsOf(entry.path()),
                  contentsOf(root / "collected" / firstShot / entry.path().filename()));
        ++collectedAgain;
    }
    EXPECT_EQ(collectedAgain, static_cast<size_t>(kAgents * kCamerasPerAgent));

    // The third agent dies once the first shot of another run is collected.
    const fs::path second = root / "second";
    bool killed = false;
    const auto degraded = shoot(4, second, [&](int) {
        std::error_code none;
        if (fs::exists(second, none) &&
            fs::directory_iterator(second, none) != fs::directory_iterator()) {
            agents[2]->stop(SIGKILL, std::chrono::seconds(5));
            killed = true;
        }
        return killed;
    });
    ASSERT_TRUE(killed) << degraded.out << degraded.err;
    EXPECT_EQ(degraded.exitCode, 1) << "a lost agent must not read as success";
    const auto degradedShots = shotDocuments(degraded.out);
    ASSERT_EQ(degradedShots.size(), 4u) << degraded.out << degraded.err;
    const json& last = degradedShots.back();
    EXPECT_EQ(last["agents"]["a3"]["state"], "offline") << last.dump();
    EXPECT_EQ(last["cameras"].size(), static_cast<size_t>(2 * kCamerasPerAgent));
    for (const auto& camera : last["cameras"]) {
        EXPECT_TRUE(camera["errors"].empty()) << camera.dump();
        EXPECT_EQ(camera["files"].size(), 1u) << camera.dump();
    }

    // The cameras write what they served and when each release arrived as they end.
    for (int agent = 0; agent < kAgents - 1; ++agent) {
        EXPECT_EQ(agents[agent]->stop(), 0) << "agent " << agent + 1 << " did not end cleanly";
    }
    for (auto& camera : cameras) {
        EXPECT_EQ(camera->stop(), 0) << "a camera did not write its record";
    }
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root / "collected")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        const auto underscore = name.find('_');
        ASSERT_NE(underscore, std::string::npos) << name;
        const fs::path served = root / name.substr(0, underscore) / name.substr(underscore + 1);
        ASSERT_TRUE(fs::exists(served)) << served;
        EXPECT_EQ(contentsOf(entry.path()), contentsOf(served)) << name;
        ++files;
    }
    EXPECT_EQ(files, static_cast<size_t>(kShots * kAgents * kCamerasPerAgent));

    // The n-th release of every camera belongs to shot n of the first run.
    std::vector<std::vector<int64_t>> releases;
    for (int agent = 1; agent <= kAgents; ++agent) {
        for (int camera = 1; camera <= kCamerasPerAgent; ++camera) {
            std::ifstream log(root / serialOf(agent, camera) / "releases");
            releases.emplace_back(std::istream_iterator<int64_t>(log),
                                  std::istream_iterator<int64_t>());
            ASSERT_GE(releases.back().size(), static_cast<size_t>(kShots));
        }
    }
    std::vector<double> receivedSpreads;
    for (int shot = 0; shot < kShots; ++shot) {
        int64_t first = INT64_MAX;
        int64_t latest = INT64_MIN;
        for (const auto& camera : releases) {
            first = std::min(first, camera[shot]);
            latest = std::max(latest, camera[shot]);
        }
        receivedSpreads.push_back(static_cast<double>(latest - first) / 1e6);
    }
    std::sort(receivedSpreads.begin(), receivedSpreads.end());
    std::printf("Release spread across %d cameras over %d shots: median %.3f ms, worst %.3f ms\n",
                kAgents * kCamerasPerAgent, kShots, receivedSpreads[kShots / 2],
                receivedSpreads.back());
}

}  // namespace
