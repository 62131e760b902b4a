// Results of camera operations: every device operation returns one of these instead of throwing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "corvane/camera_controller/export.hpp"

namespace Corvane::CameraController {

class Capture;

/// Outcome of an operation.
enum class Result : uint32_t {
    Ok = 0,     ///< the operation succeeded
    Error = 1,  ///< the operation failed; the response's errors say why
};

/// What kind of failure an Error reports.
enum class ErrorCode : uint32_t {
    Unclassified = 0,
    NotConnected = 1,  ///< no connected transport; the message is always empty
    ImageNotFound = 2,
    InvalidValue = 3,
    InvalidParameter = 4,
    StorageFull = 5,
    DeviceError = 6,
    NotSupported = 7,
    VendorSpecific = 8,
    PartialDeletion = 9,
    Unknown = 10,
};

/// The transport through which a camera is reached. USB is the only one with an adapter.
enum class DeviceInterface : uint32_t {
    USB = 0,
};

/// One failure record: a code and a short English message (possibly empty).
class CORVANE_API Error {
public:
    Error(ErrorCode code, const std::string& message);
    Error(const Error&) = default;
    Error& operator=(const Error&) = default;
    ~Error() = default;

    ErrorCode getCode() const { return code; }
    const std::string& getMessage() const { return message; }

private:
    ErrorCode code;
    std::string message;
};

/// The result of a device operation: Ok with no errors, or Error with (normally) at least one
/// Error record. Error records are shared: copying a Response copies the pointers.
class CORVANE_API Response {
public:
    /// A response without errors.
    Response(Result result);
    /// A response whose error list holds exactly `error`; a null `error` is not stored.
    Response(Result result, const std::shared_ptr<Error>& error);
    Response(const Response&) = default;
    Response& operator=(const Response&) = default;
    virtual ~Response() = default;

    Result getResult() const { return result; }
    /// The errors in the order they were added. Never holds a null pointer.
    const std::vector<std::shared_ptr<Error>>& getErrors() const { return errors; }
    /// Appends `error` to the list; a null pointer is ignored.
    void addError(const std::shared_ptr<Error>& error);

private:
    Result result;
    std::vector<std::shared_ptr<Error>> errors;
};

/// The response of a capture start: also carries the started capture, if any.
class CORVANE_API StartCaptureResponse : public Response {
public:
    /// No errors, no capture.
    StartCaptureResponse(Result result);
    /// One error, no capture.
    StartCaptureResponse(Result result, const std::shared_ptr<Error>& error);
    /// Result::Ok, no errors, the given capture.
    StartCaptureResponse(const std::shared_ptr<const Capture>& capture);
    StartCaptureResponse(const StartCaptureResponse&) = default;
    StartCaptureResponse& operator=(const StartCaptureResponse&) = default;
    ~StartCaptureResponse() override = default;

    /// The started capture; null when none was started.
    std::shared_ptr<const Capture> getCapture() const { return capture; }

private:
    std::shared_ptr<const Capture> capture;
};

}  // namespace Corvane::CameraController
