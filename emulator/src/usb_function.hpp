// The camera's side of one USB connection: bulk-OUT bytes are parsed into PTP containers,
// the responder's answers are queued as bulk-IN transfers with USB packet semantics.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "mtp/usb/bulk_pipe.hpp"
#include "transaction.hpp"

namespace Corvane::CameraController::Emulator {

class CameraModel;

/// Device side of one connection. Every operation is thread-safe and returns at once with
/// Disconnected after the camera was unplugged.
class UsbFunction : public std::enable_shared_from_this<UsbFunction> {
public:
    using PipeStatus = Impl::PipeStatus;

    static std::shared_ptr<UsbFunction> create(std::shared_ptr<CameraModel> model,
                                               size_t packetSize = 512);

    /// One bulk-OUT transfer. `terminate` marks that a zero-length packet followed a transfer
    /// that is a whole number of packets (a shorter transfer ends by itself).
    PipeStatus bulkOut(const uint8_t* data, size_t size, size_t& written, bool terminate);
    /// One bulk-IN transfer: at most `capacity` bytes of the transfer the camera is sending,
    /// ending early at its short packet or zero-length packet. Waits up to `timeoutMs` (0: one
    /// second) for the answer to become readable.
    PipeStatus bulkIn(uint8_t* data, size_t capacity, size_t& received, unsigned timeoutMs);
    /// The camera sends no events: waits out the timeout unless unplugged.
    PipeStatus interruptIn(size_t& received, unsigned timeoutMs);
    PipeStatus cancel(uint32_t transactionId);
    PipeStatus deviceStatus(Impl::PipeDeviceStatus& status);
    PipeStatus reset();
    PipeStatus clearHalt(Impl::PipeEndpoint endpoint);

    size_t packetSize() const { return packetSize_; }
    bool attached() const;
    /// Wakes waiting readers (after unplugging).
    void wake();

private:
    UsbFunction(std::shared_ptr<CameraModel> model, size_t packetSize);

    struct Segment {
        uint32_t transactionId = 0;
        uint8_t head[32] = {};
        size_t headSize = 0;
        Payload payload;
        size_t position = 0;  ///< bytes of head + payload already read
        std::chrono::steady_clock::time_point readyAt;
        size_t size() const { return headSize + payload.size; }
    };
    enum class OutState { Command, Data, Discard };

    /// Consumes bytes of the current container; returns how many it took, or nullopt after a
    /// protocol error (the pipes are then halted).
    std::optional<size_t> consume(const uint8_t* data, size_t size, std::vector<Operation>& ready);
    void protocolError();
    void answer(const Operation& operation);
    void queueReply(uint32_t transactionId, uint16_t operationCode, Reply reply);
    size_t copyOut(Segment& segment, uint8_t* data, size_t capacity);

    const std::shared_ptr<CameraModel> model_;
    const size_t packetSize_;
    const uint64_t generation_;

    mutable std::mutex mutex_;
    std::condition_variable readable_;
    OutState outState_ = OutState::Command;
    std::vector<uint8_t> header_;  ///< bytes of a container header (or command) so far
    Operation pending_;            ///< command waiting for its data phase
    uint64_t dataExpected_ = 0;    ///< payload bytes still to come in this data container
    bool dataUntilShort_ = false;  ///< data container of unknown length (over 4 GiB)
    std::deque<Segment> in_;
    bool inHalted_ = false;
    bool outHalted_ = false;
    uint16_t statusCode_ = 0x2001;
    /// Until then a cancelled transaction is still winding down: the camera reports Busy.
    std::chrono::steady_clock::time_point busyUntil_{};
};

/// Host side of an in-memory connection: a BulkPipe over a UsbFunction.
class MemoryPipe : public Impl::BulkPipe {
public:
    explicit MemoryPipe(std::shared_ptr<UsbFunction> function) : function_(std::move(function)) {}

    Impl::PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written,
                               unsigned timeoutMs, bool terminate) override;
    Impl::PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received,
                              unsigned timeoutMs) override;
    Impl::PipeStatus readInterrupt(uint8_t* data, size_t capacity, size_t& received,
                                   unsigned timeoutMs) override;
    Impl::PipeStatus cancel(uint32_t transactionId) override;
    Impl::PipeStatus getDeviceStatus(Impl::PipeDeviceStatus& status) override;
    Impl::PipeStatus resetDevice() override;
    Impl::PipeStatus clearHalt(Impl::PipeEndpoint endpoint) override;
    size_t packetSize() const override { return function_->packetSize(); }
    bool isAttached() override { return function_->attached(); }

private:
    const std::shared_ptr<UsbFunction> function_;
};

}  // namespace Corvane::CameraController::Emulator
