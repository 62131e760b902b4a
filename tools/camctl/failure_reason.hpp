// Plain words for the library's failures: its messages are often a bare response code.
#pragma once

#include <string>

#include "errors.hpp"
#include "json.hpp"

namespace camctl {

/// What a failure means for the user: "camera busy", "camera disconnected", "timed out ...",
/// or the response code's name ("General Error"). Empty when the message already says it.
/// `cameraGone`: the camera was connected and no longer is.
std::string failureReason(const std::string& codeName, const std::string& message, bool cameraGone);

/// "DeviceError: 0x2019 (camera busy: Device Busy)": the library's code and message as they
/// are, then the reason when there is one.
std::string describeFailure(const std::string& code, const std::string& message,
                            const std::string& reason);

/// {"code": ..., "message": ..., "reason": ...}; the reason only when there is one.
Json failureJson(const std::string& code, const std::string& message, const std::string& reason);

/// True when the transport got no answer at all (the library's response code 0): a timeout,
/// an unplugged camera or a dead connection.
bool gotNoAnswer(const CameraError& error);

/// True for the camera's answer that it is busy and the same request may succeed later.
bool isBusy(const CameraError& error);

}  // namespace camctl
