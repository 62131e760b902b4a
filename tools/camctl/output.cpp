#include "output.hpp"

#include "corvane/camera_controller/diagnostics.hpp"

#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace camctl {

void Output::sendLibraryDiagnosticsToStderr() {
    Corvane::CameraController::Diagnostics::setCallback(
        [](Corvane::CameraController::DiagnosticLevel, const std::string& line) {
            writeAll(STDERR_FILENO, line + "\n");
        });
}

void Output::line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    writeAll(STDOUT_FILENO, text + "\n");
}

void Output::document(const Json& value) {
    std::lock_guard<std::mutex> lock(mutex);
    writeAll(STDOUT_FILENO, value.dump() + "\n");
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
