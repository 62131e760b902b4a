// Response type of the background image listing.
#pragma once

#include <memory>

#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController::Impl {

/// Behaves exactly as a Response; a type of its own so that the listing's result is told apart.
class ListImagesResponse : public Response {
public:
    using Response::Response;
    ListImagesResponse(const Response& response) : Response(response) {}
};

}  // namespace Corvane::CameraController::Impl
