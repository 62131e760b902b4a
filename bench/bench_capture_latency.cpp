// From a still capture to the library's imageStored, minus the camera's own time: how long the
// library takes to tell the application about a picture once the camera has written it, by
// the emulated camera's own account of that moment.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "corvane/camera_controller/camera_storage_list.hpp"
#include "corvane/emulator/emulated_camera.hpp"

namespace {

using namespace Corvane::CameraController;
// System time: the camera reports its moments in it.
using Clock = std::chrono::system_clock;
using namespace std::chrono_literals;

/// The moment of each imageStored.
class StoredClock : public CameraEventListener {
public:
    void imageStored(const std::shared_ptr<const CameraDevice>&,
                     const std::shared_ptr<const CameraImage>&) override {
        const std::lock_guard<std::mutex> lock(mutex);
        times.push_back(Clock::now());
        arrived.notify_all();
    }
    /// The time of the `count`-th imageStored (1-based), waiting for it up to `bound`.
    std::optional<Clock::time_point> await(size_t count, std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!arrived.wait_for(lock, bound, [&] { return times.size() >= count; })) {
            return std::nullopt;
        }
        return times[count - 1];
    }

private:
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Clock::time_point> times;
};

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

void BM_CaptureToImageStored(benchmark::State& state) {
    constexpr int kShots = 15;
    static int run = 0;
    const std::string serial = "7400" + std::to_string(++run);
    Emulator::CameraConfig config;
    config.timeScale = 0.01;
    config.serialNumber = serial;
    const auto camera = Emulator::EmulatedCamera::create(config);
    camera->attach();
    std::shared_ptr<CameraDevice> device;
    for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
        if (found->getSerialNumber() == serial) {
            device = found;
        }
    }
    if (device == nullptr || device->connect(DeviceInterface::USB).getResult() != Result::Ok) {
        state.SkipWithError("the emulated camera did not connect");
        camera->detach();
        return;
    }
    const auto stored = std::make_shared<StoredClock>();
    device->addEventListener(stored);
    std::vector<double> library;
    std::vector<double> cameraOwn;
    for (auto _ : state) {
        for (int shot = 1; shot <= kShots; ++shot) {
            const size_t readyBefore = camera->shotReadyTimes().size();
            const auto start = Clock::now();
            if (device->startCapture(false).getResult() != Result::Ok) {
                state.SkipWithError("a capture did not start");
                break;
            }
            const auto told = stored->await(static_cast<size_t>(shot), 10000ms);
            const auto ready = camera->shotReadyTimes();
            if (!told || ready.size() <= readyBefore) {
                state.SkipWithError("no imageStored for a shot");
                break;
            }
            library.push_back(milliseconds(*told - ready[readyBefore]));
            cameraOwn.push_back(milliseconds(ready[readyBefore] - start));
            // Shots spread over the event task's cycle, as a user's do.
            std::this_thread::sleep_for(std::chrono::milliseconds(37 * shot % 200));
        }
    }
    device->removeEventListener(stored);
    device->disconnect(DeviceInterface::USB);
    camera->detach();
    if (library.empty()) {
        return;
    }
    std::sort(library.begin(), library.end());
    std::sort(cameraOwn.begin(), cameraOwn.end());
    state.counters["median_ms"] = library[library.size() / 2];
    state.counters["min_ms"] = library.front();
    state.counters["max_ms"] = library.back();
    state.counters["camera_ms"] = cameraOwn[cameraOwn.size() / 2];
}
BENCHMARK(BM_CaptureToImageStored)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
