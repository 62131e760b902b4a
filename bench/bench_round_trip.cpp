// One PTP transaction through the whole transport (engine, in-memory USB pipe, emulated
// camera's responder and back). The counter median_us is the median of single transactions,
// which a scheduling hiccup cannot drag the way it drags the mean.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "corvane/emulator/emulated_camera.hpp"
#include "mtp/mtp_device.hpp"

namespace {

using namespace Corvane::CameraController;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kGetDevicePropValue = 0x1015;
constexpr uint16_t kBatteryLevel = 0x5001;
constexpr uint16_t kCameraCondition = 0x900F;
constexpr uint16_t kStorageWriting = 0x9004;

Impl::MtpRequest makeRequest(uint16_t operation, std::vector<uint32_t> parameters,
                             Impl::MtpDataPhase phase) {
    Impl::MtpRequest request;
    request.operationCode = operation;
    request.parameters = std::move(parameters);
    request.dataPhase = phase;
    return request;
}

void runRoundTrips(benchmark::State& state, const Impl::MtpRequest& request) {
    Emulator::CameraConfig config;
    config.timeScale = 0.0;
    const auto camera = Emulator::EmulatedCamera::create(config);
    const auto device = camera->openDevice();
    if (device == nullptr) {
        state.SkipWithError("the emulated camera did not open");
        return;
    }
    std::vector<double> samples;
    samples.reserve(1 << 16);
    for (auto _ : state) {
        const auto start = Clock::now();
        const Impl::MtpResponse response = device->execute(request);
        const auto elapsed = Clock::now() - start;
        if (response.responseCode != 0x2001) {
            state.SkipWithError("transaction failed");
            break;
        }
        benchmark::DoNotOptimize(response.data.get());
        if (samples.size() < samples.capacity()) {
            samples.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
        }
    }
    if (!samples.empty()) {
        auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
        std::nth_element(samples.begin(), middle, samples.end());
        state.counters["median_us"] = *middle;
    }
    device->close();
}

// No data phase: command and response containers only.
void BM_RoundTrip_NoData(benchmark::State& state) {
    runRoundTrips(state, makeRequest(kStorageWriting, {3}, Impl::MtpDataPhase::None));
}
BENCHMARK(BM_RoundTrip_NoData)->MinTime(1.0)->UseRealTime();

// A one-byte property value, the smallest read.
void BM_RoundTrip_PropertyValue(benchmark::State& state) {
    runRoundTrips(state,
                  makeRequest(kGetDevicePropValue, {kBatteryLevel}, Impl::MtpDataPhase::Read));
}
BENCHMARK(BM_RoundTrip_PropertyValue)->MinTime(1.0)->UseRealTime();

// The condition dataset the event task polls (several hundred bytes).
void BM_RoundTrip_Condition(benchmark::State& state) {
    runRoundTrips(state, makeRequest(kCameraCondition, {}, Impl::MtpDataPhase::Read));
}
BENCHMARK(BM_RoundTrip_Condition)->MinTime(1.0)->UseRealTime();

}  // namespace
