#include "common/diagnostics.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace Corvane::CameraController {
namespace Impl {
namespace {

struct Sinks {
    std::mutex mutex;
    DiagnosticSink test;
    DiagnosticCallback application;
};

Sinks& sinks() {
    static Sinks instance;
    return instance;
}

/// The stream CORVANE_LOG names, read once.
std::FILE* defaultStream() {
    static std::FILE* const stream = diagnosticStreamNamed(std::getenv("CORVANE_LOG"));
    return stream;
}

void writeToStream(const std::string& line) {
    std::FILE* const stream = defaultStream();
    if (stream == nullptr) {
        return;
    }
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

std::FILE* diagnosticStreamNamed(const char* choice) {
    if (choice != nullptr && std::strcmp(choice, "off") == 0) {
        return nullptr;
    }
    if (choice != nullptr && std::strcmp(choice, "stderr") == 0) {
        return stderr;
    }
    return stdout;
}

DiagnosticLevel diagnosticLevelOf(const std::string& line) {
    static const std::string warning = "[warning] ";
    return line.compare(0, warning.size(), warning) == 0 ? DiagnosticLevel::Warning
                                                         : DiagnosticLevel::Error;
}

void writeDiagnostic(const std::string& line) {
    DiagnosticSink test;
    DiagnosticCallback application;
    {
        std::lock_guard<std::mutex> lock(sinks().mutex);
        test = sinks().test;
        application = sinks().application;
    }
    try {
        if (test) {
            test(line);
        } else if (application) {
            application(diagnosticLevelOf(line), line);
        } else {
            writeToStream(line);
        }
    } catch (...) {
        // A line is never worth failing the operation that reports it.
    }
}

DiagnosticSink setDiagnosticSink(DiagnosticSink sink) {
    std::lock_guard<std::mutex> lock(sinks().mutex);
    return std::exchange(sinks().test, std::move(sink));
}

}  // namespace Impl

void Diagnostics::setCallback(DiagnosticCallback callback) {
    DiagnosticCallback previous;  // destroyed outside the lock: it may write a line itself
    auto& sinks = Impl::sinks();
    std::lock_guard<std::mutex> lock(sinks.mutex);
    previous = std::exchange(sinks.application, std::move(callback));
}

}  // namespace Corvane::CameraController
