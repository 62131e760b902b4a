// Memory the library needs to download a 1 GiB file: the peak resident set during the
// download above the resident set just before it. The library must stream (1 MiB pieces), so
// the figure stays flat however large the file is.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>

#include "corvane/camera_controller.hpp"
#include "corvane/emulator/emulated_camera.hpp"

namespace {

using namespace Corvane::CameraController;

constexpr uint64_t kFileSize = uint64_t{1} << 30;
constexpr double kMiB = 1024.0 * 1024.0;

/// Counts and drops what it is given, so the sink itself holds no memory.
class CountingBuffer : public std::streambuf {
public:
    uint64_t count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        count += static_cast<uint64_t>(n);
        return n;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            ++count;
        }
        return traits_type::not_eof(c);
    }
};

/// A "VmRSS"/"VmHWM" figure of /proc/self/status in bytes; 0 when unavailable.
uint64_t statusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) {
            std::istringstream value(line.substr(field.size() + 1));
            uint64_t kib = 0;
            value >> kib;
            return kib * 1024;
        }
    }
    return 0;
}

/// Restarts the peak (VmHWM) at the current resident set; false when the kernel refuses.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

std::shared_ptr<const CameraImage> waitForImage(const CameraDevice& camera, uint64_t size) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto images = camera.getImages().clone();
        for (size_t i = 0; i < images->size(); ++i) {
            if (images->get(i)->getSize() == size) {
                return images->get(i);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

void BM_Memory_Download1GiB(benchmark::State& state) {
    Emulator::CameraConfig config;
    config.timeScale = 0.01;
    Emulator::CardSlotConfig slot;
    slot.files.push_back({"DCIM/100QUORN/QRN_0001.QRW", kFileSize, false});
    config.slots = {slot};
    const auto emulated = Emulator::EmulatedCamera::create(config);
    emulated->attach();

    std::shared_ptr<CameraDevice> camera;
    for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
        if (found->getSerialNumber() == config.serialNumber) {
            camera = found;
        }
    }
    if (camera == nullptr || camera->connect(DeviceInterface::USB).getResult() != Result::Ok) {
        state.SkipWithError("the emulated camera did not connect");
        emulated->detach();
        return;
    }
    const auto image = waitForImage(*camera, kFileSize);
    if (image == nullptr) {
        state.SkipWithError("the 1 GiB file was not listed");
    }

    double above = 0;
    double seconds = 0;
    for (auto _ : state) {
        if (image == nullptr) {
            break;
        }
        CountingBuffer sink;
        std::ostream out(&sink);
        const uint64_t baseline = statusBytes("VmRSS");
        const bool peakReset = resetPeak();
        const auto start = std::chrono::steady_clock::now();
        const Response response = image->getData(out);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (response.getResult() != Result::Ok || sink.count != kFileSize) {
            state.SkipWithError("the download failed");
            break;
        }
        if (!peakReset) {
            state.SkipWithError("the kernel does not let the peak resident set be reset");
            break;
        }
        const uint64_t peak = statusBytes("VmHWM");
        above = peak > baseline ? static_cast<double>(peak - baseline) / kMiB : 0.0;
    }
    state.counters["peak_above_baseline_MiB"] = above;
    state.counters["download_MiB_per_s"] = seconds > 0 ? kFileSize / kMiB / seconds : 0.0;

    camera->disconnect(DeviceInterface::USB);
    emulated->detach();
}
BENCHMARK(BM_Memory_Download1GiB)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
