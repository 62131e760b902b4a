#include "mtp/usb/seqpacket_pipe.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace Corvane::CameraController::Impl {

namespace Seqpacket {

namespace {

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

void encodeHeader(const Header& header, uint8_t* out) {
    put16(out, static_cast<uint16_t>(header.kind));
    put16(out + 2, header.flags);
    put32(out + 4, header.sequence);
    put32(out + 8, header.value0);
    put32(out + 12, header.value1);
}

Header decodeHeader(const uint8_t* in) {
    Header header;
    header.kind = static_cast<Kind>(get16(in));
    header.flags = get16(in + 2);
    header.sequence = get32(in + 4);
    header.value0 = get32(in + 8);
    header.value1 = get32(in + 12);
    return header;
}

}  // namespace Seqpacket

namespace {

using Seqpacket::Header;
using Seqpacket::Kind;

/// Extra wait for a reply beyond the transfer's own timeout: the server answers a timed-out
/// read itself, so this only matters when it hangs.
constexpr unsigned kReplyMarginMs = 2000;
constexpr unsigned kHelloTimeoutMs = 2000;
constexpr long kReceiveFailed = -1;
constexpr long kReceiveTimeout = -2;
constexpr long kReceiveStale = -3;

PipeStatus statusFrom(uint32_t value) {
    return value <= static_cast<uint32_t>(PipeStatus::Error) ? static_cast<PipeStatus>(value)
                                                             : PipeStatus::Error;
}

}  // namespace

std::unique_ptr<SeqpacketPipe> SeqpacketPipe::connect(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return nullptr;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<SeqpacketPipe> pipe(new SeqpacketPipe(fd));
    Header hello;
    hello.kind = Kind::Hello;
    hello.value0 = Seqpacket::kVersion;
    Header reply;
    size_t none = 0;
    if (pipe->roundTrip(hello, nullptr, 0, nullptr, 0, none, reply, kHelloTimeoutMs) !=
            PipeStatus::Ok ||
        reply.value0 != Seqpacket::kVersion) {
        return nullptr;
    }
    if (reply.value1 >= 8 && reply.value1 <= 65536) {
        pipe->packetSize_ = reply.value1;
    }
    return pipe;
}

SeqpacketPipe::~SeqpacketPipe() {
    ::close(fd_);
}

PipeStatus SeqpacketPipe::gone() {
    gone_ = true;
    return PipeStatus::Disconnected;
}

bool SeqpacketPipe::sendMessage(const Header& header, const uint8_t* payload, size_t size) {
    uint8_t head[Seqpacket::kHeaderSize];
    Seqpacket::encodeHeader(header, head);
    iovec parts[2] = {{head, sizeof head}, {const_cast<uint8_t*>(payload), size}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = size > 0 ? 2 : 1;
    for (;;) {
        const ssize_t sent = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (sent >= 0) {
            return static_cast<size_t>(sent) == sizeof head + size;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

long SeqpacketPipe::receiveMessage(Header& header, uint8_t* payload, size_t capacity,
                                   unsigned timeoutMs, uint32_t expectedSequence) {
    pollfd waiting{fd_, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(std::min<unsigned>(timeoutMs, INT_MAX)));
    if (ready == 0) {
        return kReceiveTimeout;
    }
    if (ready < 0) {
        return errno == EINTR ? kReceiveTimeout : kReceiveFailed;
    }
    uint8_t head[Seqpacket::kHeaderSize];
    ssize_t peeked = 0;
    do {
        peeked = ::recv(fd_, head, sizeof head, MSG_PEEK);
    } while (peeked < 0 && errno == EINTR);
    if (peeked < static_cast<ssize_t>(sizeof head)) {
        return kReceiveFailed;
    }
    if (Seqpacket::decodeHeader(head).sequence != expectedSequence) {
        // The late answer to a request that timed out; a short read drops the whole message.
        return ::recv(fd_, head, sizeof head, 0) < 0 ? kReceiveFailed : kReceiveStale;
    }
    iovec parts[2] = {{head, sizeof head}, {payload, capacity}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = capacity > 0 ? 2 : 1;
    ssize_t n = 0;
    do {
        n = ::recvmsg(fd_, &message, 0);
    } while (n < 0 && errno == EINTR);
    // A message larger than what was asked for means the two sides disagree: give up on them.
    if (n < static_cast<ssize_t>(sizeof head) || (message.msg_flags & MSG_TRUNC) != 0) {
        return kReceiveFailed;
    }
    header = Seqpacket::decodeHeader(head);
    return n - static_cast<ssize_t>(sizeof head);
}

PipeStatus SeqpacketPipe::roundTrip(Header request, const uint8_t* out, size_t outSize, uint8_t* in,
                                    size_t capacity, size_t& inSize, Header& reply,
                                    unsigned timeoutMs) {
    inSize = 0;
    std::lock_guard<std::mutex> lock(requestMutex_);
    if (gone_) {
        return PipeStatus::Disconnected;
    }
    request.sequence = ++sequence_;
    size_t offset = 0;
    do {
        const size_t chunk = std::min(Seqpacket::kMaxFragment, outSize - offset);
        Header fragment = request;
        if (offset + chunk < outSize) {
            fragment.flags |= Seqpacket::kFlagMore;
        }
        if (!sendMessage(fragment, out + offset, chunk)) {
            return gone();
        }
        offset += chunk;
    } while (offset < outSize);

    const unsigned wait = timeoutMs + kReplyMarginMs;
    for (;;) {
        Header header;
        const long n =
            receiveMessage(header, in + inSize, capacity - inSize, wait, request.sequence);
        if (n == kReceiveStale) {
            continue;
        }
        if (n == kReceiveTimeout) {
            return PipeStatus::Timeout;
        }
        if (n < 0 || header.kind != request.kind) {
            return gone();
        }
        inSize += static_cast<size_t>(n);
        if ((header.flags & Seqpacket::kFlagMore) == 0) {
            reply = header;
            return PipeStatus::Ok;
        }
    }
}

PipeStatus SeqpacketPipe::writeBulk(const uint8_t* data, size_t size, size_t& written,
                                    unsigned timeoutMs, bool terminate) {
    written = 0;
    Header request;
    request.kind = Kind::BulkOut;
    request.flags = terminate ? Seqpacket::kFlagTerminate : 0;
    request.value1 = timeoutMs;
    Header reply;
    size_t none = 0;
    const PipeStatus status = roundTrip(request, data, size, nullptr, 0, none, reply, timeoutMs);
    if (status != PipeStatus::Ok) {
        return status;
    }
    written = std::min<size_t>(reply.value1, size);
    return statusFrom(reply.value0);
}

PipeStatus SeqpacketPipe::readBulk(uint8_t* data, size_t capacity, size_t& received,
                                   unsigned timeoutMs) {
    received = 0;
    Header request;
    request.kind = Kind::BulkIn;
    request.value0 = static_cast<uint32_t>(std::min<size_t>(capacity, UINT32_MAX));
    request.value1 = timeoutMs;
    Header reply;
    const PipeStatus status =
        roundTrip(request, nullptr, 0, data, request.value0, received, reply, timeoutMs);
    return status != PipeStatus::Ok ? status : statusFrom(reply.value0);
}

PipeStatus SeqpacketPipe::readInterrupt(uint8_t* data, size_t capacity, size_t& received,
                                        unsigned timeoutMs) {
    received = 0;
    Header request;
    request.kind = Kind::InterruptIn;
    request.value0 = static_cast<uint32_t>(std::min<size_t>(capacity, UINT32_MAX));
    request.value1 = timeoutMs;
    Header reply;
    const PipeStatus status =
        roundTrip(request, nullptr, 0, data, request.value0, received, reply, timeoutMs);
    return status != PipeStatus::Ok ? status : statusFrom(reply.value0);
}

PipeStatus SeqpacketPipe::cancel(uint32_t transactionId) {
    Header request;
    request.kind = Kind::Cancel;
    request.value0 = transactionId;
    Header reply;
    size_t none = 0;
    const PipeStatus status = roundTrip(request, nullptr, 0, nullptr, 0, none, reply, 0);
    return status != PipeStatus::Ok ? status : statusFrom(reply.value0);
}

PipeStatus SeqpacketPipe::getDeviceStatus(PipeDeviceStatus& status) {
    Header request;
    request.kind = Kind::GetStatus;
    Header reply;
    size_t none = 0;
    const PipeStatus result = roundTrip(request, nullptr, 0, nullptr, 0, none, reply, 0);
    if (result != PipeStatus::Ok) {
        return result;
    }
    status.code = static_cast<uint16_t>(reply.value1);
    status.bulkInHalted = (reply.value1 & (1u << 16)) != 0;
    status.bulkOutHalted = (reply.value1 & (1u << 17)) != 0;
    return statusFrom(reply.value0);
}

PipeStatus SeqpacketPipe::resetDevice() {
    Header request;
    request.kind = Kind::Reset;
    Header reply;
    size_t none = 0;
    const PipeStatus status = roundTrip(request, nullptr, 0, nullptr, 0, none, reply, 0);
    return status != PipeStatus::Ok ? status : statusFrom(reply.value0);
}

PipeStatus SeqpacketPipe::clearHalt(PipeEndpoint endpoint) {
    Header request;
    request.kind = Kind::ClearHalt;
    request.value0 = endpoint == PipeEndpoint::BulkIn    ? 0
                     : endpoint == PipeEndpoint::BulkOut ? 1
                                                         : 2;
    Header reply;
    size_t none = 0;
    const PipeStatus status = roundTrip(request, nullptr, 0, nullptr, 0, none, reply, 0);
    return status != PipeStatus::Ok ? status : statusFrom(reply.value0);
}

bool SeqpacketPipe::isAttached() {
    if (gone_) {
        return false;
    }
    pollfd check{fd_, 0, 0};
    if (::poll(&check, 1, 0) > 0 && (check.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        gone_ = true;
    }
    return !gone_;
}

}  // namespace Corvane::CameraController::Impl
