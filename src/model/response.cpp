#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController {

Error::Error(ErrorCode code, const std::string& message) : code(code), message(message) {}

Response::Response(Result result) : result(result) {}

Response::Response(Result result, const std::shared_ptr<Error>& error) : result(result) {
    addError(error);
}

void Response::addError(const std::shared_ptr<Error>& error) {
    // Callers iterate the list and dereference every entry; a null one would crash them.
    if (error) {
        errors.push_back(error);
    }
}

StartCaptureResponse::StartCaptureResponse(Result result) : Response(result) {}

StartCaptureResponse::StartCaptureResponse(Result result, const std::shared_ptr<Error>& error)
    : Response(result, error) {}

StartCaptureResponse::StartCaptureResponse(const std::shared_ptr<const Capture>& capture)
    : Response(Result::Ok), capture(capture) {}

}  // namespace Corvane::CameraController
