#include "serve/api_json.hpp"

#include "formatting.hpp"

namespace camctl::serve {

nlohmann::json toNlohmann(const Json& json) {
    // camctl's dump escapes every byte that is not valid UTF-8, so this always parses.
    return nlohmann::json::parse(json.dump());
}

nlohmann::json identityJson(const cc::CameraDevice& camera) {
    return toNlohmann(Json::object()
                          .set("manufacturer", camera.getManufacturer())
                          .set("model", camera.getModel())
                          .set("serial", camera.getSerialNumber())
                          .set("firmware", camera.getFirmwareVersion()));
}

nlohmann::json imageJsonOf(const cc::CameraImage& image) {
    auto json = toNlohmann(imageJson(image));
    json["thumbnail"] = image.hasThumbnail();
    return json;
}

std::string dumpJson(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void setJson(httplib::Response& response, const nlohmann::json& json, int status) {
    response.status = status;
    response.set_content(dumpJson(json), "application/json; charset=utf-8");
}

void setError(httplib::Response& response, int status, const std::string& code,
              const std::string& message) {
    setJson(response, {{"error", {{"code", code}, {"message", message}}}}, status);
}

int statusForCode(const std::string& code) {
    if (code == "UsageError" || code == "BadRequest") {
        return 400;
    }
    if (code == "ImageNotFound" || code == "NotFound") {
        return 404;
    }
    if (code == "InvalidValue" || code == "InvalidParameter" || code == "NotInMovieMode") {
        return 422;
    }
    if (code == "NotSupported") {
        return 501;
    }
    if (code == "NotConnected" || code == "NoCamera" || code == "Busy") {
        return 503;
    }
    if (code == "StorageFull") {
        return 507;
    }
    return 502;  // the camera failed
}

}  // namespace camctl::serve
