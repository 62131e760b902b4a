// The three ways a command can fail, each with its own exit code.
#pragma once

#include <stdexcept>
#include <string>

#include <corvane/camera_controller.hpp>

namespace camctl {

namespace cc = Corvane::CameraController;

enum ExitCode : int {
    ExitOk = 0,
    ExitCameraError = 1,
    ExitUsageError = 2,
    ExitInterrupted = 130,
};

/// Bad input from the user: unknown names, malformed values, impossible combinations.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A failure reported by the camera or the library. `codeName` is the ErrorCode's name when the
/// library gave one, or a short word of our own ("NoCamera", "Timeout") otherwise.
class CameraError : public std::runtime_error {
public:
    CameraError(std::string codeName, const std::string& message)
        : std::runtime_error(message), code(std::move(codeName)) {}
    const std::string& codeName() const { return code; }

private:
    std::string code;
};

/// A failure whose details were already printed (for example per setting); only the exit code
/// remains to be given.
class ReportedFailure : public std::runtime_error {
public:
    ReportedFailure() : std::runtime_error("failed") {}
};

/// The user pressed Ctrl-C (or the process got SIGTERM or SIGHUP) while a command ran.
class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

/// "DeviceError", "NotConnected", ... for an ErrorCode.
std::string errorCodeName(cc::ErrorCode code);

/// Throws CameraError built from the first error of a failed response; `what` names the
/// operation when the library gave no message ("connect", "startCapture").
void throwIfFailed(const cc::Response& response, const std::string& what);

}  // namespace camctl
