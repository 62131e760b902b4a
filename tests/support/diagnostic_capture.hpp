// Collects the library's diagnostic lines for a test, instead of letting them reach stdout.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"

namespace Corvane::CameraController::Testing {

/// Takes over the diagnostic sink while alive (lines from any thread), then puts back the
/// sink it replaced.
class DiagnosticCapture {
public:
    DiagnosticCapture() {
        previous_ = Impl::setDiagnosticSink([this](const std::string& line) {
            const std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~DiagnosticCapture() { Impl::setDiagnosticSink(previous_); }
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

    std::vector<std::string> lines() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    Impl::DiagnosticSink previous_;
};

}  // namespace Corvane::CameraController::Testing
