// JSON forms of the library's objects for the web API, and its error answers.
#pragma once

#include <string>

#include <httplib.h>
#include <corvane/camera_controller.hpp>
#include <nlohmann/json.hpp>

#include "json.hpp"

namespace camctl::serve {

namespace cc = Corvane::CameraController;

/// camctl's own JSON forms (the same as `--json` prints) as nlohmann values.
nlohmann::json toNlohmann(const Json& json);

nlohmann::json identityJson(const cc::CameraDevice& camera);
nlohmann::json imageJsonOf(const cc::CameraImage& image);

/// Text for an answer: invalid UTF-8 from the camera is replaced, never thrown about.
std::string dumpJson(const nlohmann::json& json);

/// Sets `response` to {"error":{"code":...,"message":...}} with `status`.
void setError(httplib::Response& response, int status, const std::string& code,
              const std::string& message);
void setJson(httplib::Response& response, const nlohmann::json& json, int status = 200);

/// The HTTP status for one of the library's error code names ("ImageNotFound" -> 404).
int statusForCode(const std::string& code);

}  // namespace camctl::serve
