#include "mtp/usb/ptp_transaction.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "mtp/mtp_response.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Corvane::CameraController::Impl {
namespace {

constexpr uint16_t kResponseDeviceBusy = 0x2019;
constexpr size_t kStagingBytes = 16 * 1024;
constexpr size_t kMaxResponseLength = Ptp::kHeaderSize + 4 * Ptp::kMaxParameters;
/// Zero-length packets tolerated where a container should start (one is normal after a data
/// phase that ended on a packet boundary).
constexpr int kMaxEmptyReads = 3;
/// glibc serves smaller blocks from memory it keeps and reuses; from this size on every
/// allocation is a fresh mapping.
constexpr size_t kHugePageThreshold = size_t{32} << 20;

size_t roundDown(size_t value, size_t multiple) {
    return value - value % multiple;
}

size_t roundUp(size_t value, size_t multiple) {
    return roundDown(value + multiple - 1, multiple);
}

constexpr size_t kHugePage = size_t{2} << 20;

// The buffer a data phase arrives in; the caller releases it with free(). A freshly mapped
// buffer is faulted in page by page while the transfer fills it, which costs more than the
// copy itself, so big ones start on a huge-page boundary and ask for huge pages: 512 times
// fewer faults where the kernel offers them, the same buffer where it does not.
uint8_t* allocatePayload(size_t size) {
    if (size < kHugePageThreshold) {
        return static_cast<uint8_t*>(std::malloc(size));
    }
#if defined(_WIN32)
    // No posix_memalign there, and the buffer must stay one that free() releases.
    return static_cast<uint8_t*>(std::malloc(size));
#else
    void* buffer = nullptr;
    if (posix_memalign(&buffer, kHugePage, size) != 0) {
        return nullptr;
    }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const size_t whole = size - size % kHugePage;
    if (whole > 0) {
        madvise(buffer, whole, MADV_HUGEPAGE);
    }
#endif
    return static_cast<uint8_t*>(buffer);
#endif
}

bool isWrite(MtpDataPhase phase) {
    return phase != MtpDataPhase::None && phase != MtpDataPhase::Read;
}

}  // namespace

PtpTransactionRunner::PtpTransactionRunner(BulkPipe& pipe, PtpLimits limits)
    : pipe_(pipe),
      limits_(limits),
      packetSize_(std::max<size_t>(pipe.packetSize(), 1)),
      stagingTransfer_(roundUp(std::max(kStagingBytes, packetSize_), packetSize_)),
      maxTransfer_(std::max(roundDown(kPtpMaxTransfer, packetSize_), packetSize_)),
      // One spare packet so a read that follows a few stray bytes keeps a whole-packet capacity.
      staging_(stagingTransfer_ + packetSize_),
      ahead_(packetSize_) {}

bool PtpTransactionRunner::takeResetFlag() {
    return std::exchange(wasReset_, false);
}

MtpResponse PtpTransactionRunner::run(const MtpRequest& request, uint32_t transactionId) {
    // No presence check here: a pipe whose device is gone fails the first transfer at once.
    if (gone_) {
        return {};
    }
    if (isWrite(request.dataPhase) && request.data == nullptr && request.dataSize > 0) {
        return {};
    }
    pending_.clear();
    firstRead_.reset();

    MtpResponse response;
    Fault fault = sendCommand(request, transactionId);
    commandDelivered_ = !fault;
    if (!fault && isWrite(request.dataPhase)) {
        fault = sendData(request, transactionId);
    }
    if (!fault) {
        fault = receive(request, transactionId, response);
    }
    pending_.clear();
    firstRead_.reset();
    if (fault) {
        MtpResponse refused;
        refused.responseCode = recover(fault, transactionId);
        return refused;
    }
    return response;
}

PtpTransactionRunner::Fault PtpTransactionRunner::sendCommand(const MtpRequest& request,
                                                              uint32_t transactionId) {
    Ptp::Container command;
    command.type = Ptp::ContainerType::Command;
    command.code = request.operationCode;
    command.transactionId = transactionId;
    command.parameters.assign(
        request.parameters.begin(),
        request.parameters.begin() +
            static_cast<std::ptrdiff_t>(std::min(request.parameters.size(), Ptp::kMaxParameters)));
    const std::vector<uint8_t> bytes = Ptp::encodeContainer(command);
    if (request.dataPhase != MtpDataPhase::Read) {
        return write(bytes.data(), bytes.size(), true);
    }
    // The data phase's reads wait at the device already when the command lands: its answer
    // then takes no request of the host's after the command's.
    PipeStatus written = PipeStatus::Ok;
    FirstRead first;
    size_t ahead = 0;
    first.status = pipe_.writeThenReadTwo(
        bytes.data(), bytes.size(), std::max(limits_.commandMs, transferTimeout(bytes.size())),
        written, staging_.data(), stagingTransfer_, first.received, ahead_.data(), ahead_.size(),
        ahead, limits_.responseMs, [&](size_t got) { return wantsReadBehind(got, transactionId); });
    if (written != PipeStatus::Ok) {
        return {written, PipeEndpoint::BulkOut};
    }
    appendReadBehind(first.received, ahead);
    firstRead_ = first;
    return {};
}

PtpTransactionRunner::Fault PtpTransactionRunner::sendData(const MtpRequest& request,
                                                           uint32_t transactionId) {
    // The header shares its transfer with the first payload bytes: a header sent alone would
    // end in a short packet, which the device takes as the end of the data phase.
    const size_t total = request.dataSize;
    const size_t first = std::min(total, stagingTransfer_ - Ptp::kHeaderSize);
    Ptp::encodeDataHeader(request.operationCode, transactionId, total, staging_.data());
    if (first > 0) {
        std::memcpy(staging_.data() + Ptp::kHeaderSize, request.data, first);
    }
    Fault fault = write(staging_.data(), Ptp::kHeaderSize + first, first == total);
    for (size_t done = first; !fault && done < total;) {
        const size_t chunk = std::min(total - done, maxTransfer_);
        fault = write(request.data + done, chunk, done + chunk == total);
        done += chunk;
    }
    return fault;
}

PtpTransactionRunner::Fault PtpTransactionRunner::write(const uint8_t* data, size_t size,
                                                        bool terminate) {
    size_t written = 0;
    const unsigned timeout = std::max(limits_.commandMs, transferTimeout(size));
    const PipeStatus status = pipe_.writeBulk(data, size, written, timeout, terminate);
    if (status != PipeStatus::Ok) {
        return {status, PipeEndpoint::BulkOut};
    }
    if (written != size) {
        return {PipeStatus::Error, PipeEndpoint::BulkOut};
    }
    return {};
}

PtpTransactionRunner::Fault PtpTransactionRunner::receive(const MtpRequest& request,
                                                          uint32_t transactionId,
                                                          MtpResponse& response) {
    ContainerStart start;
    if (Fault fault =
            readContainerStart(start, request.dataPhase == MtpDataPhase::Read, transactionId)) {
        return fault;
    }
    // A Read may end early with a response (the camera refused); other phases expect none.
    if (start.header.type == Ptp::ContainerType::Data) {
        if (start.header.transactionId != transactionId) {
            return foreign(start.header.transactionId);
        }
        if (request.dataPhase != MtpDataPhase::Read) {
            return protocolError();
        }
        if (Fault fault = readDataPayload(start, transactionId, response)) {
            return fault;
        }
        if (Fault fault = readContainerStart(start, false, transactionId)) {
            return fault;
        }
    }
    return finishResponse(start, transactionId, response);
}

PtpTransactionRunner::Fault PtpTransactionRunner::readContainerStart(ContainerStart& start,
                                                                     bool dataMayCome,
                                                                     uint32_t transactionId) {
    start.have = 0;
    int emptyReads = 0;
    // A response fits one packet. Every byte of a read's capacity crosses to the host and
    // back (an emulated bus copies it both ways), so a read that can only bring a response
    // asks for no more.
    while (start.have < Ptp::kHeaderSize) {
        size_t received = 0;
        const size_t capacity =
            dataMayCome ? roundDown(staging_.size() - start.have, packetSize_) : packetSize_;
        const PipeStatus status =
            dataMayCome && start.have == 0 && pending_.empty()
                ? readDataStart(received, transactionId)
                : readIn(staging_.data() + start.have, capacity, received, limits_.responseMs);
        start.have += received;
        if (status != PipeStatus::Ok) {
            return {status, PipeEndpoint::BulkIn};
        }
        if (received == 0 && ++emptyReads > kMaxEmptyReads) {
            return protocolError();
        }
    }
    const auto header = Ptp::decodeHeader(staging_.data(), start.have);
    if (!header) {
        return protocolError();
    }
    start.header = *header;
    return {};
}

PipeStatus PtpTransactionRunner::readDataStart(size_t& received, uint32_t transactionId) {
    if (firstRead_) {
        const FirstRead first = *firstRead_;
        firstRead_.reset();
        received = first.received;
        return first.status;
    }
    // One packet is queued behind the data phase's first read: a short data phase's response
    // (or the next piece of a long one) then arrives without a request of its own.
    size_t ahead = 0;
    const PipeStatus status = pipe_.readBulkTwo(
        staging_.data(), stagingTransfer_, received, ahead_.data(), ahead_.size(), ahead,
        limits_.responseMs, [&](size_t got) { return wantsReadBehind(got, transactionId); });
    appendReadBehind(received, ahead);
    return status;
}

bool PtpTransactionRunner::wantsReadBehind(size_t got, uint32_t transactionId) const {
    if (got < Ptp::kHeaderSize) {
        return true;
    }
    // Behind anything but our own data container nothing need come.
    const auto header = Ptp::decodeHeader(staging_.data(), got);
    if (!header || header->type != Ptp::ContainerType::Data ||
        header->transactionId != transactionId) {
        return false;
    }
    if (got < header->length) {
        return true;
    }
    // The data is all here; a device that does not end it on its own packet may have sent
    // the response in the same transfer.
    const size_t after = got - header->length;
    if (after < Ptp::kHeaderSize) {
        return true;
    }
    const auto response = Ptp::decodeHeader(staging_.data() + header->length, after);
    return response && after < response->length;
}

void PtpTransactionRunner::appendReadBehind(size_t& received, size_t ahead) {
    if (ahead > 0) {
        std::memcpy(staging_.data() + received, ahead_.data(), ahead);
        received += ahead;
    }
}

PtpTransactionRunner::Fault PtpTransactionRunner::readDataPayload(const ContainerStart& start,
                                                                  uint32_t transactionId,
                                                                  MtpResponse& response) {
    const Ptp::ContainerHeader& header = start.header;
    if (header.transactionId != transactionId) {
        return foreign(header.transactionId);
    }
    // 0xFFFFFFFF announces a container beyond 4 GiB, more than a response can carry.
    if (header.length < Ptp::kHeaderSize || header.length == 0xFFFFFFFFu ||
        header.length - Ptp::kHeaderSize > limits_.maxDataPhase) {
        return protocolError();
    }
    const size_t payload = header.length - Ptp::kHeaderSize;
    MtpBuffer buffer{nullptr, &std::free};
    if (payload > 0) {
        buffer.reset(allocatePayload(payload));
        if (!buffer) {
            return protocolError();
        }
    }

    const size_t staged = start.have - Ptp::kHeaderSize;
    const size_t fromStaging = std::min(staged, payload);
    if (fromStaging > 0) {
        std::memcpy(buffer.get(), staging_.data() + Ptp::kHeaderSize, fromStaging);
    }
    // A device that does not end its data phase on its own packet sends the response right
    // behind it, in the same transfer.
    pending_.assign(staging_.begin() + static_cast<std::ptrdiff_t>(Ptp::kHeaderSize + fromStaging),
                    staging_.begin() + static_cast<std::ptrdiff_t>(start.have));

    // The rest goes straight into the response buffer, in transfers of whole packets.
    bool previousWasShort = fromStaging < payload && start.have % packetSize_ != 0;
    for (size_t done = fromStaging; done < payload;) {
        const size_t chunk = std::min(payload - done, maxTransfer_);
        size_t received = 0;
        const PipeStatus status =
            pipe_.readBulk(buffer.get() + done, chunk, received, transferTimeout(chunk));
        if (status != PipeStatus::Ok) {
            return {status, PipeEndpoint::BulkIn};
        }
        // Some devices split a data phase into several short transfers; but when the transfer
        // after a short one is our response, the data phase simply ended early.
        if (received == 0 ||
            (previousWasShort && isOwnResponse(buffer.get() + done, received, transactionId))) {
            return protocolError();
        }
        previousWasShort = received < chunk;
        done += received;
    }
    response.data = std::move(buffer);
    response.dataSize = static_cast<uint32_t>(payload);
    return {};
}

PtpTransactionRunner::Fault PtpTransactionRunner::finishResponse(ContainerStart& start,
                                                                 uint32_t transactionId,
                                                                 MtpResponse& response) {
    const Ptp::ContainerHeader& header = start.header;
    if (header.transactionId != transactionId) {
        return foreign(header.transactionId);
    }
    if (header.type != Ptp::ContainerType::Response || header.length < Ptp::kHeaderSize ||
        header.length > kMaxResponseLength) {
        return protocolError();
    }
    while (start.have < header.length) {
        size_t received = 0;
        const size_t capacity = roundDown(staging_.size() - start.have, packetSize_);
        const PipeStatus status =
            readIn(staging_.data() + start.have, capacity, received, limits_.responseMs);
        if (status != PipeStatus::Ok) {
            return {status, PipeEndpoint::BulkIn};
        }
        if (received == 0) {
            return protocolError();
        }
        start.have += received;
    }
    const auto container = Ptp::decodeContainer(staging_.data(), header.length);
    if (!container) {
        return protocolError();
    }
    // Code 0 means "no response" to every caller, so one from the camera carries nothing.
    if (container->code == 0) {
        response = MtpResponse{};
        return {};
    }
    response.responseCode = container->code;
    if (container->code == kMtpResponseOk) {
        response.parameters = container->parameters;
    }
    return {};
}

PipeStatus PtpTransactionRunner::readIn(uint8_t* data, size_t capacity, size_t& received,
                                        unsigned timeoutMs) {
    if (pending_.empty()) {
        return pipe_.readBulk(data, capacity, received, timeoutMs);
    }
    received = std::min(capacity, pending_.size());
    std::memcpy(data, pending_.data(), received);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(received));
    return PipeStatus::Ok;
}

bool PtpTransactionRunner::isOwnResponse(const uint8_t* data, size_t size,
                                         uint32_t transactionId) const {
    const auto container = Ptp::decodeContainer(data, size);
    return container && container->type == Ptp::ContainerType::Response &&
           container->transactionId == transactionId;
}

unsigned PtpTransactionRunner::transferTimeout(size_t bytes) const {
    const size_t extra = (bytes >> 20) * limits_.perMiBMs;
    return limits_.responseMs + static_cast<unsigned>(extra);
}

bool PtpTransactionRunner::noteGone(PipeStatus status) {
    if (status == PipeStatus::Disconnected || !pipe_.isAttached()) {
        gone_ = true;
    }
    return gone_;
}

// The still-image class recovery. A stall is the camera refusing the transaction: its reason
// is read before the halts are cleared, since clearing them resets it. Anything else (a
// timeout, a container that does not belong here) may leave the camera in its data phase: the
// transaction is cancelled and the pipe drained. The device is reset only when that fails.
uint16_t PtpTransactionRunner::recover(const Fault& fault, uint32_t transactionId) {
    pending_.clear();
    if (noteGone(fault.status)) {
        return 0;
    }
    if (fault.status == PipeStatus::Stall) {
        return recoverFromStall(fault);
    }
    if (!cancelAndSettle(fault.foreignTransaction.value_or(transactionId)) && !gone_) {
        resetDevice();
    }
    return 0;
}

uint16_t PtpTransactionRunner::recoverFromStall(const Fault& fault) {
    PipeDeviceStatus status;
    const bool settled = settle(false, status);
    if (gone_) {
        return 0;
    }
    const bool inHalted = status.bulkInHalted || fault.endpoint == PipeEndpoint::BulkIn;
    const bool outHalted = status.bulkOutHalted || fault.endpoint == PipeEndpoint::BulkOut;
    if (!settled || !clearHalts(inHalted, outHalted) || !drainBulkIn()) {
        if (!gone_) {
            resetDevice();
        }
        return 0;
    }
    // OK after a stall says nothing about why; Busy only that the camera never settled.
    const bool reason = status.code != kMtpResponseOk && status.code != kResponseDeviceBusy;
    return reason ? status.code : 0;
}

bool PtpTransactionRunner::cancelAndSettle(uint32_t transactionId) {
    // A camera without the Cancel request still gets its status polled and its pipe drained.
    const PipeStatus cancelled = pipe_.cancel(transactionId);
    if (noteGone(cancelled)) {
        return false;
    }
    PipeDeviceStatus status;
    return settle(true, status) && drainBulkIn();
}

bool PtpTransactionRunner::settle(bool untilOk, PipeDeviceStatus& last) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(limits_.settleMs);
    for (bool first = true;; first = false) {
        if (!first) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(limits_.statusPollMs));
        }
        const PipeStatus result = pipe_.getDeviceStatus(last);
        if (noteGone(result) || result != PipeStatus::Ok) {
            return false;
        }
        if (!untilOk) {
            // After a stall the halts stay until the reason has been read.
            if (last.code != kResponseDeviceBusy) {
                return true;
            }
            continue;
        }
        // Halts reported while winding down are cleared at once; some cameras report OK only
        // after that.
        if (!clearHalts(last.bulkInHalted, last.bulkOutHalted)) {
            return false;
        }
        if (last.code == kMtpResponseOk) {
            return true;
        }
    }
}

bool PtpTransactionRunner::clearHalts(bool bulkIn, bool bulkOut) {
    if (bulkIn && noteGone(pipe_.clearHalt(PipeEndpoint::BulkIn))) {
        return false;
    }
    if (bulkOut && noteGone(pipe_.clearHalt(PipeEndpoint::BulkOut))) {
        return false;
    }
    return true;
}

bool PtpTransactionRunner::drainBulkIn() {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(limits_.drainLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        size_t received = 0;
        const PipeStatus status =
            pipe_.readBulk(staging_.data(), stagingTransfer_, received, limits_.drainMs);
        if (status == PipeStatus::Timeout && received == 0) {
            return true;
        }
        if (status != PipeStatus::Ok && status != PipeStatus::Timeout) {
            noteGone(status);
            return false;
        }
    }
    return false;
}

void PtpTransactionRunner::resetDevice() {
    if (noteGone(pipe_.resetDevice())) {
        return;
    }
    wasReset_ = true;
    if (clearHalts(true, true)) {
        drainBulkIn();
    }
}

}  // namespace Corvane::CameraController::Impl
