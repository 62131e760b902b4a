// Listing a card of 2,000 pictures in process, and the latency of the application's own calls
// (a property read, a capture start) made while such a listing runs. The emulated camera
// answers each transaction after a fixed latency, as a camera on a real bus would, so that the
// listing's transactions take the time they take on a real camera.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_image_list.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "corvane/camera_controller/camera_storage_list.hpp"
#include "corvane/camera_controller/device_settings.hpp"
#include "corvane/emulator/emulated_camera.hpp"

namespace {

using namespace Corvane::CameraController;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kListedFiles = 2000;
constexpr auto kTransactionLatency = 200us;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

double percentile(std::vector<double> samples, double share) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<size_t>(share * static_cast<double>(samples.size() - 1))];
}

/// An attached emulated camera whose card holds `files` pictures, and the device for it.
struct CardOfPictures {
    explicit CardOfPictures(int files) {
        static int run = 0;
        const std::string serial = "7300" + std::to_string(++run);
        Emulator::CameraConfig config;
        config.timeScale = 0.01;
        config.serialNumber = serial;
        Emulator::CardSlotConfig card;
        for (int i = 1; i <= files; ++i) {
            card.files.push_back(
                {"DCIM/100QUORN/QRN_" + std::to_string(10000 + i) + ".JPG", 4096, false});
        }
        Emulator::CardSlotConfig empty;
        empty.cardInserted = false;
        config.slots = {card, empty};
        camera = Emulator::EmulatedCamera::create(config);
        camera->setLatency(kTransactionLatency);
        camera->attach();
        for (const auto& found : CameraDeviceDetector::detect(DeviceInterface::USB)) {
            if (found->getSerialNumber() == serial) {
                device = found;
            }
        }
    }
    ~CardOfPictures() {
        if (device != nullptr) {
            device->disconnect(DeviceInterface::USB);
        }
        camera->detach();
    }

    /// Connects (which starts the listing of every card); false on failure.
    bool connect() {
        return device != nullptr &&
               device->connect(DeviceInterface::USB).getResult() == Result::Ok &&
               device->getStorages().size() > 0;
    }

    ListingState listingState() const { return device->getStorages().get(0)->getListingState(); }

    bool listingRuns() const {
        const ListingState state = listingState();
        return state == ListingState::Running || state == ListingState::Paused;
    }

    /// Waits (bounded) for the first card's listing to end; true when it completed.
    bool awaitListing() const {
        const auto deadline = Clock::now() + 120s;
        while (listingRuns() && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        return listingState() == ListingState::Complete;
    }

    std::shared_ptr<Emulator::EmulatedCamera> camera;
    std::shared_ptr<CameraDevice> device;
};

// Wall time from connect() to a complete listing of the card; median of the iterations.
void BM_ListImages2000(benchmark::State& state) {
    std::vector<double> samples;
    size_t listed = 0;
    for (auto _ : state) {
        CardOfPictures card(kListedFiles);
        const auto start = Clock::now();
        if (!card.connect() || !card.awaitListing()) {
            state.SkipWithError("the listing did not complete");
            return;
        }
        samples.push_back(millisecondsSince(start));
        state.SetIterationTime(samples.back() / 1000);
        listed = card.device->getImages().size();
    }
    state.counters["median_ms"] = median(samples);
    state.counters["min_ms"] = *std::min_element(samples.begin(), samples.end());
    state.counters["max_ms"] = *std::max_element(samples.begin(), samples.end());
    state.counters["images"] = static_cast<double>(listed);
}
BENCHMARK(BM_ListImages2000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

/// Microseconds that `call` took; negative when it failed.
template <typename Call>
double timed(Call call) {
    const auto start = Clock::now();
    const bool ok = call();
    const double took = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    return ok ? took : -1;
}

/// Runs `call` (which returns its latency, see timed()) over and over while the card's listing
/// runs, and reports the latencies.
template <typename Call>
void measureDuringListing(benchmark::State& state, std::chrono::milliseconds pause, Call call) {
    std::vector<double> samples;
    int failures = 0;
    for (auto _ : state) {
        CardOfPictures card(kListedFiles);
        if (!card.connect()) {
            state.SkipWithError("the emulated camera did not connect");
            return;
        }
        while (card.listingRuns()) {
            const double took = call(*card.device);
            if (took < 0) {
                ++failures;
            } else {
                samples.push_back(took);
            }
            std::this_thread::sleep_for(pause);
        }
    }
    if (samples.empty()) {
        state.SkipWithError("no call succeeded while the listing ran");
        return;
    }
    state.counters["median_us"] = median(samples);
    state.counters["p90_us"] = percentile(samples, 0.9);
    state.counters["max_us"] = percentile(samples, 1.0);
    state.counters["calls"] = static_cast<double>(samples.size());
    state.counters["refused"] = failures;
}

void BM_PropertyReadDuringListing(benchmark::State& state) {
    measureDuringListing(state, 5ms, [](CameraDevice& device) {
        CameraTime time;
        return timed(
            [&] { return device.getCameraDeviceSettings({&time}).getResult() == Result::Ok; });
    });
}
BENCHMARK(BM_PropertyReadDuringListing)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

void BM_CaptureStartDuringListing(benchmark::State& state) {
    // The camera is busy for a moment after each shot; a start it refuses is counted apart.
    measureDuringListing(state, 50ms, [](CameraDevice& device) {
        const double took =
            timed([&] { return device.startCapture(false).getResult() == Result::Ok; });
        device.stopCapture();
        return took;
    });
}
BENCHMARK(BM_CaptureStartDuringListing)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

}  // namespace
