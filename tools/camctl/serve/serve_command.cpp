// serve: the camera in a web browser.
#include "commands/commands.hpp"
#include "errors.hpp"
#include "interrupt.hpp"
#include "serve/web_server.hpp"

namespace camctl {

namespace {

struct ServeOptions {
    std::string listen;
    std::string token;
};

void runServe(Context& context, const ServeOptions& options) {
    serve::ServerConfig config;
    config.address = serve::parseListenAddress(options.listen);
    config.token = options.token;
    // The token travels in a cookie and a query string, so it keeps to characters safe in both.
    if (!options.token.empty() &&
        (options.token.size() < 8 ||
         options.token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                         "0123456789-_.~") != std::string::npos)) {
        throw UsageError("--token: use at least 8 letters, digits or -_.~");
    }
    const bool generated = config.token.empty() && !serve::isLocalOnlyAddress(config.address.host);
    if (generated) {
        config.token = serve::generateToken();
    }
    serve::WebServer server(context.cameraPointer(), config);
    server.start();
    auto& out = context.out();
    if (out.json()) {
        Json ready = Json::object().set("url", server.url());
        if (generated) {
            ready.set("token", config.token);
        }
        out.document(ready);
    } else {
        out.line("Serving " + context.camera().getModel() + " at " + server.url());
        if (generated) {
            out.line("Token (shown only now): " + config.token);
        }
    }
    out.note("Press Ctrl-C to stop.");
    while (!interrupted()) {
        sleepUnlessInterrupted(std::chrono::milliseconds(200));
    }
    server.stop();
}

}  // namespace

void addServeCommand(CLI::App& app, CommandSet& commands) {
    auto options = std::make_shared<ServeOptions>();
    auto* cmd = app.add_subcommand("serve", "Control the camera from a web browser");
    cmd->add_option("--listen", options->listen,
                    "ADDR:PORT to listen on (default 127.0.0.1:8080; port 0: any free port)");
    cmd->add_option("--token", options->token,
                    "Token every request must carry (generated for addresses other than "
                    "loopback when not given)");
    commands.add(cmd, [options](Context& context) { runServe(context, *options); });
}

}  // namespace camctl
