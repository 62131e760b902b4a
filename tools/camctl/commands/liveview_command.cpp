// liveview: save a number of live view frames as JPEG files.
#include "commands.hpp"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

#include "../arguments.hpp"
#include "../atomic_file.hpp"
#include "../errors.hpp"
#include "../formatting.hpp"
#include "../interrupt.hpp"
#include "../listener_registration.hpp"

namespace camctl {

namespace fs = std::filesystem;

namespace {

struct LiveViewOptions {
    unsigned frames = 0;
    std::string out;
    double timeout = 10;
};

struct Frame {
    std::shared_ptr<const unsigned char> data;
    uint64_t size;
};

// Frames arrive on the library's live-view thread; files are written on the command's thread,
// so a slow disk never holds up the camera. Only as many frames as wanted are kept.
class FrameQueue : public cc::CameraEventListener {
public:
    explicit FrameQueue(unsigned wanted) : wanted(wanted) {}

    void liveViewFrameUpdated(const std::shared_ptr<const cc::CameraDevice>&,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (!data || accepted >= wanted) {
            return;
        }
        ++accepted;
        frames.push_back(Frame{data, size});
        arrived.notify_all();
    }

    void deviceDisconnected(const std::shared_ptr<const cc::CameraDevice>&,
                            cc::DeviceInterface) override {
        std::lock_guard<std::mutex> lock(mutex);
        disconnected = true;
        arrived.notify_all();
    }

    /// The next frame, or nothing when `timeout` passed, Ctrl-C was pressed or the camera left.
    std::optional<Frame> next(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::unique_lock<std::mutex> lock(mutex);
        while (frames.empty()) {
            if (disconnected || interrupted() || std::chrono::steady_clock::now() >= deadline) {
                return std::nullopt;
            }
            arrived.wait_for(lock, std::chrono::milliseconds(50));
        }
        Frame frame = frames.front();
        frames.pop_front();
        return frame;
    }

private:
    const unsigned wanted;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Frame> frames;
    unsigned accepted = 0;
    bool disconnected = false;
};

// Stops live view on every way out, so the camera is not left streaming.
class LiveViewSession {
public:
    explicit LiveViewSession(cc::CameraDevice& camera) : camera(camera) {
        throwIfFailed(camera.startLiveView(), "live view start");
    }
    ~LiveViewSession() { camera.stopLiveView(); }
    LiveViewSession(const LiveViewSession&) = delete;
    LiveViewSession& operator=(const LiveViewSession&) = delete;

private:
    cc::CameraDevice& camera;
};

std::string frameName(unsigned index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04u.jpg", index);
    return name;
}

void runLiveView(Context& context, const LiveViewOptions& options) {
    auto& camera = context.camera();
    auto queue = std::make_shared<FrameQueue>(options.frames);
    ListenerRegistration registration(camera, queue);
    Json files = Json::array();
    {
        LiveViewSession session(camera);
        for (unsigned i = 1; i <= options.frames; ++i) {
            const auto frame = queue->next(
                std::chrono::milliseconds(static_cast<int64_t>(options.timeout * 1000.0)));
            throwIfInterrupted();
            if (!frame) {
                throw CameraError("Timeout", "no live view frame within " +
                                                 formatNumber(options.timeout) + " s (" +
                                                 std::to_string(i - 1) + " saved)");
            }
            const fs::path path =
                writeFileAtomically(options.out, frameName(i), frame->data.get(), frame->size);
            if (context.out().json()) {
                files.push(Json::object().set("file", path.string()).set("bytes", frame->size));
            } else {
                context.out().line(path.string() + "  " + std::to_string(frame->size) + " bytes");
            }
        }
    }
    if (context.out().json()) {
        context.out().document(Json::object().set("frames", std::move(files)));
    }
}

}  // namespace

void addLiveViewCommand(CLI::App& app, CommandSet& commands) {
    auto options = std::make_shared<LiveViewOptions>();
    auto* cmd = app.add_subcommand("liveview", "Save live view frames as JPEG files");
    cmd->add_option("--frames", options->frames, "Number of frames to save")
        ->required()
        ->check(CLI::Range(1u, 100000u));
    cmd->add_option("--out", options->out, "Folder for the frames")->required()->check(nonEmpty());
    cmd->add_option("--timeout", options->timeout, "Seconds to wait for each frame")
        ->check(finiteRange(1.0, 3600.0));
    commands.add(cmd, [options](Context& context) { runLiveView(context, *options); });
}

}  // namespace camctl
