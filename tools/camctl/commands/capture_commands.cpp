// capture and movie: take pictures or record, wait for the files, download them.
#include "commands.hpp"

#include <optional>
#include <thread>

#include "../arguments.hpp"
#include "../atomic_file.hpp"
#include "../capture_collector.hpp"
#include "../errors.hpp"
#include "../formatting.hpp"
#include "../interrupt.hpp"
#include "../listener_registration.hpp"
#include "../progress.hpp"

namespace camctl {

namespace fs = std::filesystem;

namespace {

struct CaptureOptions {
    bool noFocus = false;
    std::string focusPoint;
    unsigned count = 1;
    double interval = 0;
    std::string download;
    double timeout = 60;
};

struct MovieOptions {
    double duration = 0;
    std::string download;
    double timeout = 120;
};

std::chrono::milliseconds toMillis(double seconds) {
    return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0));
}

// Stored files are downloaded after the capture completed; pictures from the transfer buffer
// were already saved by the collector. A failed download is kept with its image, so the
// capture is still reported and a series goes on.
void downloadStored(Context& context, std::vector<ProducedImage>& images,
                    const std::optional<fs::path>& folder) {
    if (!folder) {
        return;
    }
    for (auto& item : images) {
        if (item.file || !item.error.empty() || !item.image->getStorage()) {
            continue;
        }
        try {
            item.file = downloadImage(*item.image, *folder);
        } catch (const CameraError& error) {
            item.error = context.describe(error);
        } catch (const LocalFileError& error) {
            item.error = error.what();
        }
    }
}

// The folder given with --download; stale temporary files of killed runs are removed from it.
std::optional<fs::path> downloadFolder(const std::string& option) {
    if (option.empty()) {
        return std::nullopt;
    }
    removeStaleTemporaryFiles(option);
    return fs::path(option);
}

Json producedJson(const ProducedImage& item) {
    Json json = imageJson(*item.image);
    json.set("file", item.file ? Json(item.file->path.string()) : Json());
    if (item.file) {
        json.set("bytes", item.file->size);
    }
    if (!item.error.empty()) {
        json.set("error", item.error);
    }
    return json;
}

std::string producedLine(const ProducedImage& item) {
    const auto& image = *item.image;
    const std::string storage = storageIdOf(image);
    std::string line = "  " + (storage.empty() ? std::string("-") : image.getId()) + "  " +
                       printable(image.getName()) + "  " +
                       formatBytes(item.file ? item.file->size : image.getSize()) + "  " +
                       (storage.empty() ? "not on a card" : "storage " + storage);
    if (item.file) {
        line += "  -> " + item.file->path.string();
    }
    if (!item.error.empty()) {
        line += "  (not saved: " + item.error + ")";
    }
    return line;
}

void report(Context& context, Json& captures, const cc::Capture& capture,
            const std::vector<ProducedImage>& images) {
    if (context.out().json()) {
        Json json = captureJson(capture);
        Json list = Json::array();
        for (const auto& item : images) {
            list.push(producedJson(item));
        }
        json.set("images", std::move(list));
        captures.push(std::move(json));
        return;
    }
    context.out().line("Capture " + capture.getId() + ": " + captureStateName(capture.getState()));
    for (const auto& item : images) {
        context.out().line(producedLine(item));
    }
}

void throwForOutcome(CaptureOutcome outcome, const cc::Capture& capture, double timeout) {
    switch (outcome) {
        case CaptureOutcome::Complete:
            return;
        case CaptureOutcome::Failed:
            throw CameraError("Unknown",
                              "capture " + capture.getId() + " ended without all of its files");
        case CaptureOutcome::Disconnected:
            throw CameraError("NotConnected", "the camera was disconnected");
        case CaptureOutcome::TimedOut:
            throw CameraError("Timeout", "capture " + capture.getId() +
                                             " did not complete within " + formatNumber(timeout) +
                                             " s");
        case CaptureOutcome::Interrupted:
            throw Interrupted();
    }
}

bool failedToSave(const std::vector<ProducedImage>& images) {
    for (const auto& item : images) {
        if (!item.error.empty()) {
            return true;
        }
    }
    return false;
}

void finish(Context& context, Json& captures, bool anyUnsaved) {
    if (context.out().json()) {
        context.out().document(Json::object().set("captures", std::move(captures)));
    }
    if (anyUnsaved) {
        throw ReportedFailure();
    }
}

void runCapture(Context& context, const CaptureOptions& options) {
    std::optional<cc::Point> point;
    if (!options.focusPoint.empty()) {
        point = parsePoint(options.focusPoint);
    }
    const std::optional<fs::path> folder = downloadFolder(options.download);
    auto& camera = context.camera();
    // Without a card the picture exists only until the event handler returns; losing it silently
    // would be worse than saving it where the user stands.
    auto collector = std::make_shared<CaptureCollector>(folder ? *folder : fs::path("."));
    ListenerRegistration registration(camera, collector);

    Json captures = Json::array();
    bool anyUnsaved = false;
    for (unsigned shot = 0; shot < options.count; ++shot) {
        const auto started = std::chrono::steady_clock::now();
        throwIfInterrupted();
        const cc::StartCaptureResponse response =
            point ? camera.startCapture(*point) : camera.startCapture(!options.noFocus);
        throwIfFailed(response, "capture");
        const auto capture = response.getCapture();
        if (!capture) {
            throw CameraError("Unknown", "the camera started no capture");
        }
        const CaptureOutcome outcome = collector->waitFor(*capture, toMillis(options.timeout));
        auto images = collector->take();
        if (outcome == CaptureOutcome::Complete) {
            downloadStored(context, images, folder);
        }
        for (const auto& item : images) {
            if (!folder && item.file) {
                context.out().note("note: no card in the camera; saved " +
                                   item.file->path.string());
            }
        }
        report(context, captures, *capture, images);
        anyUnsaved = anyUnsaved || failedToSave(images);
        throwForOutcome(outcome, *capture, options.timeout);
        if (shot + 1 < options.count &&
            !sleepUnlessInterrupted(std::chrono::duration_cast<std::chrono::milliseconds>(
                started + toMillis(options.interval) - std::chrono::steady_clock::now()))) {
            throw Interrupted();
        }
    }
    finish(context, captures, anyUnsaved);
}

bool inMovieMode(cc::CameraDevice& camera) {
    cc::CaptureMethod method;
    throwIfFailed(camera.getCaptureSettings({&method}), "reading CaptureMethod");
    return method.hasValue() && method == *cc::CaptureMethod::Movie;
}

void runMovie(Context& context, const MovieOptions& options) {
    const std::optional<fs::path> folder = downloadFolder(options.download);
    auto& camera = context.camera();
    if (!inMovieMode(camera)) {
        throw CameraError("NotInMovieMode",
                          "the camera is in still mode; switch it to movie mode first");
    }
    auto collector = std::make_shared<CaptureCollector>(folder ? *folder : fs::path("."));
    ListenerRegistration registration(camera, collector);

    const cc::StartCaptureResponse response = camera.startCapture(false);
    throwIfFailed(response, "movie start");
    const auto capture = response.getCapture();
    if (!capture) {
        throw CameraError("Unknown", "the camera started no recording");
    }
    context.out().note("Recording for " + formatNumber(options.duration) + " s ...");
    const bool completed = sleepUnlessInterrupted(toMillis(options.duration));
    // Stop even when interrupted: a camera left recording fills its card.
    throwIfFailed(camera.stopCapture(), "movie stop");
    if (!completed) {
        throw Interrupted();
    }
    const CaptureOutcome outcome = collector->waitFor(*capture, toMillis(options.timeout));
    auto images = collector->take();
    if (outcome == CaptureOutcome::Complete) {
        downloadStored(context, images, folder);
    }
    Json captures = Json::array();
    report(context, captures, *capture, images);
    throwForOutcome(outcome, *capture, options.timeout);
    finish(context, captures, failedToSave(images));
}

}  // namespace

void addCaptureCommands(CLI::App& app, CommandSet& commands) {
    auto capture = std::make_shared<CaptureOptions>();
    auto* cmd = app.add_subcommand("capture", "Take pictures and optionally download them");
    auto* noFocus = cmd->add_flag("--no-focus", capture->noFocus, "Release without autofocus");
    cmd->add_option("--focus-point", capture->focusPoint, "Autofocus at X,Y (fractions, 0..1)")
        ->excludes(noFocus);
    cmd->add_option("--count", capture->count, "Number of pictures")
        ->check(CLI::Range(1u, 100000u));
    cmd->add_option("--interval", capture->interval, "Seconds from one start to the next")
        ->check(finiteRange(0.0, 86400.0));
    cmd->add_option("--download", capture->download, "Download the new files into this folder")
        ->check(nonEmpty());
    cmd->add_option("--timeout", capture->timeout, "Seconds to wait for each capture's files")
        ->check(finiteRange(1.0, 3600.0));
    commands.add(cmd, [capture](Context& context) { runCapture(context, *capture); });

    auto movie = std::make_shared<MovieOptions>();
    auto* mv = app.add_subcommand("movie", "Record a movie (the camera must be in movie mode)");
    mv->add_option("--duration", movie->duration, "Seconds to record")
        ->required()
        ->check(finiteRange(0.1, 86400.0));
    mv->add_option("--download", movie->download, "Download the movie into this folder")
        ->check(nonEmpty());
    mv->add_option("--timeout", movie->timeout, "Seconds to wait for the files after stopping")
        ->check(finiteRange(1.0, 3600.0));
    commands.add(mv, [movie](Context& context) { runMovie(context, *movie); });
}

}  // namespace camctl
