#include "common/diagnostics.hpp"

#include <cstdio>
#include <mutex>
#include <utility>

namespace Corvane::CameraController::Impl {
namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

DiagnosticSink& currentSink() {
    static DiagnosticSink sink;
    return sink;
}

}  // namespace

void writeDiagnostic(const std::string& line) {
    DiagnosticSink sink;
    {
        std::lock_guard<std::mutex> lock(sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(line);
        return;
    }
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

DiagnosticSink setDiagnosticSink(DiagnosticSink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}

}  // namespace Corvane::CameraController::Impl
