#include "usb_function.hpp"

#include <algorithm>
#include <cstring>

#include "camera_model.hpp"
#include "mtp/usb/ptp_container.hpp"

namespace Corvane::CameraController::Emulator {

namespace {

using Impl::PipeStatus;
namespace Ptp = Impl::Ptp;

constexpr size_t kMaxCommandSize = Ptp::kHeaderSize + 4 * Ptp::kMaxParameters;
/// The largest data phase the camera takes from the host; its own datasets are tiny.
constexpr uint64_t kMaxHostData = 16u << 20;
constexpr uint32_t kUnknownLength = 0xFFFFFFFF;
constexpr unsigned kDefaultTimeoutMs = 1000;

}  // namespace

std::shared_ptr<UsbFunction> UsbFunction::create(std::shared_ptr<CameraModel> model,
                                                 size_t packetSize) {
    auto* raw = new UsbFunction(std::move(model), packetSize);
    std::shared_ptr<UsbFunction> function(raw);
    function->model_->addFunction(function);
    return function;
}

UsbFunction::UsbFunction(std::shared_ptr<CameraModel> model, size_t packetSize)
    : model_(std::move(model)),
      packetSize_(packetSize == 0 ? 512 : packetSize),
      generation_(model_->generation()) {
    header_.reserve(kMaxCommandSize);
}

bool UsbFunction::attached() const {
    return model_->plugged() && model_->generation() == generation_;
}

void UsbFunction::wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    readable_.notify_all();
}

void UsbFunction::protocolError() {
    inHalted_ = true;
    outHalted_ = true;
    statusCode_ = 0x2002;
    header_.clear();
    pending_ = Operation{};
    outState_ = OutState::Command;
    dataExpected_ = 0;
    dataUntilShort_ = false;
    in_.clear();
}

std::optional<size_t> UsbFunction::consume(const uint8_t* data, size_t size,
                                           std::vector<Operation>& ready) {
    if (outState_ == OutState::Data || outState_ == OutState::Discard) {
        if (header_.size() < Ptp::kHeaderSize) {
            // Still gathering the header of the data container.
        } else {
            const size_t n = dataUntilShort_
                                 ? size
                                 : static_cast<size_t>(std::min<uint64_t>(size, dataExpected_));
            if (outState_ == OutState::Data) {
                if (pending_.data.size() + n > kMaxHostData) {
                    return std::nullopt;
                }
                pending_.data.insert(pending_.data.end(), data, data + n);
            }
            if (!dataUntilShort_) {
                dataExpected_ -= n;
                if (dataExpected_ == 0) {
                    if (outState_ == OutState::Data) {
                        pending_.hasData = true;
                        ready.push_back(std::move(pending_));
                        pending_ = Operation{};
                    }
                    outState_ = OutState::Command;
                    header_.clear();
                }
            }
            return n;
        }
    }

    // Gather a header (and, for a command, the whole container).
    size_t taken = 0;
    if (header_.size() < Ptp::kHeaderSize) {
        taken = std::min(size, Ptp::kHeaderSize - header_.size());
        header_.insert(header_.end(), data, data + taken);
        if (header_.size() < Ptp::kHeaderSize) {
            return taken;
        }
    }
    const auto header = Ptp::decodeHeader(header_.data(), header_.size());
    if (!header) {
        return std::nullopt;
    }

    if (outState_ == OutState::Command && header->type == Ptp::ContainerType::Command) {
        if (header->length < Ptp::kHeaderSize || header->length > kMaxCommandSize) {
            return std::nullopt;
        }
        const size_t more = std::min(size - taken, header->length - header_.size());
        header_.insert(header_.end(), data + taken, data + taken + more);
        taken += more;
        if (header_.size() < header->length) {
            return taken;
        }
        const auto container = Ptp::decodeContainer(header_.data(), header_.size());
        header_.clear();
        if (!container) {
            return std::nullopt;
        }
        Operation operation;
        operation.code = container->code;
        operation.transactionId = container->transactionId;
        operation.parameters = container->parameters;
        if (CameraModel::takesData(operation.code)) {
            // A camera that refuses from the command alone stalls the data phase and gives
            // its reason through GET_DEVICE_STATUS; no response container follows.
            if (const uint16_t refusal = model_->refuseDataPhase(operation)) {
                outHalted_ = true;
                statusCode_ = refusal;
                return taken;
            }
            pending_ = std::move(operation);
            outState_ = OutState::Data;
        } else {
            ready.push_back(std::move(operation));
        }
        return taken;
    }

    if (header->type != Ptp::ContainerType::Data) {
        return std::nullopt;
    }
    const bool expected = outState_ == OutState::Data;
    if (expected &&
        (header->code != pending_.code || header->transactionId != pending_.transactionId)) {
        return std::nullopt;
    }
    if (!expected) {
        // Data for an operation that takes none: swallowed, the answer was already given.
        outState_ = OutState::Discard;
    }
    dataUntilShort_ = header->length == kUnknownLength;
    if (!dataUntilShort_ && header->length < Ptp::kHeaderSize) {
        return std::nullopt;
    }
    dataExpected_ = dataUntilShort_ ? 0 : header->length - Ptp::kHeaderSize;
    if (expected && dataExpected_ > kMaxHostData) {
        return std::nullopt;
    }
    if (!dataUntilShort_ && dataExpected_ == 0) {
        if (expected) {
            pending_.hasData = true;
            ready.push_back(std::move(pending_));
            pending_ = Operation{};
        }
        outState_ = OutState::Command;
        header_.clear();
    }
    return taken;
}

PipeStatus UsbFunction::bulkOut(const uint8_t* data, size_t size, size_t& written, bool terminate) {
    written = 0;
    std::vector<Operation> ready;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!attached()) {
            return PipeStatus::Disconnected;
        }
        if (outHalted_) {
            return PipeStatus::Stall;
        }
        size_t position = 0;
        while (position < size) {
            const auto n = consume(data + position, size - position, ready);
            if (!n) {
                protocolError();
                written = position;
                return PipeStatus::Stall;
            }
            position += *n;
        }
        written = size;
        const bool transferEnded = size == 0 || size % packetSize_ != 0 || terminate;
        if (transferEnded) {
            if (dataUntilShort_ && outState_ != OutState::Command) {
                if (outState_ == OutState::Data) {
                    pending_.hasData = true;
                    ready.push_back(std::move(pending_));
                    pending_ = Operation{};
                }
                outState_ = OutState::Command;
                header_.clear();
                dataUntilShort_ = false;
            } else if (!header_.empty()) {
                // The host ended the transfer in the middle of a container (a command waiting
                // for its data phase has no bytes of it yet, which is fine).
                protocolError();
                return PipeStatus::Stall;
            }
        }
    }
    for (const Operation& operation : ready) {
        answer(operation);
    }
    return PipeStatus::Ok;
}

void UsbFunction::answer(const Operation& operation) {
    // The model takes its own lock; this function's lock is not held meanwhile.
    Reply reply = model_->execute(operation);
    if (!reply.silent) {
        queueReply(operation.transactionId, operation.code, std::move(reply));
    }
}

void UsbFunction::queueReply(uint32_t transactionId, uint16_t operationCode, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!attached()) {
        return;
    }
    const auto readyAt = std::chrono::steady_clock::now() + reply.latency;
    if (reply.hasData) {
        Segment data;
        data.transactionId = transactionId;
        Ptp::encodeDataHeader(operationCode, transactionId, reply.data.size, data.head);
        data.headSize = Ptp::kHeaderSize;
        data.payload = std::move(reply.data);
        data.readyAt = readyAt;
        in_.push_back(std::move(data));
    }
    Ptp::Container response;
    response.type = Ptp::ContainerType::Response;
    response.code = reply.code;
    response.transactionId = transactionId;
    response.parameters = std::move(reply.parameters);
    const std::vector<uint8_t> bytes = Ptp::encodeContainer(response);
    Segment segment;
    segment.transactionId = transactionId;
    segment.headSize = std::min(bytes.size(), sizeof segment.head);
    std::memcpy(segment.head, bytes.data(), segment.headSize);
    segment.readyAt = readyAt;
    in_.push_back(std::move(segment));
    readable_.notify_all();
}

size_t UsbFunction::copyOut(Segment& segment, uint8_t* data, size_t capacity) {
    const size_t n = std::min(capacity, segment.size() - segment.position);
    size_t done = 0;
    if (segment.position < segment.headSize) {
        done = std::min(n, segment.headSize - segment.position);
        std::memcpy(data, segment.head + segment.position, done);
    }
    if (done < n) {
        const size_t from = segment.position + done - segment.headSize;
        std::memcpy(data + done, segment.payload.data() + from, n - done);
    }
    segment.position += n;
    return n;
}

PipeStatus UsbFunction::bulkIn(uint8_t* data, size_t capacity, size_t& received,
                               unsigned timeoutMs) {
    received = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(timeoutMs != 0 ? timeoutMs : kDefaultTimeoutMs);
    for (;;) {
        if (!attached()) {
            return PipeStatus::Disconnected;
        }
        if (inHalted_) {
            return PipeStatus::Stall;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!in_.empty() && in_.front().readyAt <= now) {
            break;
        }
        if (now >= deadline) {
            return PipeStatus::Timeout;
        }
        const auto until = in_.empty() ? deadline : std::min(deadline, in_.front().readyAt);
        readable_.wait_until(lock, until);
    }
    Segment& segment = in_.front();
    const size_t before = segment.position;
    received = copyOut(segment, data, capacity);
    const bool allRead = segment.position == segment.size();
    // A transfer of whole packets ends with a zero-length packet; it stays pending when this
    // read's capacity was filled exactly, and the next read receives it.
    const bool zlpPending =
        segment.size() % packetSize_ == 0 && received == capacity && before < segment.size();
    if (allRead && !zlpPending) {
        in_.pop_front();
    }
    return PipeStatus::Ok;
}

PipeStatus UsbFunction::interruptIn(size_t& received, unsigned timeoutMs) {
    received = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(timeoutMs != 0 ? timeoutMs : kDefaultTimeoutMs);
    while (attached()) {
        if (readable_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return attached() ? PipeStatus::Timeout : PipeStatus::Disconnected;
        }
    }
    return PipeStatus::Disconnected;
}

PipeStatus UsbFunction::cancel(uint32_t transactionId) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!attached()) {
        return PipeStatus::Disconnected;
    }
    in_.erase(std::remove_if(in_.begin(), in_.end(),
                             [&](const Segment& s) { return s.transactionId == transactionId; }),
              in_.end());
    if (outState_ != OutState::Command || !header_.empty()) {
        header_.clear();
        pending_ = Operation{};
        outState_ = OutState::Command;
        dataExpected_ = 0;
        dataUntilShort_ = false;
    }
    busyUntil_ = std::chrono::steady_clock::now() + model_->cancelWindDown();
    return PipeStatus::Ok;
}

PipeStatus UsbFunction::deviceStatus(Impl::PipeDeviceStatus& status) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!attached()) {
        return PipeStatus::Disconnected;
    }
    const bool windingDown = std::chrono::steady_clock::now() < busyUntil_;
    status.code = windingDown && statusCode_ == 0x2001 ? 0x2019 : statusCode_;
    status.bulkInHalted = inHalted_;
    status.bulkOutHalted = outHalted_;
    return PipeStatus::Ok;
}

PipeStatus UsbFunction::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!attached()) {
        return PipeStatus::Disconnected;
    }
    protocolError();
    inHalted_ = false;
    outHalted_ = false;
    statusCode_ = 0x2001;
    busyUntil_ = {};
    model_->resetSession();
    return PipeStatus::Ok;
}

PipeStatus UsbFunction::clearHalt(Impl::PipeEndpoint endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!attached()) {
        return PipeStatus::Disconnected;
    }
    if (endpoint == Impl::PipeEndpoint::BulkIn) {
        inHalted_ = false;
    } else if (endpoint == Impl::PipeEndpoint::BulkOut) {
        outHalted_ = false;
    }
    if (!inHalted_ && !outHalted_) {
        statusCode_ = 0x2001;
    }
    return PipeStatus::Ok;
}

// --- MemoryPipe ----------------------------------------------------------------------------

PipeStatus MemoryPipe::writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned,
                                 bool terminate) {
    return function_->bulkOut(data, size, written, terminate);
}

PipeStatus MemoryPipe::readBulk(uint8_t* data, size_t capacity, size_t& received,
                                unsigned timeoutMs) {
    return function_->bulkIn(data, capacity, received, timeoutMs);
}

PipeStatus MemoryPipe::readInterrupt(uint8_t*, size_t, size_t& received, unsigned timeoutMs) {
    return function_->interruptIn(received, timeoutMs);
}

PipeStatus MemoryPipe::cancel(uint32_t transactionId) {
    return function_->cancel(transactionId);
}

PipeStatus MemoryPipe::getDeviceStatus(Impl::PipeDeviceStatus& status) {
    return function_->deviceStatus(status);
}

PipeStatus MemoryPipe::resetDevice() {
    return function_->reset();
}

PipeStatus MemoryPipe::clearHalt(Impl::PipeEndpoint endpoint) {
    return function_->clearHalt(endpoint);
}

}  // namespace Corvane::CameraController::Emulator
