#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/diagnostics.hpp"
#include "corvane/camera_controller/diagnostics.hpp"

namespace Corvane::CameraController {
namespace {

using Line = std::pair<DiagnosticLevel, std::string>;

/// Clears the application callback however the test ends.
struct CallbackReset {
    ~CallbackReset() { Diagnostics::setCallback(nullptr); }
};

TEST(DiagnosticsTest, CallbackTakesLinesWithTheirLevelUntilClearedThenTheChosenStream) {
    CallbackReset reset;
    std::vector<Line> lines;
    Diagnostics::setCallback([&lines](DiagnosticLevel level, const std::string& line) {
        lines.emplace_back(level, line);
    });
    Impl::writeDiagnostic("[warning] Unknown setting type");
    Impl::writeDiagnostic("Error[1] connect res = 0x2019");
    Impl::writeDiagnostic("[warning]x");  // no space: not the warning prefix

    const std::vector<Line> expected{{DiagnosticLevel::Warning, "[warning] Unknown setting type"},
                                     {DiagnosticLevel::Error, "Error[1] connect res = 0x2019"},
                                     {DiagnosticLevel::Error, "[warning]x"}};
    EXPECT_EQ(lines, expected);

    Diagnostics::setCallback(nullptr);
    testing::internal::CaptureStdout();
    Impl::writeDiagnostic("mtpObject is null");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "mtpObject is null\n");
    EXPECT_EQ(lines.size(), 3u);

    // Without a callback, the environment chooses the stream.
    EXPECT_EQ(Impl::diagnosticStreamNamed(nullptr), stdout);
    EXPECT_EQ(Impl::diagnosticStreamNamed("stdout"), stdout);
    EXPECT_EQ(Impl::diagnosticStreamNamed("stderr"), stderr);
    EXPECT_EQ(Impl::diagnosticStreamNamed("off"), nullptr);
    EXPECT_EQ(Impl::diagnosticStreamNamed("STDERR"), stdout);
}

TEST(DiagnosticsTest, ThrowingOrReentrantCallbackDoesNotReachTheReporter) {
    CallbackReset reset;
    int calls = 0;
    Diagnostics::setCallback([&calls](DiagnosticLevel, const std::string&) {
        ++calls;
        Diagnostics::setCallback([](DiagnosticLevel, const std::string&) {});  // no deadlock
        throw std::runtime_error("logger broke");
    });
    EXPECT_NO_THROW(Impl::writeDiagnostic("[error][eventLoop] gone"));
    EXPECT_NO_THROW(Impl::writeDiagnostic("[error][eventLoop] gone"));
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace Corvane::CameraController
