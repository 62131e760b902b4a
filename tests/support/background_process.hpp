// A helper program (a broker, an emulated camera, an agent) running beside a test, ended when
// the test is done however it ends.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace Corvane::CameraController::Testing {

class BackgroundProcess {
public:
    /// Starts `program` with `arguments`, the test's environment plus `extraEnvironment`
    /// ("NAME=VALUE"), standard input closed and both outputs appended to `log`.
    BackgroundProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& extraEnvironment = {},
                      const std::string& log = "/dev/null") {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<char*> envp(extraEnvironment.size());
        for (size_t i = 0; i < extraEnvironment.size(); ++i) {
            envp[i] = const_cast<char*>(extraEnvironment[i].c_str());
        }
        for (char** entry = environ; *entry != nullptr; ++entry) {
            envp.push_back(*entry);  // later duplicates lose: getenv takes the first
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data()) !=
            0) {
            child = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~BackgroundProcess() { stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool started() const { return child > 0; }
    pid_t pid() const { return child; }

    /// Sends `signal` and waits up to `grace` for the end, then kills. Returns the exit code,
    /// or -1 when the program did not end by itself.
    int stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(15)) {
        if (child <= 0) {
            return status;
        }
        ::kill(child, signal);
        const auto deadline = std::chrono::steady_clock::now() + grace;
        int raw = 0;
        while (::waitpid(child, &raw, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &raw, 0);
                raw = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        child = -1;
        return status;
    }

private:
    pid_t child = -1;
    int status = -1;
};

}  // namespace Corvane::CameraController::Testing
