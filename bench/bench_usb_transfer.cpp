// Throughput of the PTP engine's Read data phase over an in-memory pipe, beside plain memcpy of
// the same size on this machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/ptp_container.hpp"
#include "mtp/usb/ptp_usb_device.hpp"

namespace {

using namespace Corvane::CameraController::Impl;

constexpr size_t kMiB = size_t{1} << 20;
constexpr uint16_t kGetObject = 0x1009;

// The device side is prepared once: a data container with the whole payload and a response.
// Each command only stamps its transaction id into both, so the measurement is the engine's
// reading and the one copy a real bulk transfer would make.
class PreparedReadPipe : public BulkPipe {
public:
    explicit PreparedReadPipe(size_t payload) : data_(Ptp::kHeaderSize + payload) {
        Ptp::encodeDataHeader(kGetObject, 0, payload, data_.data());
        for (size_t i = Ptp::kHeaderSize; i < data_.size(); i += 4096) {
            data_[i] = static_cast<uint8_t>(i >> 12);
        }
        response_ = Ptp::encodeContainer({Ptp::ContainerType::Response, 0x2001, 0, {}});
    }

    PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned,
                         bool) override {
        const auto command = Ptp::decodeContainer(data, size);
        if (!command) {
            return PipeStatus::Error;
        }
        std::memcpy(data_.data() + 8, data + 8, 4);
        std::memcpy(response_.data() + 8, data + 8, 4);
        transfers_ = {&data_, &response_};
        next_ = 0;
        offset_ = 0;
        written = size;
        return PipeStatus::Ok;
    }

    PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received, unsigned) override {
        received = 0;
        if (next_ >= transfers_.size()) {
            return PipeStatus::Timeout;
        }
        const std::vector<uint8_t>& transfer = *transfers_[next_];
        received = std::min(capacity, transfer.size() - offset_);
        std::memcpy(data, transfer.data() + offset_, received);
        offset_ += received;
        if (offset_ == transfer.size()) {
            ++next_;
            offset_ = 0;
        }
        return PipeStatus::Ok;
    }

    PipeStatus readInterrupt(uint8_t*, size_t, size_t& received, unsigned) override {
        received = 0;
        return PipeStatus::Timeout;
    }
    PipeStatus cancel(uint32_t) override { return PipeStatus::Ok; }
    PipeStatus getDeviceStatus(PipeDeviceStatus& status) override {
        status.code = 0x2001;
        return PipeStatus::Ok;
    }
    PipeStatus resetDevice() override { return PipeStatus::Ok; }
    PipeStatus clearHalt(PipeEndpoint) override { return PipeStatus::Ok; }
    size_t packetSize() const override { return 512; }
    bool isAttached() override { return true; }

private:
    std::vector<uint8_t> data_;
    std::vector<uint8_t> response_;
    std::vector<const std::vector<uint8_t>*> transfers_;
    size_t next_ = 0;
    size_t offset_ = 0;
};

// The data phase sizes: 64 MiB, beyond which glibc maps every allocation afresh, and 16 MiB,
// which the allocator reuses from one transaction to the next.
void dataPhaseSizes(benchmark::internal::Benchmark* b) {
    b->Arg(64)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_UsbEngineRead(benchmark::State& state) {
    const size_t payload = static_cast<size_t>(state.range(0)) * kMiB;
    PtpUsbDevice device(std::make_unique<PreparedReadPipe>(payload));
    MtpRequest request;
    request.operationCode = kGetObject;
    request.parameters = {1};
    request.dataPhase = MtpDataPhase::Read;
    for (auto _ : state) {
        MtpResponse response = device.execute(request);
        if (response.responseCode != 0x2001 || response.dataSize != payload) {
            state.SkipWithError("transaction failed");
            break;
        }
        benchmark::DoNotOptimize(response.data.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload));
}
BENCHMARK(BM_UsbEngineRead)->Apply(dataPhaseSizes);

// The ceiling: one copy into memory that is already mapped.
void BM_Memcpy(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) * kMiB;
    std::vector<uint8_t> source(size, 1);
    std::vector<uint8_t> target(size, 0);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Memcpy)->Apply(dataPhaseSizes);

// A plain fresh buffer per data phase, then one copy: what handing out a malloc'ed buffer per
// response costs before any transport work.
void BM_MemcpyIntoFreshBuffer(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) * kMiB;
    std::vector<uint8_t> source(size, 1);
    for (auto _ : state) {
        auto* target = static_cast<uint8_t*>(std::malloc(size));
        std::memcpy(target, source.data(), size);
        benchmark::DoNotOptimize(target);
        std::free(target);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_MemcpyIntoFreshBuffer)->Apply(dataPhaseSizes);

}  // namespace
