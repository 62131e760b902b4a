// The JSON API: identity, settings, capture, focus, images and the clock.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <set>
#include <sstream>

#include <httplib.h>

#include "camera_queries.hpp"
#include "errors.hpp"
#include "file_names.hpp"
#include "formatting.hpp"
#include "serve/api_json.hpp"
#include "serve/camera_session.hpp"
#include "serve/live_view_hub.hpp"
#include "serve/tether_gallery.hpp"
#include "serve/web_server.hpp"
#include "settings_catalog.hpp"

namespace camctl::serve {

namespace {

using json = nlohmann::json;
using ImagePtr = std::shared_ptr<const cc::CameraImage>;
using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// Every failure becomes a JSON error; nothing escapes to the server's worker.
Handler guarded(Handler handler) {
    return [handler = std::move(handler)](const httplib::Request& request,
                                          httplib::Response& response) {
        try {
            handler(request, response);
        } catch (const UsageError& error) {
            setError(response, 400, "UsageError", error.what());
        } catch (const CameraError& error) {
            setError(response, statusForCode(error.codeName()), error.codeName(), error.what());
        } catch (const json::exception& error) {
            setError(response, 400, "BadRequest", std::string("malformed JSON: ") + error.what());
        } catch (const std::exception& error) {
            // The library throws for a few operations the camera cannot do ("Not Supported").
            const std::string message = error.what();
            const bool unsupported = message.find("Not Supported") != std::string::npos;
            setError(response, unsupported ? 501 : 500, unsupported ? "NotSupported" : "Error",
                     message);
        }
    };
}

json bodyObject(const httplib::Request& request) {
    if (request.body.empty()) {
        return json::object();
    }
    json body = json::parse(request.body);
    if (!body.is_object()) {
        throw UsageError("the request body must be a JSON object");
    }
    return body;
}

double fraction(const json& body, const char* name) {
    const auto found = body.find(name);
    if (found == body.end() || !found->is_number() || !std::isfinite(found->get<double>()) ||
        found->get<double>() < 0 || found->get<double>() > 1) {
        throw UsageError(std::string(name) + " must be a number from 0 to 1");
    }
    return found->get<double>();
}

std::optional<cc::Point> pointIn(const json& body) {
    const auto found = body.find("point");
    if (found == body.end() || found->is_null()) {
        return std::nullopt;
    }
    if (!found->is_object()) {
        throw UsageError("point must be {\"x\":..., \"y\":...}");
    }
    return cc::Point{static_cast<float>(fraction(*found, "x")),
                     static_cast<float>(fraction(*found, "y"))};
}

ImagePtr imageById(const cc::CameraDevice& camera, const std::string& id) {
    const auto snapshot = camera.getImages().clone();
    for (size_t i = 0; i < snapshot->size(); ++i) {
        auto image = snapshot->get(i);
        if (image->getId() == id) {
            return image;
        }
    }
    throw CameraError("ImageNotFound", "no image with id " + id);
}

json errorJson(const cc::Response& response, const std::string& what) {
    try {
        throwIfFailed(response, what);
    } catch (const CameraError& error) {
        return {{"code", error.codeName()}, {"message", error.what()}};
    }
    return nullptr;
}

// Each setting is read on its own, so one unreadable setting does not hide the others.
json settingJson(cc::CameraDevice& camera, const SettingKind& kind) {
    json entry = {{"name", kind.name}, {"writable", kind.writable}};
    const auto setting = kind.make();
    const auto response = camera.getCaptureSettings({setting.get()});
    if (response.getResult() != cc::Result::Ok) {
        entry["error"] = errorJson(response, "reading " + kind.name);
        return entry;
    }
    entry["value"] = setting->hasValue() ? json(setting->getValue().toString()) : json(nullptr);
    entry["accepted"] = acceptedTexts(*setting);
    return entry;
}

std::string valueTextOf(const json& value, const std::string& name) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_number()) {
        return value.dump();
    }
    throw UsageError(name + ": the value must be a string or a number");
}

// Checks every name and value before anything is written, as `camctl set` does.
json writeSettings(cc::CameraDevice& camera, const json& body) {
    if (body.empty()) {
        throw UsageError("name at least one setting, e.g. {\"ISO\":\"800\"}");
    }
    std::vector<const SettingKind*> kinds;
    std::vector<std::unique_ptr<cc::CaptureSetting>> current;
    std::vector<const cc::CaptureSetting*> writes;
    for (const auto& [name, value] : body.items()) {
        const SettingKind* kind = findSettingKind(name);
        if (kind == nullptr || !kind->writable) {
            throw UsageError("\"" + name + "\" is not a setting that can be written; settable: " +
                             settingNames(true));
        }
        const std::string text = valueTextOf(value, kind->name);
        current.push_back(kind->make());
        throwIfFailed(camera.getCaptureSettings({current.back().get()}), "reading " + kind->name);
        const auto* singleton = matchAvailable(*current.back(), text);
        if (singleton == nullptr) {
            throw CameraError("InvalidValue",
                              kind->name + ": \"" + text + "\" is not accepted now");
        }
        kinds.push_back(kind);
        writes.push_back(singleton);
    }
    throwIfFailed(camera.setCaptureSettings(writes), "writing settings");
    json settings = json::array();
    for (const auto* kind : kinds) {
        settings.push_back(settingJson(camera, *kind));
    }
    return {{"settings", settings}};
}

json storagesJson(const cc::CameraDevice& camera) {
    json list = json::array();
    const auto& storages = camera.getStorages();
    for (size_t i = 0; i < storages.size(); ++i) {
        list.push_back(toNlohmann(storageJson(*storages.get(i))));
    }
    return list;
}

// A name for the Content-Disposition header: safe as a file name, plain ASCII in the quoted
// form, and the sanitised bytes percent-encoded in the extended form.
std::string attachmentHeader(const std::string& name, const std::string& id) {
    const std::string safe = sanitizeFileName(name, "image-" + id);
    std::string ascii;
    std::string encoded;
    for (const unsigned char c : safe) {
        const bool plain = std::isalnum(c) || c == '.' || c == '-' || c == '_';
        ascii += plain ? static_cast<char>(c) : '_';
        if (plain) {
            encoded += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            encoded += escape;
        }
    }
    return "attachment; filename=\"" + ascii + "\"; filename*=UTF-8''" + encoded;
}

// Passes a download's bytes straight to the client; a client that goes away fails the stream,
// which ends the transfer.
class SinkBuffer : public std::streambuf {
public:
    explicit SinkBuffer(httplib::DataSink& sink) : sink(sink) {}
    uint64_t written() const { return count; }

protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        if (failed || !sink.write(data, static_cast<size_t>(size))) {
            failed = true;
            return 0;
        }
        count += static_cast<uint64_t>(size);
        return size;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

private:
    httplib::DataSink& sink;
    uint64_t count = 0;
    bool failed = false;
};

}  // namespace

void WebServer::addApiRoutes() {
    auto& http = *server;
    const auto camera = [this] { return session->camera(); };

    http.Get(
        "/api/cameras", guarded([camera](const httplib::Request&, httplib::Response& res) {
            const auto served = camera();
            json list = json::array();
            for (const auto& found : cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB)) {
                json entry = identityJson(*found);
                entry["served"] = found->getSerialNumber() == served->getSerialNumber();
                list.push_back(entry);
            }
            setJson(res, {{"cameras", list}});
        }));

    http.Get(
        "/api/camera", guarded([this, camera](const httplib::Request&, httplib::Response& res) {
            const auto device = camera();
            json info = identityJson(*device);
            info["connected"] = session->present() && device->isConnected(cc::DeviceInterface::USB);
            info["battery"] = device->getStatus().getBatteryLevel();
            info["storages"] = storagesJson(*device);
            info["liveViewers"] = liveView->viewers();
            setJson(res, info);
        }));

    http.Get("/api/settings", guarded([camera](const httplib::Request&, httplib::Response& res) {
                 const auto device = camera();
                 json settings = json::array();
                 for (const auto& kind : settingKinds()) {
                     settings.push_back(settingJson(*device, kind));
                 }
                 setJson(res, {{"settings", settings}});
             }));

    http.Put("/api/settings",
             guarded([camera](const httplib::Request& req, httplib::Response& res) {
                 setJson(res, writeSettings(*camera(), bodyObject(req)));
             }));

    http.Post(
        "/api/capture", guarded([camera](const httplib::Request& req, httplib::Response& res) {
            const json body = bodyObject(req);
            const auto point = pointIn(body);
            const bool focus = body.value("focus", true);
            const auto device = camera();
            const auto response =
                point ? device->startCapture(*point) : device->startCapture(focus);
            throwIfFailed(response, "capture");
            const auto capture = response.getCapture();
            setJson(res,
                    {{"capture", capture ? toNlohmann(captureJson(*capture)) : json(nullptr)}});
        }));

    http.Post(
        "/api/movie/start", guarded([camera](const httplib::Request&, httplib::Response& res) {
            const auto response = camera()->startCapture(false);
            throwIfFailed(response, "movie start");
            const auto capture = response.getCapture();
            setJson(res,
                    {{"capture", capture ? toNlohmann(captureJson(*capture)) : json(nullptr)}});
        }));

    http.Post("/api/movie/stop", guarded([camera](const httplib::Request&, httplib::Response& res) {
                  throwIfFailed(camera()->stopCapture(), "movie stop");
                  setJson(res, {{"stopped", true}});
              }));

    http.Post("/api/focus", guarded([camera](const httplib::Request& req, httplib::Response& res) {
                  const json body = bodyObject(req);
                  const auto device = camera();
                  if (body.contains("steps")) {
                      if (!body["steps"].is_number_integer() ||
                          std::abs(body["steps"].get<int64_t>()) > 10000) {
                          throw UsageError("steps must be a whole number from -10000 to 10000");
                      }
                      throwIfFailed(device->focus(body["steps"].get<int32_t>()), "focus");
                  } else if (const auto point = pointIn(body)) {
                      throwIfFailed(device->focus(*point), "focus");
                  } else {
                      throwIfFailed(device->focus(), "focus");
                  }
                  setJson(res, {{"focused", true}});
              }));

    http.Get("/api/images",
             guarded([this, camera](const httplib::Request&, httplib::Response& res) {
                 json list = json::array();
                 for (const auto& image : imagesInOrder(*camera())) {
                     list.push_back(imageJsonOf(*image));
                 }
                 for (const auto& picture : tether->pictures()) {
                     list.push_back(picture.json);
                 }
                 setJson(res, {{"images", list}});
             }));

    // Tether pictures live in the server's memory, not on the camera.
    http.Get(R"(/api/images/(t[0-9]{1,10})/(thumbnail|data))",
             guarded([this](const httplib::Request& req, httplib::Response& res) {
                 const auto picture = tether->find(req.matches[1]);
                 if (!picture) {
                     throw CameraError("ImageNotFound", "no image with id " + req.matches[1].str());
                 }
                 if (req.matches[2] == "data") {
                     res.set_header("Content-Disposition",
                                    attachmentHeader(picture->name, picture->id));
                     res.set_content(*picture->data, "application/octet-stream");
                 } else if (picture->thumbnail) {
                     res.set_header("Cache-Control", "private, max-age=3600");
                     res.set_content(*picture->thumbnail, "image/jpeg");
                 } else {
                     throw CameraError("NotFound", "the camera gave no thumbnail for this picture");
                 }
             }));

    http.Delete(R"(/api/images/(t[0-9]{1,10}))",
                guarded([this](const httplib::Request& req, httplib::Response& res) {
                    if (!tether->remove(req.matches[1])) {
                        throw CameraError("ImageNotFound",
                                          "no image with id " + req.matches[1].str());
                    }
                    setJson(res, {{"deleted", req.matches[1].str()}});
                }));

    http.Get(R"(/api/images/([0-9]{1,10})/thumbnail)",
             guarded([camera](const httplib::Request& req, httplib::Response& res) {
                 const auto image = imageById(*camera(), req.matches[1]);
                 std::ostringstream data;
                 throwIfFailed(image->getThumbnail(data), "thumbnail");
                 res.set_header("Cache-Control", "private, max-age=3600");
                 res.set_content(data.str(), "image/jpeg");
             }));

    http.Get(R"(/api/images/([0-9]{1,10})/data)",
             guarded([camera](const httplib::Request& req, httplib::Response& res) {
                 const auto image = imageById(*camera(), req.matches[1]);
                 const uint64_t size = image->getSize();
                 res.set_header("Content-Disposition",
                                attachmentHeader(image->getName(), image->getId()));
                 // The announced length is the camera's size: a transfer that fails or comes
                 // out shorter breaks the connection rather than ending as if complete. A size
                 // the camera could not tell (0, or 0xFFFFFFFF for 4 GiB and more) goes chunked,
                 // where only a whole transfer sends the closing chunk.
                 const auto download = [image](httplib::DataSink& sink, uint64_t expected) {
                     SinkBuffer buffer(sink);
                     std::ostream output(&buffer);
                     return image->getData(output).getResult() == cc::Result::Ok &&
                            (expected == 0 || buffer.written() == expected);
                 };
                 if (size == 0 || size == 0xFFFFFFFFull) {
                     res.set_chunked_content_provider("application/octet-stream",
                                                      [download](size_t, httplib::DataSink& sink) {
                                                          if (!download(sink, 0)) {
                                                              return false;
                                                          }
                                                          sink.done();
                                                          return true;
                                                      });
                     return;
                 }
                 res.set_content_provider(
                     static_cast<size_t>(size), "application/octet-stream",
                     [download, size](size_t offset, size_t, httplib::DataSink& sink) {
                         return offset == 0 && download(sink, size);
                     });
             }));

    http.Delete(R"(/api/images/([0-9]{1,10}))",
                guarded([camera](const httplib::Request& req, httplib::Response& res) {
                    const auto image = imageById(*camera(), req.matches[1]);
                    throwIfFailed(image->deleteData(), "delete of " + image->getId());
                    setJson(res, {{"deleted", image->getId()}});
                }));

    http.Get("/api/time", guarded([camera](const httplib::Request&, httplib::Response& res) {
                 const int64_t now = readCameraTime(*camera());
                 setJson(res, {{"time", now}, {"local", formatLocalTime(now)}});
             }));

    http.Put(
        "/api/time", guarded([camera](const httplib::Request& req, httplib::Response& res) {
            const json body = bodyObject(req);
            const auto found = body.find("time");
            int64_t wanted = 0;
            if (found != body.end() && found->is_string() && found->get<std::string>() == "now") {
                wanted = static_cast<int64_t>(std::time(nullptr));
            } else if (found != body.end() && found->is_number_integer() &&
                       found->get<int64_t>() >= 0) {
                wanted = found->get<int64_t>();
            } else {
                throw UsageError("time must be \"now\" or seconds since 1970-01-01 UTC");
            }
            const auto device = camera();
            const cc::CameraTime time(wanted);
            throwIfFailed(device->setCameraDeviceSettings({&time}), "setting the camera's clock");
            const int64_t now = readCameraTime(*device);
            setJson(res, {{"time", now}, {"local", formatLocalTime(now)}});
        }));
}

}  // namespace camctl::serve
