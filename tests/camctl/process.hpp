// Runs a program with arguments and collects its exit code and output, for end-to-end tests.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace camctl::test {

struct ProcessResult {
    int exitCode = -1;  ///< -1 when the process was ended by a signal
    int signal = 0;     ///< the signal that ended it, if any
    std::string out;    ///< standard output
    std::string err;    ///< standard error
};

/// Runs `program` with `arguments`, standard input closed. Kills it after `timeout`.
/// `whileRunning`, when given, is called every 10 ms with the child's pid; it returns true once
/// it has done what it wanted (it is not called again after that).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         std::chrono::milliseconds timeout = std::chrono::seconds(120),
                         const std::function<bool(int pid)>& whileRunning = {});

}  // namespace camctl::test
