#include "serve/web_server.hpp"

#include <httplib.h>

#include "errors.hpp"
#include "serve/api_json.hpp"
#include "serve/camera_session.hpp"
#include "serve/event_hub.hpp"
#include "serve/live_view_hub.hpp"
#include "serve/tether_gallery.hpp"
#include "serve/web_assets.hpp"

namespace camctl::serve {

namespace {

const char* const frameBoundary = "camctlframe";
// A stream that sees no frame for this long ends; the page opens a new one. While the camera is
// away streams wait longer for it to come back, but not for ever: a client that vanished
// without closing its connection is only noticed when a frame is written.
constexpr auto liveViewIdleLimit = std::chrono::seconds(10);
constexpr auto liveViewAwayLimit = std::chrono::seconds(120);
constexpr auto eventKeepAlive = std::chrono::seconds(15);

const char* const contentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob:; "
    "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

void addSecurityHeaders(httplib::Response& response) {
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("X-Frame-Options", "DENY");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("Cross-Origin-Resource-Policy", "same-origin");
    response.set_header("Content-Security-Policy", contentSecurityPolicy);
    if (!response.has_header("Cache-Control")) {
        response.set_header("Cache-Control", "no-store");
    }
}

// How long a live view stream has gone without a frame, counted afresh when the camera leaves
// or comes back.
struct StreamWait {
    uint64_t lastSequence = 0;
    bool away = false;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();

    bool expired(bool cameraAway) {
        const auto now = std::chrono::steady_clock::now();
        if (cameraAway != away) {
            away = cameraAway;
            since = now;
        }
        return now - since > (away ? liveViewAwayLimit : liveViewIdleLimit);
    }
};

// Counts a stream while it lives; refuses one beyond `limit`.
bool claimStream(std::atomic<int>& count, int limit) {
    if (++count > limit) {
        --count;
        return false;
    }
    return true;
}

std::string bracketed(const std::string& host) {
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

}  // namespace

WebServer::WebServer(std::shared_ptr<cc::CameraDevice> camera, ServerConfig serverConfig)
    : config(std::move(serverConfig)),
      policy(config.token),
      server(std::make_unique<httplib::Server>()),
      liveView(std::make_shared<LiveViewHub>()),
      events(std::make_shared<EventHub>()),
      tether(std::make_shared<TetherGallery>(
          [hub = events](const std::string& name, const nlohmann::json& data) {
              hub->publish(name, data);
          })) {
    if (config.token.empty() && !isLocalOnlyAddress(config.address.host)) {
        throw UsageError("a token is required to listen on " + config.address.host);
    }
    session = std::make_unique<CameraSession>(
        std::move(camera),
        std::vector<std::shared_ptr<cc::CameraEventListener>>{liveView, events, tether},
        [this] { cameraBack(); }, ServerLimits::reconnectInterval);
    addRoutes();
}

WebServer::~WebServer() {
    stop();
    session.reset();
}

int WebServer::start() {
    const auto& address = config.address;
    boundPort = address.port == 0
                    ? server->bind_to_any_port(address.host)
                    : (server->bind_to_port(address.host, address.port) ? address.port : -1);
    if (boundPort <= 0) {
        throw CameraError("ListenFailed", "cannot listen on " + bracketed(address.host) + ":" +
                                              std::to_string(address.port));
    }
    listener = std::thread([this] { server->listen_after_bind(); });
    return boundPort;
}

void WebServer::stop() {
    if (stopping.exchange(true)) {
        return;
    }
    liveView->wake();
    events->wake();
    server->stop();
    if (listener.joinable()) {
        listener.join();
    }
    if (liveView->viewers() > 0) {
        session->camera()->stopLiveView();
    }
}

std::string WebServer::url() const {
    return "http://" + bracketed(config.address.host) + ":" + std::to_string(boundPort) + "/" +
           (config.token.empty() ? "" : "?token=" + config.token);
}

void WebServer::cameraBack() {
    // Viewers still attached see frames again; the pages refresh settings and gallery.
    const cc::Response resumed = liveView->resume(*session->camera());
    nlohmann::json data = nlohmann::json::object();
    if (resumed.getResult() != cc::Result::Ok) {
        data["liveViewError"] = resumed.getErrors().empty() ? "live view did not start"
                                                            : resumed.getErrors()[0]->getMessage();
    }
    events->publish("deviceConnected", data);
}

void WebServer::addRoutes() {
    server->new_task_queue = [] { return new httplib::ThreadPool(ServerLimits::workerThreads); };
    server->set_read_timeout(5, 0);
    server->set_write_timeout(5, 0);
    server->set_keep_alive_timeout(5);
    server->set_keep_alive_max_count(1000);
    server->set_payload_max_length(ServerLimits::maxRequestBody);
    server->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (const auto refusal = policy.check(request)) {
                setError(response, refusal->status, refusal->code, refusal->message);
                return httplib::Server::HandlerResponse::Handled;
            }
            if (policy.tokenFromQuery(request)) {
                response.set_header("Set-Cookie", policy.cookie());
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
    server->set_post_routing_handler(
        [](const httplib::Request&, httplib::Response& response) { addSecurityHeaders(response); });
    server->set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            const bool notFound = response.status == 404;
            setError(
                response, response.status, notFound ? "NotFound" : "HttpError",
                notFound ? "no such resource" : "HTTP status " + std::to_string(response.status));
        }
    });
    server->set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            setError(response, 500, "Error", "internal error");
        });
    addApiRoutes();
    addStreamRoutes();
    addPageRoutes();
}

void WebServer::addStreamRoutes() {
    server->Get("/api/liveview", [this](const httplib::Request&, httplib::Response& response) {
        if (!claimStream(liveViewStreams, ServerLimits::maxLiveViewStreams)) {
            setError(response, 503, "Busy", "too many live view streams");
            return;
        }
        auto camera = session->camera();
        const cc::Response started = liveView->join(*camera);
        if (started.getResult() != cc::Result::Ok) {
            --liveViewStreams;
            const auto& errors = started.getErrors();
            const std::string code =
                errors.empty() ? "Unknown" : errorCodeName(errors[0]->getCode());
            setError(response, statusForCode(code), code,
                     errors.empty() || errors[0]->getMessage().empty() ? "live view start failed"
                                                                       : errors[0]->getMessage());
            return;
        }
        auto waiting = std::make_shared<StreamWait>();
        response.set_chunked_content_provider(
            std::string("multipart/x-mixed-replace; boundary=") + frameBoundary,
            [this, waiting](size_t, httplib::DataSink& sink) {
                if (stopping) {
                    sink.done();
                    return true;
                }
                const auto frame =
                    liveView->nextAfter(waiting->lastSequence, std::chrono::seconds(1));
                if (!frame) {
                    if (waiting->expired(!session->present())) {
                        sink.done();
                    }
                    return sink.is_writable();
                }
                waiting->lastSequence = frame->sequence;
                waiting->since = std::chrono::steady_clock::now();
                const std::string head = std::string("--") + frameBoundary +
                                         "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                                         std::to_string(frame->size) + "\r\n\r\n";
                return sink.write(head.data(), head.size()) &&
                       sink.write(reinterpret_cast<const char*>(frame->data.get()),
                                  static_cast<size_t>(frame->size)) &&
                       sink.write("\r\n", 2);
            },
            [this, camera](bool) {
                liveView->leave(*camera);
                --liveViewStreams;
            });
    });

    server->Get("/api/events", [this](const httplib::Request&, httplib::Response& response) {
        if (!claimStream(eventStreams, ServerLimits::maxEventStreams)) {
            setError(response, 503, "Busy", "too many event streams");
            return;
        }
        auto lastSequence = std::make_shared<uint64_t>(events->newest());
        auto greeted = std::make_shared<bool>(false);
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, lastSequence, greeted](size_t, httplib::DataSink& sink) {
                if (stopping) {
                    sink.done();
                    return true;
                }
                if (!*greeted) {
                    *greeted = true;
                    const std::string hello = "retry: 2000\n: connected\n\n";
                    return sink.write(hello.data(), hello.size());
                }
                std::string text;
                for (const auto& message : events->after(*lastSequence, eventKeepAlive)) {
                    *lastSequence = message.sequence;
                    text += sseText(message);
                }
                if (text.empty()) {
                    text = ": keep-alive\n\n";  // also finds out when the page went away
                }
                return sink.write(text.data(), text.size());
            },
            [this](bool) { --eventStreams; });
    });
}

void WebServer::addPageRoutes() {
    const auto serveAsset = [](const std::string& name, httplib::Response& response) {
        const WebAsset* asset = findWebAsset(name);
        if (asset == nullptr) {
            setError(response, 404, "NotFound", "no such page");
            return;
        }
        response.set_content(reinterpret_cast<const char*>(asset->data), asset->size,
                             contentTypeOf(name).c_str());
    };
    server->Get("/", [serveAsset](const httplib::Request&, httplib::Response& response) {
        serveAsset("index.html", response);
    });
    server->Get(R"(/([A-Za-z0-9_-]+\.[a-z]+))",
                [serveAsset](const httplib::Request& request, httplib::Response& response) {
                    serveAsset(request.matches[1], response);
                });
}

}  // namespace camctl::serve
