// Finds the first Quorin camera, connects, takes one picture with autofocus and saves every file
// the picture produced into a folder.
//
//   example_capture_and_download [FOLDER]            (a real camera on USB)
//   example_capture_and_download --emulate [FOLDER]  (an emulated one)
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>

#include "../common/optional_emulator.hpp"

using namespace Corvane::CameraController;

namespace {

// Prints the first error of a failed response; returns whether the response was a success.
bool succeeded(const Response& response, const char* what) {
    if (response.getResult() == Result::Ok) {
        return true;
    }
    std::cerr << what << " failed";
    if (!response.getErrors().empty()) {
        std::cerr << ": " << response.getErrors().front()->getMessage();
    }
    std::cerr << "\n";
    return false;
}

// A camera chooses its file names; never let one name a path. Keep the last component only and
// refuse names that would be special.
std::string safeFileName(const CameraImage& image) {
    std::string name = image.getName();
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    if (name.empty() || name[0] == '.') {
        name = "image-" + image.getId() + ".bin";
    }
    return name;
}

bool save(const CameraImage& image, const std::string& folder) {
    const std::string path = folder + "/" + safeFileName(image);
    std::ofstream file(path, std::ios::binary);
    if (!file || !succeeded(image.getData(file), "download")) {
        return false;
    }
    std::cout << "saved " << path << "\n";
    return true;
}

// Collects what the camera reports while the capture runs. Handlers run on the library's event
// thread, so everything shared with main() is guarded by the mutex.
class CaptureListener : public CameraEventListener {
public:
    explicit CaptureListener(std::string folder) : folder(std::move(folder)) {}

    // Without a card the picture waits in the camera's transfer buffer, which is released as
    // soon as this handler returns: download it right here.
    void imageAdded(const std::shared_ptr<const CameraDevice>&,
                    const std::shared_ptr<const CameraImage>& image) override {
        if (image && !image->getStorage()) {
            save(*image, folder);
        }
    }

    // A new file on a card: remember it, download it after the capture completes.
    void imageStored(const std::shared_ptr<const CameraDevice>&,
                     const std::shared_ptr<const CameraImage>& image) override {
        std::lock_guard<std::mutex> lock(mutex);
        stored.push_back(image);
    }

    void captureComplete(const std::shared_ptr<const CameraDevice>&,
                         const std::shared_ptr<const Capture>& capture) override {
        std::lock_guard<std::mutex> lock(mutex);
        completed.insert(capture->getId());
        changed.notify_all();
    }

    // Waits (bounded) until the given capture has delivered all of its files.
    bool waitUntilComplete(const Capture& capture, std::chrono::seconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] {
            return completed.count(capture.getId()) > 0 ||
                   capture.getState() != CaptureState::Executing;
        }) && capture.getState() == CaptureState::Complete;
    }

    std::vector<std::shared_ptr<const CameraImage>> storedImages() {
        std::lock_guard<std::mutex> lock(mutex);
        return stored;
    }

private:
    const std::string folder;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::shared_ptr<const CameraImage>> stored;
    std::set<std::string> completed;
};

}  // namespace

int main(int argc, char** argv) {
    const auto emulator = corvane_examples::attachEmulatorIfAsked(argc, argv);
    const std::string folder = argc > 1 ? argv[1] : ".";

    // 1. Detect: one CameraDevice per attached camera.
    const auto cameras = CameraDeviceDetector::detect(DeviceInterface::USB);
    if (cameras.empty()) {
        std::cerr << "No camera found.\n";
        return 1;
    }
    const std::shared_ptr<CameraDevice> camera = cameras.front();
    std::cout << "Using " << camera->getModel() << " (serial " << camera->getSerialNumber()
              << ")\n";

    // 2. Connect. This also starts the background listing of the cards and the event polling.
    if (!succeeded(camera->connect(DeviceInterface::USB), "connect")) {
        return 1;
    }

    // 3. Register the listener before starting, so no event of the capture is missed.
    auto listener = std::make_shared<CaptureListener>(folder);
    camera->addEventListener(listener);

    // 4. Capture with autofocus. The call returns once the camera has started the capture; the
    //    files arrive later as events.
    const StartCaptureResponse started = camera->startCapture(true);
    int status = 1;
    if (succeeded(started, "capture")) {
        const auto capture = started.getCapture();
        if (listener->waitUntilComplete(*capture, std::chrono::seconds(60))) {
            // 5. Download the files the capture wrote to the card(s).
            status = 0;
            for (const auto& image : listener->storedImages()) {
                if (!save(*image, folder)) {
                    status = 1;
                }
            }
        } else {
            std::cerr << "The capture did not complete in time.\n";
        }
    }

    camera->removeEventListener(listener);
    camera->disconnect(DeviceInterface::USB);
    return status;
}
