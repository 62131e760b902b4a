// Release spread of a one-host rig: six emulated cameras fired together, shot after shot. The
// spread of a shot is latest minus earliest moment a camera received its release, as the
// emulator recorded it; the counters give the median and the worst over all shots.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

#include <corvane/emulator/emulated_camera.hpp>

#include "rig/rig_cameras.hpp"

namespace {

namespace cc = Corvane::CameraController;
namespace emu = Corvane::CameraController::Emulator;
namespace fs = std::filesystem;

void releaseSpreadOfSixCameras(benchmark::State& state) {
    constexpr size_t kCameras = 6;
    std::vector<std::shared_ptr<emu::EmulatedCamera>> emulated;
    std::vector<std::string> serials;
    for (size_t i = 0; i < kCameras; ++i) {
        emu::CameraConfig config;
        config.timeScale = 0.01;
        config.serialNumber = "BENCH" + std::to_string(i);
        serials.push_back(config.serialNumber);
        emulated.push_back(emu::EmulatedCamera::create(config));
        emulated.back()->attach();
    }
    const fs::path folder = fs::temp_directory_path() / "camera-bench-rig";
    {
        const camctl::rig::ConnectedCameras cameras(
            cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB), serials);
        if (cameras.cameras().size() != kCameras) {
            state.SkipWithError("the emulated cameras did not connect");
            return;
        }
        camctl::rig::CameraRig rig(cameras.cameras());
        for (auto _ : state) {
            const auto report = rig.fire(folder, {});
            if (!report.complete()) {
                state.SkipWithError("a shot did not deliver every file");
                break;
            }
            fs::remove_all(folder);
        }
    }
    // Shot n of every camera is the n-th release it received.
    std::vector<double> spreads;
    for (size_t shot = 0;; ++shot) {
        std::vector<camctl::rig::WallClock::time_point> times;
        for (const auto& camera : emulated) {
            const auto releases = camera->releaseTimes();
            if (shot < releases.size()) {
                times.push_back(releases[shot]);
            }
        }
        if (times.size() < kCameras) {
            break;
        }
        spreads.push_back(static_cast<double>(camctl::rig::spreadOf(times)->count()) / 1e6);
    }
    if (spreads.empty()) {
        return;
    }
    std::sort(spreads.begin(), spreads.end());
    state.counters["shots"] = static_cast<double>(spreads.size());
    state.counters["spread_median_ms"] = spreads[spreads.size() / 2];
    state.counters["spread_worst_ms"] = spreads.back();
}
BENCHMARK(releaseSpreadOfSixCameras)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
