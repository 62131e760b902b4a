// The few USB operations the PTP transaction engine needs. libusb implements it for real
// cameras, the emulator with an in-memory pipe, camemu's client over a socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Corvane::CameraController::Impl {

/// Outcome of one transfer or class request.
enum class PipeStatus {
    Ok,
    Timeout,       ///< nothing (or not everything) moved within the timeout
    Stall,         ///< the endpoint is halted; clearHalt() before using it again
    Disconnected,  ///< the device is gone; every later call fails the same way at once
    Error,         ///< any other failure
};

/// What GET_DEVICE_STATUS (class request 0x67) answered.
struct PipeDeviceStatus {
    uint16_t code = 0;  ///< a PTP response code: 0x2001 OK, 0x2019 Device Busy, ...
    bool bulkInHalted = false;
    bool bulkOutHalted = false;
};

enum class PipeEndpoint { BulkIn, BulkOut, InterruptIn };

/// Contract for every operation:
/// - called by the transaction engine with the device's transaction mutex held, so calls on
///   one pipe never overlap, except cancel() which may come from another thread;
/// - blocks until the transfer completes, the timeout expires (0 means the pipe's default), or
///   the device goes away; never longer;
/// - reports the number of bytes that did move even when the status is not Ok.
class BulkPipe {
public:
    virtual ~BulkPipe() = default;

    /// One bulk-OUT transfer of exactly `size` bytes. The pipe ends it with a zero-length
    /// packet when `size` is a non-zero multiple of packetSize() and `terminate` is true.
    virtual PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written,
                                 unsigned timeoutMs, bool terminate) = 0;
    /// One bulk-IN transfer of at most `capacity` bytes. A transfer ends at a short packet
    /// (including a zero-length one) or when `capacity` is filled; bytes the device has not yet
    /// sent stay for the next call. `capacity` should be a multiple of packetSize().
    virtual PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received,
                                unsigned timeoutMs) = 0;
    /// A bulk-IN read into `data` as readBulk, with a second one into `next` (at most
    /// `nextCapacity` bytes) queued right behind it, so that the container a device sends
    /// straight after the first (the response behind a data phase) arrives without another
    /// request. `wantNext` is asked with the bytes the first read brought; when it says no, the
    /// second read is given up (`nextReceived` reports any bytes it brought all the same). The
    /// status is the first failure. This default reads one after the other.
    virtual PipeStatus readBulkTwo(uint8_t* data, size_t capacity, size_t& received, uint8_t* next,
                                   size_t nextCapacity, size_t& nextReceived, unsigned timeoutMs,
                                   const std::function<bool(size_t received)>& wantNext) {
        nextReceived = 0;
        const PipeStatus status = readBulk(data, capacity, received, timeoutMs);
        if (status != PipeStatus::Ok || !wantNext(received)) {
            return status;
        }
        return readBulk(next, nextCapacity, nextReceived, timeoutMs);
    }
    /// A command transfer (shorter than one packet) with readBulkTwo's reads queued behind it
    /// before the command is waited for, so that a device's answer needs no request of its own
    /// after the command's. `writeStatus` is the command's (Error when not all of it went
    /// out); the reads count only when it is Ok, and are given up otherwise. Returns the
    /// reads' status. This default writes, then reads.
    virtual PipeStatus writeThenReadTwo(const uint8_t* command, size_t commandSize,
                                        unsigned writeTimeoutMs, PipeStatus& writeStatus,
                                        uint8_t* data, size_t capacity, size_t& received,
                                        uint8_t* next, size_t nextCapacity, size_t& nextReceived,
                                        unsigned timeoutMs,
                                        const std::function<bool(size_t received)>& wantNext) {
        received = 0;
        nextReceived = 0;
        size_t written = 0;
        writeStatus = writeBulk(command, commandSize, written, writeTimeoutMs, true);
        if (writeStatus == PipeStatus::Ok && written != commandSize) {
            writeStatus = PipeStatus::Error;
        }
        if (writeStatus != PipeStatus::Ok) {
            return writeStatus;
        }
        return readBulkTwo(data, capacity, received, next, nextCapacity, nextReceived, timeoutMs,
                           wantNext);
    }
    /// One interrupt-IN transfer (PTP events). Timeout when no event is waiting.
    virtual PipeStatus readInterrupt(uint8_t* data, size_t capacity, size_t& received,
                                     unsigned timeoutMs) = 0;

    /// Class request CANCEL (0x64) with the transaction id being cancelled.
    virtual PipeStatus cancel(uint32_t transactionId) = 0;
    /// Class request GET_DEVICE_STATUS (0x67).
    virtual PipeStatus getDeviceStatus(PipeDeviceStatus& status) = 0;
    /// Class request DEVICE_RESET (0x66).
    virtual PipeStatus resetDevice() = 0;
    /// CLEAR_FEATURE(ENDPOINT_HALT) on the endpoint.
    virtual PipeStatus clearHalt(PipeEndpoint endpoint) = 0;

    /// Gives the interface back so other programs may claim the device; transfers fail until
    /// reclaim(). The default suits pipes that hold nothing exclusive.
    virtual PipeStatus release() { return PipeStatus::Ok; }
    /// Claims the interface again after release(). Ok when it is held again.
    virtual PipeStatus reclaim() { return PipeStatus::Ok; }

    /// wMaxPacketSize of the bulk endpoints (512 on high speed, 1024 on super speed).
    virtual size_t packetSize() const = 0;
    /// False once the device is known to be gone. Cheap; no I/O on the bulk endpoints.
    virtual bool isAttached() = 0;
};

}  // namespace Corvane::CameraController::Impl
