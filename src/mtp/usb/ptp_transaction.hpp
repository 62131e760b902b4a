// One PTP transaction at a time over a BulkPipe: command, data phase, response, and the
// still-image class recovery after a failure.
#pragma once

#include <cstddef>
#include <cstdint>
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
    /// Reads that empty the bulk-in pipe of stale bytes after a failure.
    unsigned drainMs = 20;
    /// Pause between GET_DEVICE_STATUS polls while the device reports itself busy.
    unsigned statusPollMs = 20;
    /// A data header announcing more is treated as corrupt.
    size_t maxDataPhase = kPtpMaxDataPhase;
};

/// Upper bound for one bulk transfer on the data path.
constexpr size_t kPtpMaxTransfer = size_t{4} << 20;

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
    /// True when recovery had to reset the device since the last call, which may have closed
    /// its session.
    bool takeResetFlag();

private:
    struct Fault {
        PipeStatus status = PipeStatus::Ok;
        PipeEndpoint endpoint = PipeEndpoint::BulkIn;
        explicit operator bool() const { return status != PipeStatus::Ok; }
    };
    /// Bytes of an incoming container gathered in staging_, header decoded.
    struct ContainerStart {
        size_t have = 0;
        Ptp::ContainerHeader header;
    };

    static Fault protocolError() { return {PipeStatus::Error, PipeEndpoint::BulkIn}; }

    Fault sendCommand(const MtpRequest& request, uint32_t transactionId);
    Fault sendData(const MtpRequest& request, uint32_t transactionId);
    Fault write(const uint8_t* data, size_t size, bool terminate);
    Fault receive(const MtpRequest& request, uint32_t transactionId, MtpResponse& response);
    Fault readContainerStart(ContainerStart& start);
    Fault readDataPayload(const ContainerStart& start, uint32_t transactionId,
                          MtpResponse& response);
    Fault finishResponse(ContainerStart& start, uint32_t transactionId, MtpResponse& response);
    PipeStatus readIn(uint8_t* data, size_t capacity, size_t& received, unsigned timeoutMs);
    bool isOwnResponse(const uint8_t* data, size_t size, uint32_t transactionId) const;
    unsigned transferTimeout(size_t bytes) const;

    void recover(const Fault& fault, uint32_t transactionId);
    bool waitUntilIdle();
    void drainBulkIn();
    bool noteGone(PipeStatus status);

    BulkPipe& pipe_;
    const PtpLimits limits_;
    const size_t packetSize_;
    /// Size of the first read of a container and of the first write of a data phase.
    const size_t stagingTransfer_;
    const size_t maxTransfer_;
    std::vector<uint8_t> staging_;
    /// Bytes read past the end of a data container: the start of the response.
    std::vector<uint8_t> pending_;
    bool gone_ = false;
    bool wasReset_ = false;
};

}  // namespace Corvane::CameraController::Impl
