// Programs run from a test (POSIX): to their end with the output collected (runProcess), or
// kept running beside the test and ended with it, however it ends (BackgroundProcess).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

/// The exit code of a waitpid() status, or -1 when a signal ended the process.
inline int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ProcessResult {
    int exitCode = -1;  ///< -1 when the process was ended by a signal
    int signal = 0;     ///< the signal that ended it, if any
    std::string out;    ///< standard output
    std::string err;    ///< standard error
};

/// Runs `program` with `arguments` to its end and collects both outputs; kills it after
/// `timeout`. `whileRunning`, when given, is called every 10 ms with the child's pid until it
/// returns true (it has done what it wanted).
inline ProcessResult runProcess(const std::string& program,
                                const std::vector<std::string>& arguments,
                                std::chrono::milliseconds timeout = std::chrono::seconds(120),
                                const std::function<bool(int pid)>& whileRunning = {}) {
    ProcessResult result;
    int pipes[2][2];
    if (::pipe2(pipes[0], O_CLOEXEC) != 0 || ::pipe2(pipes[1], O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipes[0][1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipes[1][1], STDERR_FILENO);
    const pid_t pid = spawnProcess(program, arguments, actions);
    ::close(pipes[0][1]);
    ::close(pipes[1][1]);
    std::string* into[2] = {&result.out, &result.err};
    bool open[2] = {pid > 0, pid > 0};
    if (pid <= 0) {
        result.err = "cannot start " + program;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool helperDone = !whileRunning;
    while (open[0] || open[1]) {
        pollfd fds[2] = {{pipes[0][0], POLLIN, 0}, {pipes[1][0], POLLIN, 0}};
        ::poll(fds, 2, 10);
        for (int i = 0; i < 2; ++i) {
            if (open[i] && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buffer[65536];
                const ssize_t n = ::read(pipes[i][0], buffer, sizeof buffer);
                if (n > 0) {
                    into[i]->append(buffer, static_cast<size_t>(n));
                } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                    open[i] = false;
                }
            }
        }
        if (!helperDone) {
            helperDone = whileRunning(pid);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            break;
        }
    }
    ::close(pipes[0][0]);
    ::close(pipes[1][0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
        result.exitCode = exitCodeOf(status);
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
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
        status = raw != -1 ? exitCodeOf(raw) : -1;
        child = -1;
        return status;
    }

private:
    pid_t child = -1;
    int status = -1;
};

}  // namespace Corvane::CameraController::Testing
