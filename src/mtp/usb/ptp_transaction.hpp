// One PTP transaction at a time over a BulkPipe: command, data phase, response, and the
// still-image class recovery after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "mtp/mtp_device.hpp"
#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/ptp_container.hpp"

namespace Corvane::CameraController::Impl {

/// Largest data phase accepted from a camera. The tether buffer hands over whole raw files,
/// which stay far below this; a header announcing more is treated as corrupt.
constexpr size_t kPtpMaxDataPhase = size_t{1} << 30;
/// Timeouts and sizes the engine works with; the defaults suit real cameras.
struct PtpLimits {
    unsigned commandMs = 5000;
    /// Wait for the first bytes of a data phase or of the response.
    unsigned responseMs = 5000;
    /// Added per MiB of one bulk transfer, so a slow USB 1.1 link still moves 4 MiB in time.
    unsigned perMiBMs = 1000;
    /// A drain read that brings nothing within this long finds the bulk-in pipe idle.
    unsigned drainMs = 50;
    /// Longest drain of stale bytes after a failure; a camera still sending then is reset.
    unsigned drainLimitMs = 5000;
    /// Pause between GET_DEVICE_STATUS polls.
    unsigned statusPollMs = 50;
    /// How long a camera may take to wind down after a cancel or a stall (it reports Busy
    /// meanwhile, or finishes writing a file first) before it is reset.
    unsigned settleMs = 10000;
    /// A data header announcing more is treated as corrupt.
    size_t maxDataPhase = kPtpMaxDataPhase;
};

/// Upper bound for one bulk transfer on the data path. Bigger transfers save nothing on a real
/// bus, and a host stack that copies each URB's buffer (an emulated bus, a USB/IP link) slows
/// down with 1 MiB ones: 512 KiB downloaded over the emulated bus in less than half the time.
constexpr size_t kPtpMaxTransfer = size_t{512} << 10;

/// Runs transactions over a borrowed pipe. Not thread-safe: the owner serialises every call
/// (PtpUsbDevice holds its transaction mutex around each).
class PtpTransactionRunner {
public:
    explicit PtpTransactionRunner(BulkPipe& pipe, PtpLimits limits = {});

    /// Sends `request` with `transactionId` and waits for its response. Blocks for at most the
    /// timeouts plus recovery. Returns the camera's response (parameters only with 0x2001, data
    /// also with other codes), or code 0 with nothing else when the exchange failed; after
    /// such a failure the pipe has been brought back to idle unless the device is gone.
    MtpResponse run(const MtpRequest& request, uint32_t transactionId);

    /// True once the device was found gone; every later run() fails at once.
    bool deviceGone() const { return gone_; }
    /// False when the last run() failed before its command reached the device, so that its
    /// transaction id was not used up.
    bool commandDelivered() const { return commandDelivered_; }
    /// True when the device was reset since the last call, which ends its session.
    bool takeResetFlag();
    /// The class reset, with halts cleared and the pipe drained: ends whatever the camera was
    /// doing and its session.
    void reset() { resetDevice(); }

private:
    struct Fault {
        Fault() = default;
        Fault(PipeStatus status_, PipeEndpoint endpoint_) : status(status_), endpoint(endpoint_) {}
        PipeStatus status = PipeStatus::Ok;
        PipeEndpoint endpoint = PipeEndpoint::BulkIn;
        /// Set when a container of another transaction arrived: the one to cancel.
        std::optional<uint32_t> foreignTransaction;
        explicit operator bool() const { return status != PipeStatus::Ok; }
    };
    /// Bytes of an incoming container gathered in staging_, header decoded.
    struct ContainerStart {
        size_t have = 0;
        Ptp::ContainerHeader header;
    };

    static Fault protocolError() { return {PipeStatus::Error, PipeEndpoint::BulkIn}; }

    /// Sends the command; for a request with a data phase to read, with that phase's first
    /// reads queued behind it (their outcome kept in firstRead_).
    Fault sendCommand(const MtpRequest& request, uint32_t transactionId);
    Fault sendData(const MtpRequest& request, uint32_t transactionId);
    Fault write(const uint8_t* data, size_t size, bool terminate);
    Fault receive(const MtpRequest& request, uint32_t transactionId, MtpResponse& response);
    /// Reads until a container header is in staging_; `dataMayCome` when a data phase may
    /// start here, else only a response can.
    Fault readContainerStart(ContainerStart& start, bool dataMayCome, uint32_t transactionId);
    /// The first read of a data phase into staging_, with one more packet read behind it.
    PipeStatus readDataStart(size_t& received, uint32_t transactionId);
    /// Whether a read behind the `got` bytes of a data phase's first read may bring more of
    /// this transaction (the rest of its data container, or its response).
    bool wantsReadBehind(size_t got, uint32_t transactionId) const;
    /// Appends what the read behind brought to the `received` bytes in staging_.
    void appendReadBehind(size_t& received, size_t ahead);
    Fault readDataPayload(const ContainerStart& start, uint32_t transactionId,
                          MtpResponse& response);
    Fault finishResponse(ContainerStart& start, uint32_t transactionId, MtpResponse& response);
    PipeStatus readIn(uint8_t* data, size_t capacity, size_t& received, unsigned timeoutMs);
    bool isOwnResponse(const uint8_t* data, size_t size, uint32_t transactionId) const;
    unsigned transferTimeout(size_t bytes) const;

    /// Brings the pipe back to idle; returns the camera's reason for a stall, or 0.
    uint16_t recover(const Fault& fault, uint32_t transactionId);
    uint16_t recoverFromStall(const Fault& fault);
    bool cancelAndSettle(uint32_t transactionId);
    /// Polls GET_DEVICE_STATUS, pausing between polls, until the camera stops reporting Busy
    /// (or, with `untilOk`, reports OK), clearing the halts it reports. False when it does not
    /// within the settle time or the pipe fails.
    bool settle(bool untilOk, PipeDeviceStatus& last);
    bool clearHalts(bool bulkIn, bool bulkOut);
    /// Reads until the bulk-in pipe is idle; false when it still sends after the drain limit.
    bool drainBulkIn();
    void resetDevice();
    bool noteGone(PipeStatus status);
    static Fault foreign(uint32_t transactionId) {
        Fault fault = protocolError();
        fault.foreignTransaction = transactionId;
        return fault;
    }

    BulkPipe& pipe_;
    const PtpLimits limits_;
    const size_t packetSize_;
    /// Size of the first read of a container and of the first write of a data phase.
    const size_t stagingTransfer_;
    const size_t maxTransfer_;
    std::vector<uint8_t> staging_;
    /// The packet read queued behind a data phase's first read; appended to staging_.
    std::vector<uint8_t> ahead_;
    /// Bytes read past the end of a data container: the start of the response.
    std::vector<uint8_t> pending_;
    /// What the reads queued behind the command brought, until readDataStart takes it.
    struct FirstRead {
        PipeStatus status = PipeStatus::Ok;
        size_t received = 0;
    };
    std::optional<FirstRead> firstRead_;
    bool gone_ = false;
    bool wasReset_ = false;
    bool commandDelivered_ = false;
};

}  // namespace Corvane::CameraController::Impl
