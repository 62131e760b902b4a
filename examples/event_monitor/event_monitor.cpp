// Prints the current exposure settings of the first Quorin camera, then every event it reports
// (new images, finished captures, settings changed on the body, unplugging) for a while.
//
//   example_event_monitor [SECONDS]
//   example_event_monitor --emulate [SECONDS]
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

#include <corvane/camera_controller.hpp>

#include "../common/optional_emulator.hpp"

using namespace Corvane::CameraController;

namespace {

// Handlers run on the library's threads; the mutex keeps printed lines whole.
class EventPrinter : public CameraEventListener {
public:
    void imageAdded(const std::shared_ptr<const CameraDevice>&,
                    const std::shared_ptr<const CameraImage>& image) override {
        print("image added: " + (image ? image->getName() : std::string("?")));
    }
    void imageStored(const std::shared_ptr<const CameraDevice>&,
                     const std::shared_ptr<const CameraImage>& image) override {
        print("image stored: " + image->getName() + " (" + std::to_string(image->getSize()) +
              " bytes, id " + image->getId() + ")");
    }
    void captureComplete(const std::shared_ptr<const CameraDevice>&,
                         const std::shared_ptr<const Capture>& capture) override {
        print("capture complete: " + capture->getId());
    }
    // Each changed setting arrives already holding its new value.
    void captureSettingsChanged(
        const std::shared_ptr<const CameraDevice>&,
        const std::vector<std::shared_ptr<const CaptureSetting>>& settings) override {
        for (const auto& setting : settings) {
            print("changed on the camera: " + setting->toString());
        }
    }
    void deviceDisconnected(const std::shared_ptr<const CameraDevice>&, DeviceInterface) override {
        print("camera disconnected");
        gone = true;
    }

    std::atomic<bool> gone{false};

private:
    void print(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex);
        std::cout << line << std::endl;
    }
    std::mutex mutex;
};

}  // namespace

int main(int argc, char** argv) {
    const auto emulator = corvane_examples::attachEmulatorIfAsked(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;

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

    // Read settings by passing empty settings; the camera fills in each value and the values
    // it accepts right now.
    ExposureProgram program;
    FNumber aperture;
    ShutterSpeed shutter;
    ISO iso;
    if (camera->getCaptureSettings({&program, &aperture, &shutter, &iso}).getResult() ==
        Result::Ok) {
        for (const CaptureSetting* setting :
             std::initializer_list<const CaptureSetting*>{&program, &aperture, &shutter, &iso}) {
            std::cout << setting->toString() << "  (" << setting->getAvailableSettings().size()
                      << " values accepted now)\n";
        }
    }

    auto printer = std::make_shared<EventPrinter>();
    camera->addEventListener(printer);
    std::cout << "Watching for " << seconds << " s; press the shutter or turn a dial.\n";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!printer->gone && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    camera->removeEventListener(printer);
    if (!printer->gone) {
        camera->disconnect(DeviceInterface::USB);
    }
    return 0;
}
