// watch: print the camera's events as they arrive, one line each.
#include "commands.hpp"

#include <atomic>
#include <optional>

#include "../arguments.hpp"
#include "../formatting.hpp"
#include "../interrupt.hpp"
#include "../listener_registration.hpp"

namespace camctl {

namespace {

class EventPrinter : public cc::CameraEventListener {
public:
    explicit EventPrinter(Output& out) : out(out) {}

    void imageAdded(const std::shared_ptr<const cc::CameraDevice>&,
                    const std::shared_ptr<const cc::CameraImage>& image) override {
        emit("imageAdded", image);
    }
    void imageStored(const std::shared_ptr<const cc::CameraDevice>&,
                     const std::shared_ptr<const cc::CameraImage>& image) override {
        emit("imageStored", image);
    }
    void captureComplete(const std::shared_ptr<const cc::CameraDevice>&,
                         const std::shared_ptr<const cc::Capture>& capture) override {
        if (!capture) {
            return;
        }
        if (out.json()) {
            print(event("captureComplete").set("capture", captureJson(*capture)));
        } else {
            out.line(timestampNow() + "  captureComplete  id=" + capture->getId() +
                     " state=" + captureStateName(capture->getState()));
        }
    }
    void deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>&,
                            cc::DeviceInterface) override {
        gone = true;
        if (out.json()) {
            print(event("deviceDisconnected"));
        } else {
            out.line(timestampNow() + "  deviceDisconnected");
        }
    }
    void liveViewFrameUpdated(const std::shared_ptr<const cc::CameraDevice>&,
                              const std::shared_ptr<const unsigned char>&, uint64_t size) override {
        if (out.json()) {
            print(event("liveViewFrame").set("size", size));
        } else {
            out.line(timestampNow() + "  liveViewFrame  size=" + std::to_string(size));
        }
    }
    void captureSettingsChanged(
        const std::shared_ptr<const cc::CameraDevice>&,
        const std::vector<std::shared_ptr<const cc::CaptureSetting>>& settings) override {
        Json changed = Json::object();
        std::string text;
        for (const auto& setting : settings) {
            if (!setting) {
                continue;
            }
            const std::string value =
                setting->hasValue() ? setting->getValue().toString() : std::string();
            changed.set(setting->getName(), setting->hasValue() ? Json(value) : Json());
            text += " " + setting->getName() + "=" + (setting->hasValue() ? value : "?");
        }
        if (out.json()) {
            print(event("captureSettingsChanged").set("settings", std::move(changed)));
        } else {
            out.line(timestampNow() + "  captureSettingsChanged " + printable(text));
        }
    }

    bool cameraGone() const { return gone; }

private:
    static Json event(const char* name) {
        return Json::object().set("time", timestampNow()).set("event", name);
    }

    void print(const Json& json) { out.document(json); }

    void emit(const char* name, const std::shared_ptr<const cc::CameraImage>& image) {
        if (!image) {
            return;
        }
        if (out.json()) {
            print(event(name).set("image", imageJson(*image)));
            return;
        }
        const std::string storage = storageIdOf(*image);
        out.line(timestampNow() + "  " + name + "  id=" + image->getId() + " name=" +
                 printable(image->getName()) + " size=" + std::to_string(image->getSize()) +
                 (storage.empty() ? " (transfer buffer)" : " storage=" + storage));
    }

    Output& out;
    std::atomic<bool> gone{false};
};

void runWatch(Context& context, const std::optional<double>& seconds) {
    auto& camera = context.camera();
    auto printer = std::make_shared<EventPrinter>(context.out());
    ListenerRegistration registration(camera, printer);
    context.out().note(seconds ? "Watching for " + formatNumber(*seconds) + " s ..."
                               : "Watching; press Ctrl-C to stop.");
    const auto deadline =
        seconds ? std::optional(std::chrono::steady_clock::now() +
                                std::chrono::milliseconds(static_cast<int64_t>(*seconds * 1000)))
                : std::nullopt;
    // Ctrl-C is the normal way to end an open-ended watch, so it is not an error here.
    while (!interrupted() && !printer->cameraGone()) {
        if (deadline && std::chrono::steady_clock::now() >= *deadline) {
            break;
        }
        sleepUnlessInterrupted(std::chrono::milliseconds(50));
    }
}

}  // namespace

void addWatchCommand(CLI::App& app, CommandSet& commands) {
    auto seconds = std::make_shared<std::optional<double>>();
    auto* cmd = app.add_subcommand("watch", "Print camera events as they arrive");
    cmd->add_option("--seconds", *seconds, "Stop after this many seconds (default: Ctrl-C)")
        ->check(finiteRange(0.0, 1e7));
    commands.add(cmd, [seconds](Context& context) { runWatch(context, *seconds); });
}

}  // namespace camctl
