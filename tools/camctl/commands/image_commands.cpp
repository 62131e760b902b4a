// ls, download and delete: the images on the camera's cards.
#include "commands.hpp"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include <unistd.h>

#include "../atomic_file.hpp"
#include "../camera_queries.hpp"
#include "../download.hpp"
#include "../errors.hpp"
#include "../failure_reason.hpp"
#include "../formatting.hpp"
#include "../interrupt.hpp"
#include "../progress.hpp"

namespace camctl {

namespace {

using ImagePtr = std::shared_ptr<const cc::CameraImage>;

struct DownloadOptions {
    std::vector<std::string> arguments;
    bool all = false;
};

bool listingDone(cc::ListingState state) {
    return state == cc::ListingState::Complete || state == cc::ListingState::Stopped ||
           state == cc::ListingState::Failed;
}

// "N images found" on standard error while a listing runs, when that is a terminal.
class ListingCount {
public:
    ListingCount() : enabled(ProgressBar::wanted()) {}
    ListingCount(const ListingCount&) = delete;
    ListingCount& operator=(const ListingCount&) = delete;
    ~ListingCount() {
        if (drawn) {
            write("\r\033[K");
        }
    }

    void show(size_t count) {
        if (enabled && count != shown) {
            shown = count;
            drawn = true;
            write("\r" + std::to_string(count) + (count == 1 ? " image" : " images") + " found");
        }
    }

private:
    static void write(const std::string& text) {
        if (::write(STDERR_FILENO, text.data(), text.size()) < 0) {
            return;  // a count nobody sees is no failure
        }
    }

    const bool enabled;
    bool drawn = false;
    size_t shown = 0;
};

// The images of `camera` not in `seen` (which takes them), in camctl's usual order. Called
// every few milliseconds while thousands are listed, so only the new ones are sorted.
std::vector<ImagePtr> newImages(const cc::CameraDevice& camera, std::set<ImagePtr>& seen) {
    const auto snapshot = camera.getImages().clone();
    std::vector<ImagePtr> found;
    for (size_t i = 0; i < snapshot->size(); ++i) {
        // Held by `seen`, an image's address is never reused for another one.
        auto image = snapshot->get(i);
        if (seen.insert(image).second) {
            found.push_back(std::move(image));
        }
    }
    sortImages(found);
    return found;
}

// The library lists the cards in the background after connecting. Hands each image to
// `onImage` as the listing finds it, until every card is done, so that a long listing shows
// results at once. A listing that finds nothing new for two minutes is given up on; the time
// `onImage` takes (a download) does not count.
template <typename OnImage>
void followListings(Context& context, cc::CameraDevice& camera, OnImage onImage) {
    constexpr auto kPatience = std::chrono::minutes(2);
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    const auto& storages = camera.getStorages();
    std::set<ImagePtr> seen;
    ListingCount count;
    const auto allDone = [&] {
        for (size_t i = 0; i < storages.size(); ++i) {
            const auto storage = storages.get(i);
            if (storage->isAvailable() && !listingDone(storage->getListingState())) {
                return false;
            }
        }
        return true;
    };
    for (;;) {
        throwIfInterrupted();
        // Read the states first: images found before a listing ended are then all taken.
        const bool done = allDone();
        const auto found = newImages(camera, seen);
        for (const auto& image : found) {
            onImage(image);
            count.show(seen.size());
        }
        if (!found.empty()) {
            deadline = std::chrono::steady_clock::now() + kPatience;
        }
        if (done) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            context.out().note("warning: a listing is not finished; showing what is known");
            break;
        }
        sleepUnlessInterrupted(std::chrono::milliseconds(20));
    }
}

// A card the camera could not list completely: what is known is not everything, so a
// command that acts on all images must not go on as if it were.
void throwIfAListingFailed(cc::CameraDevice& camera) {
    const auto& storages = camera.getStorages();
    for (size_t i = 0; i < storages.size(); ++i) {
        const auto storage = storages.get(i);
        if (storage->isAvailable() && storage->getListingState() == cc::ListingState::Failed) {
            throw CameraError("ListingFailed", "the images of storage " + storage->getId() +
                                                   " could not all be listed; the list is "
                                                   "incomplete");
        }
    }
}

std::vector<ImagePtr> allImages(Context& context, cc::CameraDevice& camera) {
    std::vector<ImagePtr> images;
    followListings(context, camera, [&](const ImagePtr& image) { images.push_back(image); });
    throwIfAListingFailed(camera);
    return imagesInOrder(camera);
}

// The images named by `ids`, in the order given, each once. Unknown ids are a usage error.
std::vector<ImagePtr> imagesById(Context& context, cc::CameraDevice& camera,
                                 const std::vector<std::string>& ids) {
    const auto images = allImages(context, camera);
    std::vector<ImagePtr> chosen;
    std::set<std::string> seen;
    for (const auto& id : ids) {
        if (!seen.insert(id).second) {
            continue;
        }
        const auto found = std::find_if(images.begin(), images.end(), [&](const ImagePtr& image) {
            return image->getId() == id;
        });
        if (found == images.end()) {
            throw UsageError("no image with id " + id + " on the camera (see: camctl ls)");
        }
        chosen.push_back(*found);
    }
    return chosen;
}

std::string padded(std::string text, size_t width) {
    text.resize(std::max(width, text.size() + 1), ' ');
    return text;
}

void runLs(Context& context) {
    auto& camera = context.camera();
    if (context.out().json()) {
        Json list = Json::array();
        for (const auto& image : allImages(context, camera)) {
            list.push(imageJson(*image));
        }
        context.out().document(Json::object().set("images", std::move(list)));
        return;
    }
    bool any = false;
    followListings(context, camera, [&](const ImagePtr& image) {
        if (!std::exchange(any, true)) {
            context.out().line(padded("ID", 10) + padded("NAME", 24) + padded("SIZE", 12) +
                               padded("DATE", 21) + "STORAGE");
        }
        context.out().line(padded(image->getId(), 10) + padded(printable(image->getName()), 24) +
                           padded(formatBytes(image->getSize()), 12) +
                           padded(formatLocalTime(image->getDateTime()), 21) + storageIdOf(*image));
    });
    throwIfAListingFailed(camera);
    if (!any) {
        context.out().line("No images.");
    }
}

// Downloads `images` one by one and reports each file's outcome. A camera failure or a file too
// big for the space left does not stop the others; a folder that cannot be written at all
// does, and the files after it are reported as not tried.
class DownloadSeries {
public:
    DownloadSeries(Context& context, std::filesystem::path folder)
        : context(context), folder(std::move(folder)) {}

    void run(const std::vector<ImagePtr>& images) {
        for (const auto& image : images) {
            add(image);
        }
        end();
    }

    /// Downloads one more image.
    void add(const ImagePtr& image) {
        if (!started) {
            // A run that was killed leaves its hidden temporary file behind; clean up old ones.
            removeStaleTemporaryFiles(folder);
            started = true;
        }
        Json entry = Json::object().set("id", image->getId()).set("name", image->getName());
        try {
            download(*image, entry);
        } catch (const Interrupted&) {
            entry.set("error", failureJson("Interrupted", "interrupted", ""));
            files.push(std::move(entry));
            finish();
            throw;
        }
        files.push(std::move(entry));
    }

    /// Reports the series; throws when a file failed.
    void end() {
        finish();
        if (failed) {
            throw ReportedFailure();
        }
    }

    /// Whether any image was handed to add().
    bool any() const { return started; }

private:
    void download(const cc::CameraImage& image, Json& entry) {
        if (!stopReason.empty()) {
            fail(image, entry, "NotTried", "not tried: " + stopReason, "");
            return;
        }
        try {
            const DownloadedFile file = downloadImage(image, folder);
            entry.set("file", file.path.string()).set("bytes", file.size);
            if (!context.out().json()) {
                context.out().line(image.getId() + "  " + printable(image.getName()) + " -> " +
                                   file.path.string() + "  (" + formatBytes(file.size) + ")");
            }
        } catch (const CameraError& error) {
            fail(image, entry, error.codeName(), error.what(), context.reasonFor(error));
        } catch (const LocalFileError& error) {
            fail(image, entry, "WriteError", error.what(), "");
            if (!error.concernsThisFileOnly()) {
                stopReason = error.what();
            }
        }
    }

    void fail(const cc::CameraImage& image, Json& entry, const std::string& code,
              const std::string& message, const std::string& reason) {
        failed = true;
        entry.set("error", failureJson(code, message, reason));
        context.out().note("error: " + image.getId() + ": " +
                           describeFailure(code, message, reason));
    }

    void finish() {
        if (context.out().json()) {
            context.out().document(Json::object().set("files", std::move(files)));
        }
    }

    Context& context;
    const std::filesystem::path folder;
    Json files = Json::array();
    std::string stopReason;
    bool failed = false;
    bool started = false;
};

void runDownload(Context& context, const DownloadOptions& options) {
    const auto& arguments = options.arguments;
    if (arguments.empty()) {
        throw UsageError("download needs a target folder: download (ID... | --all) DIR");
    }
    if (options.all && arguments.size() != 1) {
        throw UsageError("download --all takes only the target folder");
    }
    if (!options.all && arguments.size() < 2) {
        throw UsageError("download needs image ids (or --all) and a target folder");
    }
    if (arguments.back().empty()) {
        throw UsageError("the target folder must not be empty (use . for this folder)");
    }
    const std::filesystem::path folder = arguments.back();
    auto& camera = context.camera();
    DownloadSeries series(context, folder);
    if (options.all) {
        // Each image is fetched as soon as the listing finds it; the listing goes on between
        // the download's transactions.
        try {
            followListings(context, camera, [&](const ImagePtr& image) { series.add(image); });
            throwIfAListingFailed(camera);
        } catch (const CameraError&) {
            // The files already saved are reported; the incomplete listing is the error.
            if (series.any()) {
                try {
                    series.end();
                } catch (const ReportedFailure&) {
                }
            }
            throw;
        }
    } else {
        series.run(imagesById(context, camera, {arguments.begin(), arguments.end() - 1}));
        return;
    }
    if (!series.any() && !context.out().json()) {
        context.out().line("No images.");
    }
    series.end();
}

void runDelete(Context& context, const std::vector<std::string>& ids) {
    auto& camera = context.camera();
    const auto images = imagesById(context, camera, ids);
    bool failed = false;
    Json deleted = Json::array();
    for (const auto& image : images) {
        const auto response = image->deleteData();
        Json entry = Json::object().set("id", image->getId()).set("name", image->getName());
        try {
            throwIfFailed(response, "delete of " + image->getId());
            entry.set("deleted", true);
            if (!context.out().json()) {
                context.out().line("deleted " + image->getId() + "  " +
                                   printable(image->getName()));
            }
        } catch (const CameraError& error) {
            failed = true;
            entry.set("deleted", false).set("error", context.errorJson(error));
            context.out().note("error: " + image->getId() + ": " + context.describe(error));
        }
        deleted.push(std::move(entry));
    }
    if (context.out().json()) {
        context.out().document(Json::object().set("deleted", std::move(deleted)));
    }
    if (failed) {
        throw ReportedFailure();
    }
}

}  // namespace

void addImageCommands(CLI::App& app, CommandSet& commands) {
    commands.add(app.add_subcommand("ls", "List the images on the camera's cards"), runLs);

    auto download = std::make_shared<DownloadOptions>();
    auto* dl = app.add_subcommand("download", "Download images: download (ID... | --all) DIR");
    dl->add_option("args", download->arguments, "Image ids, then the target folder");
    dl->add_flag("--all", download->all, "Download every image");
    commands.add(dl, [download](Context& context) { runDownload(context, *download); });

    auto ids = std::make_shared<std::vector<std::string>>();
    auto* del = app.add_subcommand("delete", "Delete images from the camera");
    del->add_option("id", *ids, "Image ids (see ls)")->required();
    commands.add(del, [ids](Context& context) { runDelete(context, *ids); });
}

}  // namespace camctl
