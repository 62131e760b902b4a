// Camera bytes against the PTP container decoder and the transaction engine. Byte 0 even: the
// rest is one container, and what decodes must encode back to the same bytes. Odd: byte 1 picks
// the packet size; every bulk-in read then takes a control byte (status, whether to stamp the
// transaction id), a 16-bit length and that many bytes, over four transactions whose responses
// must keep the transport's contract.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/ptp_container.hpp"
#include "mtp/usb/ptp_transaction.hpp"
#include "support/mtp_requests.hpp"

namespace {

using namespace Corvane::CameraController::Impl;
namespace Testing = Corvane::CameraController::Testing;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void fuzzDecoder(const uint8_t* data, size_t size) {
    Ptp::decodeHeader(data, size);
    const auto container = Ptp::decodeContainer(data, size);
    if (!container) {
        return;
    }
    check(container->parameters.size() <= Ptp::kMaxParameters);
    const auto encoded = Ptp::encodeContainer(*container);
    // Commands always carry a parameter word, so an empty one grows by four zero bytes.
    if (container->type != Ptp::ContainerType::Command || !container->parameters.empty()) {
        check(encoded.size() == size && std::memcmp(encoded.data(), data, size) == 0);
    }
}

class FuzzPipe : public BulkPipe {
public:
    FuzzPipe(const uint8_t* data, size_t size, size_t packetSize)
        : data_(data), size_(size), packetSize_(packetSize) {}

    PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned,
                         bool) override {
        written = 0;
        if (!attached_) {
            return PipeStatus::Disconnected;
        }
        const auto header = Ptp::decodeHeader(data, size);
        if (header && header->type == Ptp::ContainerType::Command) {
            transactionId_ = header->transactionId;
        }
        written = size;
        return PipeStatus::Ok;
    }

    PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received, unsigned) override {
        received = 0;
        if (!attached_) {
            return PipeStatus::Disconnected;
        }
        if (offset_ >= size_) {
            return PipeStatus::Timeout;
        }
        const uint8_t control = take();
        size_t length = take();
        length |= static_cast<size_t>(take()) << 8;
        length = std::min<size_t>({length, capacity, size_ - offset_});
        std::memcpy(data, data_ + offset_, length);
        offset_ += length;
        received = length;
        if ((control & 0x80) != 0 && length >= Ptp::kHeaderSize) {
            std::memcpy(data + 8, &transactionId_, 4);  // little-endian, as on the wire
        }
        static const PipeStatus kFailures[] = {PipeStatus::Stall, PipeStatus::Timeout,
                                               PipeStatus::Disconnected};
        const PipeStatus status = (control & 0x07) < 3 ? kFailures[control & 0x07] : PipeStatus::Ok;
        attached_ = status != PipeStatus::Disconnected;
        return status;
    }

    PipeStatus readInterrupt(uint8_t*, size_t, size_t& received, unsigned) override {
        received = 0;
        return PipeStatus::Timeout;
    }
    PipeStatus cancel(uint32_t) override { return control(); }
    PipeStatus resetDevice() override { return control(); }
    PipeStatus clearHalt(PipeEndpoint) override { return control(); }
    PipeStatus getDeviceStatus(PipeDeviceStatus& status) override {
        const uint8_t bits = take();
        if (!attached_) {
            return PipeStatus::Disconnected;
        }
        status.code = (bits & 1) != 0 ? 0x2001 : (bits & 16) != 0 ? 0x2019 : 0x2002;
        status.bulkInHalted = (bits & 2) != 0;
        status.bulkOutHalted = (bits & 4) != 0;
        return (bits & 8) != 0 ? PipeStatus::Error : PipeStatus::Ok;
    }
    size_t packetSize() const override { return packetSize_; }
    bool isAttached() override { return attached_; }

private:
    uint8_t take() { return offset_ < size_ ? data_[offset_++] : 0; }
    PipeStatus control() { return attached_ ? PipeStatus::Ok : PipeStatus::Disconnected; }

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
    size_t packetSize_;
    uint32_t transactionId_ = 0;
    bool attached_ = true;
};

void checkContract(const MtpResponse& response) {
    check(response.parameters.size() <= Ptp::kMaxParameters);
    check((response.data == nullptr) == (response.dataSize == 0));
    check(response.dataSize <= (size_t{1} << 20));
    if (response.responseCode == 0) {
        check(response.parameters.empty() && response.data == nullptr);
    }
    if (response.responseCode != 0x2001) {
        check(response.parameters.empty());
    }
    // Touch every byte so the sanitizer sees a buffer shorter than announced.
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < response.dataSize; ++i) {
        sum = static_cast<uint8_t>(sum + response.data.get()[i]);
    }
}

void fuzzEngine(const uint8_t* data, size_t size) {
    if (size < 1) {
        return;
    }
    static const size_t kPacketSizes[] = {512, 1024, 64, 8};
    FuzzPipe pipe(data + 1, size - 1, kPacketSizes[data[0] & 3]);
    // Small bounds walk the same paths as the real ones, in a fraction of the time and memory.
    PtpLimits limits;
    limits.maxDataPhase = size_t{1} << 20;
    limits.statusPollMs = 0;
    limits.settleMs = 1;
    limits.drainLimitMs = 1;
    PtpTransactionRunner runner(pipe, limits);

    static const std::vector<uint8_t> outgoing(700, 0x5A);
    const MtpRequest read = Testing::readRequest(0x1009, {1});
    const MtpRequest none = Testing::mtpRequest(0x9011);
    const MtpRequest write = Testing::writeRequest(0x100D, outgoing);

    uint32_t transactionId = 0;
    for (const MtpRequest* request : {&read, &none, &write, &read}) {
        checkContract(runner.run(*request, transactionId++));
        runner.takeResetFlag();
    }
    // Once gone, the device stays gone and costs no I/O.
    if (runner.deviceGone()) {
        check(runner.run(none, transactionId).responseCode == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    if ((data[0] & 1) == 0) {
        fuzzDecoder(data + 1, size - 1);
    } else {
        fuzzEngine(data + 1, size - 1);
    }
    return 0;
}
