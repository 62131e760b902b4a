// Image download through the whole library (adapter, PTP engine, in-memory USB pipe) from the
// emulated camera into a stream that discards, beside the same copying done with plain memcpy
// in the same run. (Peak memory is bench_memory.cpp's, run in a process of its own.)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
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

/// Seconds to copy `total` bytes in 1 MiB pieces into one reused 1 MiB buffer: the copying a
/// download does (each piece lands in the same buffer, which stays in cache), and nothing else.
double piecewiseCopySeconds(uint64_t total) {
    static std::vector<char> from(kMiB, 1);
    static std::vector<char> to(kMiB, 0);
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t done = 0; done < total; done += kMiB) {
        ++from[done / kMiB % kMiB];  // a piece differs from the last, as file data does
        std::memcpy(to.data(), from.data(), kMiB);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};

Spread spreadOf(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.front(), samples.back()};
}

// Download and reference take turns, so that both see the same machine; each figure is the
// median of the rounds, with the lowest and highest beside it.
void BM_GetImageData256MiB(benchmark::State& state) {
    constexpr int kRounds = 5;
    constexpr uint64_t kSize = 256 * kMiB;
    static int run = 0;
    const Download download(kSize, "8100" + std::to_string(++run));
    if (download.image == nullptr) {
        state.SkipWithError("emulated camera did not list its file");
        return;
    }
    DiscardingBuffer discard;
    std::ostream out(&discard);
    std::vector<double> downloadRates;
    std::vector<double> copyRates;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const auto start = std::chrono::steady_clock::now();
            if (download.image->getData(out).getResult() != Result::Ok) {
                state.SkipWithError("download failed");
                return;
            }
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            downloadRates.push_back(256 / took.count());
            copyRates.push_back(256 / piecewiseCopySeconds(kSize));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(downloadRates.size() * kSize));
    const Spread downloaded = spreadOf(downloadRates);
    const Spread copied = spreadOf(copyRates);
    state.counters["download_MiBps"] = downloaded.median;
    state.counters["download_MiBps_low"] = downloaded.low;
    state.counters["download_MiBps_high"] = downloaded.high;
    state.counters["memcpy_MiBps"] = copied.median;
    state.counters["memcpy_MiBps_low"] = copied.low;
    state.counters["memcpy_MiBps_high"] = copied.high;
}
BENCHMARK(BM_GetImageData256MiB)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
