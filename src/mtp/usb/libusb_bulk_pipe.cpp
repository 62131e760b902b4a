// Built only where libusb is available; the engine itself does not need it.
#if __has_include(<libusb.h>)

#include "mtp/usb/libusb_bulk_pipe.hpp"

#include <algorithm>
#include <climits>
#include <utility>

#include "mtp/usb/byte_order.hpp"

namespace Corvane::CameraController::Impl {
namespace {

constexpr unsigned kDefaultTimeoutMs = 5000;
constexpr unsigned kControlTimeoutMs = 2000;

constexpr uint8_t kClassOut =
    LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;
constexpr uint8_t kClassIn =
    LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;
constexpr uint8_t kRequestCancel = 0x64;
constexpr uint8_t kRequestDeviceReset = 0x66;
constexpr uint8_t kRequestGetDeviceStatus = 0x67;
constexpr uint16_t kCancellationCode = 0x4001;

// libusb takes 0 as "wait forever"; the pipe's contract takes it as "the default".
unsigned effectiveTimeout(unsigned timeoutMs) {
    return timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs;
}

void LIBUSB_CALL markDone(libusb_transfer* transfer) {
    *static_cast<int*>(transfer->user_data) = 1;
}

struct TransferFree {
    void operator()(libusb_transfer* transfer) const { libusb_free_transfer(transfer); }
};
using TransferPtr = std::unique_ptr<libusb_transfer, TransferFree>;

/// The libusb error a synchronous transfer would have returned for `status`.
int errorOf(libusb_transfer_status status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return LIBUSB_SUCCESS;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return LIBUSB_ERROR_TIMEOUT;
        case LIBUSB_TRANSFER_STALL:
            return LIBUSB_ERROR_PIPE;
        case LIBUSB_TRANSFER_OVERFLOW:
            return LIBUSB_ERROR_OVERFLOW;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return LIBUSB_ERROR_NO_DEVICE;
        default:
            return LIBUSB_ERROR_IO;
    }
}

}  // namespace

bool parseDeviceStatus(const uint8_t* data, size_t size, uint8_t bulkIn, uint8_t bulkOut,
                       PipeDeviceStatus& status) {
    if (data == nullptr || size < 4) {
        return false;
    }
    status = {};
    status.code = Ptp::loadLe16(data + 2);
    const size_t length = std::min<size_t>(Ptp::loadLe16(data), size);
    for (size_t offset = 4; offset + 4 <= length; offset += 4) {
        const uint32_t endpoint = Ptp::loadLe32(data + offset);
        status.bulkInHalted |= endpoint == bulkIn;
        status.bulkOutHalted |= endpoint == bulkOut;
    }
    return true;
}

LibusbBulkPipe::LibusbBulkPipe(std::shared_ptr<LibusbContext> context, LibusbHandle handle,
                               std::unique_ptr<LibusbClaim> claim,
                               const StillImageInterface& endpoints)
    : context_(std::move(context)),
      handle_(std::move(handle)),
      claim_(std::move(claim)),
      endpoints_(endpoints) {}

LibusbBulkPipe::~LibusbBulkPipe() = default;

PipeStatus LibusbBulkPipe::statusOf(int libusbError) {
    switch (libusbError) {
        case LIBUSB_SUCCESS:
            return PipeStatus::Ok;
        case LIBUSB_ERROR_TIMEOUT:
            return PipeStatus::Timeout;
        case LIBUSB_ERROR_PIPE:
            return PipeStatus::Stall;
        case LIBUSB_ERROR_NO_DEVICE:
            gone_ = true;
            return PipeStatus::Disconnected;
        default:
            // An unplug can surface as a plain I/O error before the hub reports it.
            return isAttached() ? PipeStatus::Error : PipeStatus::Disconnected;
    }
}

PipeStatus LibusbBulkPipe::transfer(uint8_t endpoint, bool interrupt, uint8_t* data, size_t size,
                                    size_t& moved, unsigned timeoutMs) {
    moved = 0;
    if (gone_) {
        return PipeStatus::Disconnected;
    }
    const int length = static_cast<int>(std::min<size_t>(size, INT_MAX));
    int transferred = 0;
    const int rc = interrupt ? libusb_interrupt_transfer(handle_.get(), endpoint, data, length,
                                                         &transferred, effectiveTimeout(timeoutMs))
                             : libusb_bulk_transfer(handle_.get(), endpoint, data, length,
                                                    &transferred, effectiveTimeout(timeoutMs));
    moved = transferred > 0 ? static_cast<size_t>(transferred) : 0;
    if (rc == LIBUSB_SUCCESS && moved < size && (endpoint & LIBUSB_ENDPOINT_IN) == 0) {
        return PipeStatus::Error;
    }
    return statusOf(rc);
}

PipeStatus LibusbBulkPipe::writeBulk(const uint8_t* data, size_t size, size_t& written,
                                     unsigned timeoutMs, bool terminate) {
    // libusb wants a mutable buffer even for OUT transfers; it does not write to it.
    PipeStatus status =
        transfer(endpoints_.bulkOut, false, const_cast<uint8_t*>(data), size, written, timeoutMs);
    if (status == PipeStatus::Ok && terminate && size > 0 && size % packetSize() == 0) {
        uint8_t none = 0;
        size_t zero = 0;
        status = transfer(endpoints_.bulkOut, false, &none, 0, zero, timeoutMs);
    }
    return status;
}

PipeStatus LibusbBulkPipe::readBulk(uint8_t* data, size_t capacity, size_t& received,
                                    unsigned timeoutMs) {
    return transfer(endpoints_.bulkIn, false, data, capacity, received, timeoutMs);
}

PipeStatus LibusbBulkPipe::readBulkTwo(uint8_t* data, size_t capacity, size_t& received,
                                       uint8_t* next, size_t nextCapacity, size_t& nextReceived,
                                       unsigned timeoutMs,
                                       const std::function<bool(size_t received)>& wantNext) {
    PipeStatus unused = PipeStatus::Ok;
    return exchange(nullptr, 0, 0, unused, data, capacity, received, next, nextCapacity,
                    nextReceived, timeoutMs, wantNext);
}

PipeStatus LibusbBulkPipe::writeThenReadTwo(const uint8_t* command, size_t commandSize,
                                            unsigned writeTimeoutMs, PipeStatus& writeStatus,
                                            uint8_t* data, size_t capacity, size_t& received,
                                            uint8_t* next, size_t nextCapacity,
                                            size_t& nextReceived, unsigned timeoutMs,
                                            const std::function<bool(size_t received)>& wantNext) {
    // A command of whole packets would need a zero-length packet of its own.
    if (commandSize == 0 || commandSize >= packetSize()) {
        return BulkPipe::writeThenReadTwo(command, commandSize, writeTimeoutMs, writeStatus, data,
                                          capacity, received, next, nextCapacity, nextReceived,
                                          timeoutMs, wantNext);
    }
    return exchange(command, commandSize, writeTimeoutMs, writeStatus, data, capacity, received,
                    next, nextCapacity, nextReceived, timeoutMs, wantNext);
}

PipeStatus LibusbBulkPipe::exchange(const uint8_t* command, size_t commandSize,
                                    unsigned writeTimeoutMs, PipeStatus& writeStatus, uint8_t* data,
                                    size_t capacity, size_t& received, uint8_t* next,
                                    size_t nextCapacity, size_t& nextReceived, unsigned timeoutMs,
                                    const std::function<bool(size_t received)>& wantNext) {
    received = 0;
    nextReceived = 0;
    writeStatus = PipeStatus::Ok;
    if (gone_) {
        writeStatus = command != nullptr ? PipeStatus::Disconnected : PipeStatus::Ok;
        return PipeStatus::Disconnected;
    }
    const TransferPtr out(command != nullptr ? libusb_alloc_transfer(0) : nullptr);
    const TransferPtr first(libusb_alloc_transfer(0));
    const TransferPtr second(libusb_alloc_transfer(0));
    if ((command != nullptr && !out) || !first || !second) {
        return command != nullptr
                   ? BulkPipe::writeThenReadTwo(command, commandSize, writeTimeoutMs, writeStatus,
                                                data, capacity, received, next, nextCapacity,
                                                nextReceived, timeoutMs, wantNext)
                   : BulkPipe::readBulkTwo(data, capacity, received, next, nextCapacity,
                                           nextReceived, timeoutMs, wantNext);
    }
    int outDone = 0;
    int firstDone = 0;
    int secondDone = 0;
    // The reads' clocks run from now, while the command and then the first read still wait.
    const unsigned writeTimeout = command != nullptr ? effectiveTimeout(writeTimeoutMs) : 0;
    const unsigned timeout = effectiveTimeout(timeoutMs);
    if (command != nullptr) {
        // libusb wants a mutable buffer even for OUT transfers; it does not write to it.
        libusb_fill_bulk_transfer(out.get(), handle_.get(), endpoints_.bulkOut,
                                  const_cast<uint8_t*>(command), static_cast<int>(commandSize),
                                  markDone, &outDone, writeTimeout);
    }
    libusb_fill_bulk_transfer(first.get(), handle_.get(), endpoints_.bulkIn, data,
                              static_cast<int>(std::min<size_t>(capacity, INT_MAX)), markDone,
                              &firstDone, writeTimeout + timeout);
    libusb_fill_bulk_transfer(second.get(), handle_.get(), endpoints_.bulkIn, next,
                              static_cast<int>(std::min<size_t>(nextCapacity, INT_MAX)), markDone,
                              &secondDone, writeTimeout + 2 * timeout);
    if (command != nullptr) {
        const int rc = libusb_submit_transfer(out.get());
        if (rc != LIBUSB_SUCCESS) {
            writeStatus = statusOf(rc);
            return writeStatus;
        }
    }
    const int firstRc = libusb_submit_transfer(first.get());
    const bool queued =
        firstRc == LIBUSB_SUCCESS && libusb_submit_transfer(second.get()) == LIBUSB_SUCCESS;
    if (command != nullptr) {
        awaitTransfer(out.get(), outDone);
        size_t written = 0;
        writeStatus = outcomeOf(*out, written);
        if (writeStatus == PipeStatus::Ok && written != commandSize) {
            writeStatus = PipeStatus::Error;
        }
    }
    if (writeStatus != PipeStatus::Ok) {
        // The device never took the whole command: nothing it sends belongs to it.
        if (firstRc == LIBUSB_SUCCESS) {
            libusb_cancel_transfer(first.get());
            awaitTransfer(first.get(), firstDone);
        }
        if (queued) {
            libusb_cancel_transfer(second.get());
            awaitTransfer(second.get(), secondDone);
        }
        return writeStatus;
    }
    if (firstRc != LIBUSB_SUCCESS) {
        return statusOf(firstRc);
    }
    awaitTransfer(first.get(), firstDone);
    const PipeStatus status = outcomeOf(*first, received);
    const bool wanted = status == PipeStatus::Ok && wantNext(received);
    if (!queued) {
        return wanted ? readBulk(next, nextCapacity, nextReceived, timeoutMs) : status;
    }
    if (!wanted) {
        libusb_cancel_transfer(second.get());
    }
    awaitTransfer(second.get(), secondDone);
    if (!wanted) {
        // Given up: its status says only that; bytes it brought are still reported.
        nextReceived = second->actual_length > 0 ? static_cast<size_t>(second->actual_length) : 0;
        return status;
    }
    return outcomeOf(*second, nextReceived);
}

void LibusbBulkPipe::awaitTransfer(libusb_transfer* transfer, int& done) {
    // As libusb's own synchronous transfers wait: a failed event round cancels the transfer,
    // whose callback then still comes.
    while (done == 0) {
        const int rc = libusb_handle_events_completed(context_->get(), &done);
        if (rc < 0 && rc != LIBUSB_ERROR_INTERRUPTED) {
            libusb_cancel_transfer(transfer);
        }
    }
}

PipeStatus LibusbBulkPipe::outcomeOf(const libusb_transfer& transfer, size_t& moved) {
    moved = transfer.actual_length > 0 ? static_cast<size_t>(transfer.actual_length) : 0;
    return statusOf(errorOf(transfer.status));
}

PipeStatus LibusbBulkPipe::readInterrupt(uint8_t* data, size_t capacity, size_t& received,
                                         unsigned timeoutMs) {
    if (endpoints_.interruptIn == 0) {
        received = 0;
        return PipeStatus::Error;
    }
    return transfer(endpoints_.interruptIn, true, data, capacity, received, timeoutMs);
}

PipeStatus LibusbBulkPipe::control(uint8_t requestType, uint8_t request, uint8_t* data,
                                   uint16_t size, int& moved) {
    moved = 0;
    if (gone_) {
        return PipeStatus::Disconnected;
    }
    const int rc =
        libusb_control_transfer(handle_.get(), requestType, request, 0, endpoints_.interfaceNumber,
                                data, size, kControlTimeoutMs);
    if (rc < 0) {
        return statusOf(rc);
    }
    moved = rc;
    return PipeStatus::Ok;
}

PipeStatus LibusbBulkPipe::cancel(uint32_t transactionId) {
    uint8_t data[6];
    Ptp::storeLe16(data, kCancellationCode);
    Ptp::storeLe32(data + 2, transactionId);
    int moved = 0;
    return control(kClassOut, kRequestCancel, data, sizeof data, moved);
}

PipeStatus LibusbBulkPipe::getDeviceStatus(PipeDeviceStatus& status) {
    uint8_t data[64] = {};
    int moved = 0;
    const PipeStatus result = control(kClassIn, kRequestGetDeviceStatus, data, sizeof data, moved);
    if (result != PipeStatus::Ok) {
        return result;
    }
    return parseDeviceStatus(data, static_cast<size_t>(moved), endpoints_.bulkIn,
                             endpoints_.bulkOut, status)
               ? PipeStatus::Ok
               : PipeStatus::Error;
}

PipeStatus LibusbBulkPipe::resetDevice() {
    int moved = 0;
    return control(kClassOut, kRequestDeviceReset, nullptr, 0, moved);
}

PipeStatus LibusbBulkPipe::clearHalt(PipeEndpoint endpoint) {
    if (gone_) {
        return PipeStatus::Disconnected;
    }
    const uint8_t address = endpoint == PipeEndpoint::BulkIn    ? endpoints_.bulkIn
                            : endpoint == PipeEndpoint::BulkOut ? endpoints_.bulkOut
                                                                : endpoints_.interruptIn;
    if (address == 0) {
        return PipeStatus::Error;
    }
    return statusOf(libusb_clear_halt(handle_.get(), address));
}

PipeStatus LibusbBulkPipe::release() {
    claim_.reset();
    return PipeStatus::Ok;
}

PipeStatus LibusbBulkPipe::reclaim() {
    if (claim_) {
        return PipeStatus::Ok;
    }
    if (gone_) {
        return PipeStatus::Disconnected;
    }
    const int rc = libusb_claim_interface(handle_.get(), endpoints_.interfaceNumber);
    if (rc != LIBUSB_SUCCESS) {
        return statusOf(rc);
    }
    claim_ = std::make_unique<LibusbClaim>(handle_.get(), endpoints_.interfaceNumber);
    if (endpoints_.altSetting != 0 &&
        libusb_set_interface_alt_setting(handle_.get(), endpoints_.interfaceNumber,
                                         endpoints_.altSetting) != LIBUSB_SUCCESS) {
        claim_.reset();
        return PipeStatus::Error;
    }
    return PipeStatus::Ok;
}

bool LibusbBulkPipe::isAttached() {
    if (gone_) {
        return false;
    }
    // The device object stays the same while it is plugged in; after an unplug the bus no
    // longer lists it.
    libusb_device* const self = libusb_get_device(handle_.get());
    const LibusbDeviceList devices(context_->get());
    if (!devices.valid()) {
        return true;
    }
    const bool listed = std::find(devices.begin(), devices.end(), self) != devices.end();
    if (!listed) {
        gone_ = true;
    }
    return listed;
}

}  // namespace Corvane::CameraController::Impl

#endif
