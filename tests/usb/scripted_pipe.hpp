// A BulkPipe that plays the device side of a scripted USB exchange, with real packet semantics
// both ways: a host that ends a transfer early or forgets a zero-length packet fails the script.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mtp/usb/bulk_pipe.hpp"

namespace Corvane::CameraController::Impl::Testing {

class ScriptedPipe : public BulkPipe {
public:
    /// What the script and the pipe share; the test keeps it after the pipe moves into a device.
    struct State;

    explicit ScriptedPipe(size_t packetSize = 512);

    std::shared_ptr<State> state() const { return state_; }

    PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned timeoutMs,
                         bool terminate) override;
    PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received,
                        unsigned timeoutMs) override;
    PipeStatus readInterrupt(uint8_t* data, size_t capacity, size_t& received,
                             unsigned timeoutMs) override;
    PipeStatus cancel(uint32_t transactionId) override;
    PipeStatus getDeviceStatus(PipeDeviceStatus& status) override;
    PipeStatus resetDevice() override;
    PipeStatus clearHalt(PipeEndpoint endpoint) override;
    /// Logged as "release" and "reclaim".
    PipeStatus release() override;
    PipeStatus reclaim() override;
    size_t packetSize() const override;
    bool isAttached() override;

private:
    std::shared_ptr<State> state_;
};

/// The script, built by the test before or between transactions.
struct ScriptedPipe::State {
    enum class Kind {
        HostSends,
        DeviceSends,
        InFailure,
        OutFailure,
        Cancel,
        Status,
        Reset,
        ClearHalt,
        Unplug
    };
    struct Step {
        Kind kind = Kind::HostSends;
        std::vector<uint8_t> bytes;
        PipeStatus failure = PipeStatus::Ok;
        PipeDeviceStatus status;
        PipeEndpoint endpoint = PipeEndpoint::BulkIn;
        uint32_t transactionId = 0;
    };

    /// The host must send exactly these bytes as one USB transfer.
    void expectTransfer(std::vector<uint8_t> bytes) { add(Kind::HostSends, std::move(bytes)); }
    /// The device sends one transfer; a zero-length packet follows a full last packet unless
    /// `zeroLengthPacket` is false.
    void deviceSends(std::vector<uint8_t> bytes, bool zeroLengthPacket = true);
    /// The next bulk-in (or bulk-out) transfer fails with `status` (Stall halts the endpoint
    /// until a clearHalt step).
    void failIn(PipeStatus status) { add(Kind::InFailure).failure = status; }
    void failOut(PipeStatus status) { add(Kind::OutFailure).failure = status; }
    void expectCancel(uint32_t transactionId) { add(Kind::Cancel).transactionId = transactionId; }
    void expectStatus(uint16_t code, bool inHalted = false, bool outHalted = false) {
        add(Kind::Status).status = {code, inHalted, outHalted};
    }
    void expectReset() { add(Kind::Reset); }
    void expectClearHalt(PipeEndpoint endpoint) { add(Kind::ClearHalt).endpoint = endpoint; }
    /// The device is gone from here on: every call fails with Disconnected.
    void unplug() { add(Kind::Unplug); }

    bool finished() const;
    /// Mismatches between the script and what the host did, in order.
    std::vector<std::string> errors() const;
    /// Every call the host made, one line each ("write 24", "read 16384 -> 512", "status").
    std::vector<std::string> calls() const;

    mutable std::mutex mutex;
    size_t packetSize = 512;
    std::deque<Step> steps;
    std::vector<std::string> errorLog;
    std::vector<std::string> callLog;
    /// Packets of the DeviceSends step at the front, already cut.
    std::deque<std::vector<uint8_t>> packets;
    /// Host bytes of the transfer in progress.
    std::vector<uint8_t> outgoing;
    bool attached = true;

private:
    // Scripts are built on the test's thread between transactions, so the step may be filled
    // in after the lock is gone.
    Step& add(Kind kind, std::vector<uint8_t> bytes = {}) {
        std::lock_guard<std::mutex> lock(mutex);
        steps.emplace_back();
        steps.back().kind = kind;
        steps.back().bytes = std::move(bytes);
        return steps.back();
    }
};

}  // namespace Corvane::CameraController::Impl::Testing
