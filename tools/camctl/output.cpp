#include "output.hpp"

#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace camctl {

namespace {
int resultsFd = STDOUT_FILENO;
}

void Output::divertProcessStdout() {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (saved < 0) {
        return;  // keep writing to fd 1; mixed output is better than none
    }
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        close(saved);
        return;
    }
    resultsFd = saved;
}

void Output::line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    writeAll(resultsFd, text + "\n");
}

void Output::document(const Json& value) {
    std::lock_guard<std::mutex> lock(mutex);
    writeAll(resultsFd, value.dump() + "\n");
}

void Output::note(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    writeAll(STDERR_FILENO, text + "\n");
}

void Output::writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;  // a closed pipe: nothing sensible left to do with the output
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace camctl
