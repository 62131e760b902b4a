// Live view through the whole library from the emulated camera: delivered frames per second
// while it runs (frames start 33 ms apart, so about 30 is the ceiling) and the CPU time per
// frame in steady state (after a warm-up, since the emulator renders its frames once, at the
// first start). The emulator answers on the library's own thread, so its share is measured
// apart: the same frames read straight from the emulated camera's transport.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/emulator/emulated_camera.hpp"
#include "mtp/mtp_device.hpp"

namespace {

using namespace Corvane::CameraController;

constexpr int kFramesPerIteration = 30;
constexpr uint16_t kLiveViewFrame = 0x9006;
constexpr uint16_t kSetDevicePropValue = 0x1016;
constexpr uint16_t kLiveViewSwitch = 0xD035;

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class FrameCounter : public CameraEventListener {
public:
    void liveViewFrameUpdated(const std::shared_ptr<const CameraDevice>&,
                              const std::shared_ptr<const unsigned char>&, uint64_t size) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            const auto now = std::chrono::steady_clock::now();
            if (frames == 0) {
                firstAt = now;
            }
            lastAt = now;
            ++frames;
            bytes += size;
        }
        arrived.notify_all();
    }

    /// Waits until `count` frames arrived since the last reset; false on a stall.
    bool waitFor(int count) {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(10), [&] { return frames >= count; });
    }
    void reset() {
        std::lock_guard<std::mutex> lock(mutex);
        frames = 0;
        bytes = 0;
    }
    uint64_t bytesReceived() {
        std::lock_guard<std::mutex> lock(mutex);
        return bytes;
    }
    /// Seconds from the first frame to the last one: the steady-state span, without the cost
    /// of starting and stopping live view.
    double frameSpanSeconds() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::chrono::duration<double>(lastAt - firstAt).count();
    }

private:
    std::mutex mutex;
    std::condition_variable arrived;
    int frames = 0;
    uint64_t bytes = 0;
    std::chrono::steady_clock::time_point firstAt;
    std::chrono::steady_clock::time_point lastAt;
};

/// A connected emulated camera whose live view frames are JPEG pictures of about 200 KB.
struct LiveViewCamera {
    LiveViewCamera() {
        Emulator::CameraConfig config;
        config.serialNumber = "BENCH-LIVEVIEW";
        config.timeScale = 0.01;
        config.liveViewWidth = 3600;
        config.liveViewHeight = 2700;
        camera = Emulator::EmulatedCamera::create(config);
        camera->attach();
        for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
            if (found->getSerialNumber() == config.serialNumber) {
                device = found;
            }
        }
        if (device != nullptr && device->connect(DeviceInterface::USB).getResult() == Result::Ok) {
            device->addEventListener(counter);
            ready = warmUp();
        }
    }

    // The first start renders the emulator's frames.
    bool warmUp() {
        counter->reset();
        const bool started = device->startLiveView().getResult() == Result::Ok;
        const bool complete = started && counter->waitFor(kFramesPerIteration);
        device->stopLiveView();
        return complete;
    }
    ~LiveViewCamera() {
        if (device != nullptr) {
            device->disconnect(DeviceInterface::USB);
        }
        camera->detach();
    }

    std::shared_ptr<Emulator::EmulatedCamera> camera;
    std::shared_ptr<CameraDevice> device;
    std::shared_ptr<FrameCounter> counter = std::make_shared<FrameCounter>();
    bool ready = false;
};

void BM_LiveViewFrames(benchmark::State& state) {
    static LiveViewCamera setup;
    if (!setup.ready) {
        state.SkipWithError("emulated camera did not connect");
        return;
    }
    double cpuSeconds = 0;
    double frameSpanSeconds = 0;
    int64_t frames = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        setup.counter->reset();
        const double cpuBefore = processCpuSeconds();
        if (setup.device->startLiveView().getResult() != Result::Ok) {
            state.SkipWithError("live view did not start");
            return;
        }
        const bool complete = setup.counter->waitFor(kFramesPerIteration);
        setup.device->stopLiveView();
        if (!complete) {
            state.SkipWithError("live view stalled");
            return;
        }
        cpuSeconds += processCpuSeconds() - cpuBefore;
        frameSpanSeconds += setup.counter->frameSpanSeconds();
        frames += kFramesPerIteration;
        bytes += setup.counter->bytesReceived();
    }
    // Frame intervals over the time they took, while live view runs; starting and stopping it
    // is in the iteration's wall time instead.
    const int64_t intervals = frames - state.iterations();
    state.counters["frames_per_second"] =
        frameSpanSeconds > 0 ? static_cast<double>(intervals) / frameSpanSeconds : 0.0;
    state.counters["cpu_us_per_frame"] = cpuSeconds * 1e6 / static_cast<double>(frames);
    state.counters["frame_kB"] = static_cast<double>(bytes) / static_cast<double>(frames) / 1000.0;
}
BENCHMARK(BM_LiveViewFrames)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The emulator's (and the PTP engine's) share of a frame: the same frames fetched straight from
// a transport of the emulated camera, without the library above it.
void BM_LiveViewFramesEmulatorAlone(benchmark::State& state) {
    Emulator::CameraConfig config;
    config.timeScale = 0.01;
    config.liveViewWidth = 3600;
    config.liveViewHeight = 2700;
    const auto camera = Emulator::EmulatedCamera::create(config);
    const auto transport = camera->openDevice();
    Impl::MtpRequest on;
    on.operationCode = kSetDevicePropValue;
    on.parameters = {kLiveViewSwitch};
    on.dataPhase = Impl::MtpDataPhase::Write;
    const uint8_t one[4] = {1, 0, 0, 0};
    on.data = one;
    on.dataSize = sizeof one;
    if (transport == nullptr || transport->execute(on).responseCode != 0x2001) {
        state.SkipWithError("live view did not start on the emulated camera");
        return;
    }
    Impl::MtpRequest frame;
    frame.operationCode = kLiveViewFrame;
    frame.dataPhase = Impl::MtpDataPhase::Read;
    // Warm-up: the first frame renders them all.
    transport->execute(frame);
    int64_t frames = 0;
    uint64_t bytes = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        for (int i = 0; i < kFramesPerIteration; ++i) {
            const Impl::MtpResponse response = transport->execute(frame);
            if (response.responseCode != 0x2001 || response.dataSize == 0) {
                state.SkipWithError("no live view frame");
                return;
            }
            benchmark::DoNotOptimize(response.data.get());
            bytes += response.dataSize;
        }
        cpuSeconds += processCpuSeconds() - cpuBefore;
        frames += kFramesPerIteration;
    }
    state.counters["cpu_us_per_frame"] = cpuSeconds * 1e6 / static_cast<double>(frames);
    state.counters["frame_kB"] = static_cast<double>(bytes) / static_cast<double>(frames) / 1000.0;
    transport->close();
}
BENCHMARK(BM_LiveViewFramesEmulatorAlone)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
