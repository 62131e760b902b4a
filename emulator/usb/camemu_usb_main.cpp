// camemu-usb: runs a program with an emulated camera plugged into an emulated USB bus.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "camemu_usb_options.hpp"

using namespace Corvane::CameraController::Emulator;
using namespace Corvane::CameraController::Emulator::Usb;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr auto kKillGrace = std::chrono::seconds(5);

// Set by SIGINT/SIGTERM: passed on to the program, so that camemu-usb still removes its
// testbed when it is interrupted.
volatile sig_atomic_t interrupted = 0;

void onSignal(int) {
    interrupted = 1;
}

pid_t startCommand(const UsbCameraHost& host, const std::vector<std::string>& command) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    for (const auto& [name, value] : host.environment()) {
        std::string merged = value;
        const char* old = std::getenv(name.c_str());
        if (name == "LD_PRELOAD" && old != nullptr && *old != '\0') {
            merged += ":" + std::string(old);
        }
        setenv(name.c_str(), merged.c_str(), 1);
    }
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::perror(argv[0]);
    _exit(127);
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

/// Waits for the program while following the plug schedule; stops it at the deadline.
int supervise(UsbCameraHost& host, pid_t pid, const CamemuUsbOptions& options) {
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(options.timeoutSeconds);
    std::optional<Clock::time_point> unplugAt;
    std::optional<Clock::time_point> replugAt;
    if (options.unplugAfterMs) {
        unplugAt = start + std::chrono::milliseconds(*options.unplugAfterMs);
    }
    bool killed = false;
    bool timedOut = false;
    auto killedAt = Clock::time_point::max();
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return timedOut ? 124 : exitCodeOf(status);
        }
        if (done < 0) {
            std::perror("waitpid");
            return 1;
        }
        const auto now = Clock::now();
        if (unplugAt && now >= *unplugAt) {
            std::fprintf(stderr, "camemu-usb: unplugging the camera\n");
            host.unplug();
            unplugAt.reset();
            if (options.replugAfterMs) {
                replugAt = now + std::chrono::milliseconds(*options.replugAfterMs);
            }
        }
        if (replugAt && now >= *replugAt) {
            host.replug();
            std::fprintf(stderr, "camemu-usb: camera plugged back in on %s\n",
                         host.deviceNode().c_str());
            replugAt.reset();
        }
        host.sync();
        if (interrupted != 0 && !killed) {
            kill(pid, SIGTERM);
            killed = true;
            killedAt = now;
        }
        if (!killed && now >= deadline) {
            std::fprintf(stderr, "camemu-usb: %s ran longer than %u s, stopping it\n",
                         options.command[0].c_str(), options.timeoutSeconds);
            kill(pid, SIGTERM);
            killed = true;
            timedOut = true;
            killedAt = now;
        }
        if (killed && now >= killedAt + kKillGrace) {
            kill(pid, SIGKILL);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!UsbCameraHost::enterMockEnvironment(argv)) {
        std::fprintf(stderr,
                     "camemu-usb: cannot preload libumockdev-preload.so.0 (install umockdev)\n");
        return 1;
    }
    std::string error;
    const auto options =
        parseCamemuUsbOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fputs(camemuUsbUsage(), error.empty() ? stdout : stderr);
        if (!error.empty()) {
            std::fprintf(stderr, "camemu-usb: %s\n", error.c_str());
        }
        return error.empty() ? 0 : 2;
    }
    auto camera = EmulatedCamera::create(options->camera);
    auto host = UsbCameraHost::create(camera, options->host, &error);
    if (!host) {
        std::fprintf(stderr, "camemu-usb: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "camemu-usb: %s on %s (UMOCKDEV_DIR=%s)\n", camera->model().c_str(),
                 host->deviceNode().c_str(), host->rootDir().c_str());
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const pid_t pid = startCommand(*host, options->command);
    if (pid < 0) {
        std::perror("fork");
        return 1;
    }
    return supervise(*host, pid, *options);
}
