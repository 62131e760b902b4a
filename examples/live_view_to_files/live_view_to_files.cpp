// Runs live view on the first Quorin camera and writes a number of frames as JPEG files.
//
//   example_live_view_to_files [FRAMES] [FOLDER]
//   example_live_view_to_files --emulate [FRAMES] [FOLDER]
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>

#include <corvane/camera_controller.hpp>

#include "../common/optional_emulator.hpp"

using namespace Corvane::CameraController;

namespace {

// Each frame is one complete JPEG picture. Frames arrive on the library's live view thread,
// which waits for this handler before it fetches the next frame: keep the handler short.
class FrameWriter : public CameraEventListener {
public:
    FrameWriter(std::string folder, int wanted) : folder(std::move(folder)), wanted(wanted) {}

    void liveViewFrameUpdated(const std::shared_ptr<const CameraDevice>&,
                              const std::shared_ptr<const unsigned char>& data,
                              uint64_t size) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (written >= wanted) {
            return;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04d.jpg", written + 1);
        std::ofstream file(folder + name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(data.get()), static_cast<std::streamsize>(size));
        if (file) {
            ++written;
            std::cout << folder << name << "  " << size << " bytes\n";
        }
        done.notify_all();
    }

    // Waits until enough frames are written, or the timeout passes.
    bool wait(std::chrono::seconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        return done.wait_for(lock, timeout, [this] { return written >= wanted; });
    }

private:
    const std::string folder;
    const int wanted;
    std::mutex mutex;
    std::condition_variable done;
    int written = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const auto emulator = corvane_examples::attachEmulatorIfAsked(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 10;
    const std::string folder = argc > 2 ? argv[2] : ".";

    const auto cameras = CameraDeviceDetector::detect(DeviceInterface::USB);
    if (cameras.empty()) {
        std::cerr << "No camera found.\n";
        return 1;
    }
    const auto camera = cameras.front();
    if (camera->connect(DeviceInterface::USB).getResult() != Result::Ok) {
        std::cerr << "Cannot connect.\n";
        return 1;
    }

    auto writer = std::make_shared<FrameWriter>(folder, frames);
    camera->addEventListener(writer);
    int status = 1;
    if (camera->startLiveView().getResult() == Result::Ok) {
        status = writer->wait(std::chrono::seconds(30)) ? 0 : 1;
        // Stop from this thread, never from inside the frame handler: stopping waits for the
        // live view thread, which would be the one running the handler.
        camera->stopLiveView();
    } else {
        std::cerr << "The camera refused live view.\n";
    }
    camera->removeEventListener(writer);
    camera->disconnect(DeviceInterface::USB);
    return status;
}
