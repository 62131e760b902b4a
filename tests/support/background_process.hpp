// Programs run from a test (POSIX): to their end with the output collected (runProcess), or
// kept running beside the test and ended with it, however it ends (BackgroundProcess).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace Corvane::CameraController::Testing {

/// Starts `program` with the test's environment plus `extraEnvironment` ("NAME=VALUE") and
/// standard input closed; `actions` place the outputs. SIGINT, SIGTERM and SIGHUP start with
/// their default handling even when whatever ran the tests ignored them. Returns the pid or -1.
inline pid_t spawnProcess(const std::string& program, const std::vector<std::string>& arguments,
                          posix_spawn_file_actions_t& actions,
                          const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : extraEnvironment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    for (char** entry = environ; *entry != nullptr; ++entry) {
        envp.push_back(*entry);  // later duplicates lose: getenv takes the first
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct ProcessResult {
    int exitCode = -1;  ///< -1 when the process was ended by a signal
    int signal = 0;     ///< the signal that ended it, if any
    std::string out;    ///< standard output
    std::string err;    ///< standard error
};

/// Waits for `pid` to end, calling `whileRunning` every 10 ms until it returns true; kills the
/// process at `deadline`. Returns whether it ended by itself; `status` is waitpid()'s.
inline bool awaitExit(pid_t pid, std::chrono::steady_clock::time_point deadline, int& status,
                      const std::function<bool(int pid)>& whileRunning = {}) {
    bool helperDone = !whileRunning;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (!helperDone) {
            helperDone = whileRunning(pid);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

/// Everything written to `file`, from its start; closes it.
inline std::string readAndClose(FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

/// Runs `program` with `arguments` to its end and collects both outputs; kills it after
/// `timeout`. `whileRunning`, when given, is called every 10 ms with the child's pid until it
/// returns true (it has done what it wanted).
inline ProcessResult runProcess(const std::string& program,
                                const std::vector<std::string>& arguments,
                                std::chrono::milliseconds timeout = std::chrono::seconds(120),
                                const std::function<bool(int pid)>& whileRunning = {}) {
    // Unlinked temporary files rather than pipes: nothing has to be read while it runs.
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) {
        for (FILE* file : {out, err}) {
            if (file != nullptr) {
                std::fclose(file);
            }
        }
        return ProcessResult{-1, 0, "", "cannot capture the output of " + program};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
    const pid_t pid = spawnProcess(program, arguments, actions);
    int status = -1;  // neither exited nor signalled, should waitpid fail
    if (pid > 0) {
        awaitExit(pid, std::chrono::steady_clock::now() + timeout, status, whileRunning);
    }
    ProcessResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                         WIFSIGNALED(status) ? WTERMSIG(status) : 0, readAndClose(out),
                         readAndClose(err)};
    if (pid <= 0) {
        result.err = "cannot start " + program;
    }
    return result;
}

class BackgroundProcess {
public:
    /// Starts `program` (see spawnProcess) with both outputs appended to `log`.
    BackgroundProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& extraEnvironment = {},
                      const std::string& log = "/dev/null") {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        child = spawnProcess(program, arguments, actions, extraEnvironment);
    }
    ~BackgroundProcess() { stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t pid() const { return child; }

    /// Sends `signal` and waits up to `grace` for the end, then kills. Returns the exit code,
    /// or -1 when the program did not end by itself.
    int stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(15)) {
        if (child <= 0) {
            return status;
        }
        ::kill(child, signal);
        int raw = -1;
        const bool ended = awaitExit(child, std::chrono::steady_clock::now() + grace, raw);
        status = ended && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        child = -1;
        return status;
    }

private:
    pid_t child = -1;
    int status = -1;
};

}  // namespace Corvane::CameraController::Testing
