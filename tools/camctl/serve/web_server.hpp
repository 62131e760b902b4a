// `camctl serve`: the HTTP server with the JSON API, the live view and event streams and the page.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <corvane/camera_controller.hpp>

#include "serve/access_policy.hpp"

namespace httplib {
class Server;
}

namespace camctl::serve {

namespace cc = Corvane::CameraController;

class CameraSession;
class EventHub;
class LiveViewHub;
class TetherGallery;

struct ServerConfig {
    ListenAddress address;
    /// Asked for on every request when not empty. Must be set for any address but loopback.
    std::string token;
};

/// Bounds that keep a slow or hostile client from holding the server.
struct ServerLimits {
    static constexpr int workerThreads = 48;
    /// Streams beyond these are refused with 503, so API requests always find a worker.
    static constexpr int maxLiveViewStreams = 20;
    static constexpr int maxEventStreams = 12;
    static constexpr size_t maxRequestBody = 64 * 1024;
    /// How often a camera that was unplugged is looked for.
    static constexpr std::chrono::milliseconds reconnectInterval{1000};
};

class WebServer {
public:
    /// Throws UsageError when the address is not loopback and there is no token.
    WebServer(std::shared_ptr<cc::CameraDevice> camera, ServerConfig config);
    /// Stops the server: ends the streams, waits for the workers, stops live view.
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    /// Binds the address and serves on a thread of its own. Returns the port (the chosen one
    /// for port 0). Throws std::runtime_error when the address cannot be bound.
    int start();
    void stop();

    /// "http://HOST:PORT/" (with "?token=..." when a token is needed).
    std::string url() const;

    /// Lets another part of camctl (the rig agent) add routes of its own; call before start().
    void addRoutes(const std::function<void(httplib::Server&)>& add) { add(*server); }

private:
    void addRoutes();
    void addApiRoutes();
    void addStreamRoutes();
    void addPageRoutes();
    void cameraBack();

    const ServerConfig config;
    AccessPolicy policy;
    std::unique_ptr<httplib::Server> server;
    std::shared_ptr<LiveViewHub> liveView;
    std::shared_ptr<EventHub> events;
    std::shared_ptr<TetherGallery> tether;
    std::unique_ptr<CameraSession> session;
    std::atomic<int> liveViewStreams{0};
    std::atomic<int> eventStreams{0};
    std::atomic<bool> stopping{false};
    int boundPort = 0;
    std::thread listener;
};

}  // namespace camctl::serve
