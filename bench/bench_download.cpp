// Image download through the whole library (adapter, PTP engine, in-memory USB pipe) from the
// emulated camera into a stream that discards, beside plain memcpy bandwidth measured in the
// same run; and the peak memory growth while a 1 GiB file is downloaded.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_image.hpp"
#include "corvane/camera_controller/camera_image_list.hpp"
#include "corvane/emulator/emulated_camera.hpp"

namespace {

using namespace Corvane::CameraController;

constexpr uint64_t kMiB = uint64_t{1} << 20;

class DiscardingBuffer : public std::streambuf {
protected:
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

/// A connected emulated camera whose card holds one movie file of `size` bytes.
struct Download {
    explicit Download(uint64_t size, const std::string& serial) {
        Emulator::CameraConfig config;
        config.timeScale = 0.01;
        config.serialNumber = serial;
        Emulator::CardSlotConfig card;
        card.files = {{"DCIM/MOV_0001.MOV", size, false}};
        Emulator::CardSlotConfig empty;
        empty.cardInserted = false;
        config.slots = {card, empty};
        camera = Emulator::EmulatedCamera::create(config);
        camera->attach();
        for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
            if (found->getSerialNumber() == serial) {
                device = found;
            }
        }
        if (device == nullptr || device->connect(DeviceInterface::USB).getResult() != Result::Ok) {
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (device->getImages().size() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (device->getImages().size() > 0) {
            image = device->getImages().get(0);
        }
    }
    ~Download() {
        if (device != nullptr) {
            device->disconnect(DeviceInterface::USB);
        }
        camera->detach();
    }

    std::shared_ptr<Emulator::EmulatedCamera> camera;
    std::shared_ptr<CameraDevice> device;
    std::shared_ptr<const CameraImage> image;
};

/// Bytes per second of memcpy over buffers of `size`, best of a few rounds.
double memcpyBandwidth(size_t size) {
    std::vector<char> from(size, 1);
    std::vector<char> to(size, 0);
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), size);
        benchmark::DoNotOptimize(to.data());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::max(best, static_cast<double>(size) / took.count());
    }
    return best;
}

/// Kilobytes from a line of /proc/self/status ("VmHWM", "VmRSS"); 0 when unavailable.
long statusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::stol(line.substr(key.size() + 1));
        }
    }
    return 0;
}

/// Restarts the kernel's peak-RSS count at the current RSS (Linux 4.0 and later).
bool resetPeakRss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}

void BM_GetImageData256MiB(benchmark::State& state) {
    static int run = 0;
    const Download download(256 * kMiB, "8100" + std::to_string(++run));
    if (download.image == nullptr) {
        state.SkipWithError("emulated camera did not list its file");
        return;
    }
    DiscardingBuffer discard;
    std::ostream out(&discard);
    for (auto _ : state) {
        if (download.image->getData(out).getResult() != Result::Ok) {
            state.SkipWithError("download failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(download.image->getSize()));
    const double memcpyRate = memcpyBandwidth(256 * kMiB);
    state.counters["memcpy_MiBps"] = memcpyRate / kMiB;
    state.counters["download_MiBps"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 256, benchmark::Counter::kIsRate);
    // The share of memcpy bandwidth is download_MiBps / memcpy_MiBps (target 25 % or more).
}
BENCHMARK(BM_GetImageData256MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_PeakRssGrowthDuring1GiBDownload(benchmark::State& state) {
    static int run = 0;
    const Download download(1024 * kMiB, "8200" + std::to_string(++run));
    if (download.image == nullptr) {
        state.SkipWithError("emulated camera did not list its file");
        return;
    }
    DiscardingBuffer discard;
    std::ostream out(&discard);
    long growthKiB = 0;
    for (auto _ : state) {
        const long before = statusKilobytes("VmRSS");
        if (!resetPeakRss()) {
            state.SkipWithError("peak RSS cannot be reset on this system");
            return;
        }
        if (download.image->getData(out).getResult() != Result::Ok) {
            state.SkipWithError("download failed");
            return;
        }
        growthKiB = std::max(growthKiB, statusKilobytes("VmHWM") - before);
    }
    // Target: 32 MiB or less.
    state.counters["peak_rss_growth_MiB"] = static_cast<double>(growthKiB) / 1024;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024 *
                            static_cast<int64_t>(kMiB));
}
BENCHMARK(BM_PeakRssGrowthDuring1GiBDownload)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
