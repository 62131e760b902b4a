#include "seqpacket_server.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "camera_model.hpp"
#include "mtp/usb/seqpacket_pipe.hpp"
#include "usb_function.hpp"

namespace Corvane::CameraController::Emulator {

namespace {

namespace Sp = Impl::Seqpacket;
using Impl::PipeStatus;

/// Largest bulk transfer served at once in either direction; the host's stay well below it.
constexpr size_t kMaxTransfer = 16u << 20;

bool sendMessage(int fd, const Sp::Header& header, const uint8_t* payload, size_t size) {
    uint8_t head[Sp::kHeaderSize];
    Sp::encodeHeader(header, head);
    iovec parts[2] = {{head, sizeof head}, {const_cast<uint8_t*>(payload), size}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = size > 0 ? 2 : 1;
    ssize_t sent = 0;
    do {
        sent = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(sizeof head + size);
}

bool reply(int fd, const Sp::Header& request, PipeStatus status, uint32_t value) {
    Sp::Header header = request;
    header.flags = 0;
    header.value0 = static_cast<uint32_t>(status);
    header.value1 = value;
    return sendMessage(fd, header, nullptr, 0);
}

// Sends one transfer's bytes as fragments; an empty transfer is one empty message.
bool replyWithData(int fd, const Sp::Header& request, PipeStatus status, const uint8_t* data,
                   size_t size) {
    size_t offset = 0;
    do {
        const size_t chunk = std::min(Sp::kMaxFragment, size - offset);
        Sp::Header header = request;
        header.flags = offset + chunk < size ? Sp::kFlagMore : 0;
        header.value0 = static_cast<uint32_t>(status);
        header.value1 = static_cast<uint32_t>(size);
        if (!sendMessage(fd, header, data + offset, chunk)) {
            return false;
        }
        offset += chunk;
    } while (offset < size);
    return true;
}

Impl::PipeEndpoint endpointOf(uint32_t value) {
    return value == 0   ? Impl::PipeEndpoint::BulkIn
           : value == 1 ? Impl::PipeEndpoint::BulkOut
                        : Impl::PipeEndpoint::InterruptIn;
}

}  // namespace

SeqpacketServer::SeqpacketServer(std::shared_ptr<CameraModel> model, std::string path)
    : model_(std::move(model)), path_(std::move(path)) {}

SeqpacketServer::~SeqpacketServer() {
    dropConnections();
    for (auto& thread : threads_) {
        thread.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
    if (listening_) {
        ::unlink(path_.c_str());
    }
}

bool SeqpacketServer::listen(std::string& error) {
    // Bound under a temporary name and renamed once listening, so that a client that sees
    // the socket can always connect to it.
    const std::string staging = path_ + ".tmp" + std::to_string(::getpid());
    sockaddr_un address{};
    if (path_.empty() || staging.size() >= sizeof address.sun_path) {
        error = "socket path is empty or longer than " +
                std::to_string(sizeof address.sun_path - 12) + " bytes";
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, staging.c_str(), staging.size() + 1);
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0 && !S_ISSOCK(info.st_mode)) {
        error = path_ + " exists and is not a socket";
        return false;
    }
    ::unlink(staging.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 8) != 0 || ::rename(staging.c_str(), path_.c_str()) != 0) {
        error = std::string("cannot listen on ") + path_ + ": " + std::strerror(errno);
        ::unlink(staging.c_str());
        return false;
    }
    listening_ = true;
    return true;
}

void SeqpacketServer::run(int controlFd) {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {controlFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            char command = 0;
            if (::read(controlFd, &command, 1) != 1 || command == 'q') {
                return;
            }
            if (command == 'u') {
                togglePlug();
            }
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            if (!model_->plugged()) {
                ::close(fd);  // nothing at the end of the cable
                continue;
            }
            std::lock_guard<std::mutex> lock(connectionsMutex_);
            connections_.push_back(fd);
            threads_.emplace_back([this, fd] { serve(fd); });
        }
    }
}

void SeqpacketServer::togglePlug() {
    if (model_->plugged()) {
        model_->unplug();
        dropConnections();
    } else {
        model_->replug();
    }
}

void SeqpacketServer::dropConnections() {
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    for (const int fd : connections_) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

void SeqpacketServer::serve(int fd) {
    const auto function = UsbFunction::create(model_);
    std::vector<uint8_t> message(Sp::kHeaderSize + Sp::kMaxFragment);
    std::vector<uint8_t> outgoing;
    std::vector<uint8_t> incoming;
    for (;;) {
        msghdr header{};
        iovec part{message.data(), message.size()};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        ssize_t n = 0;
        do {
            n = ::recvmsg(fd, &header, 0);
        } while (n < 0 && errno == EINTR);
        if (n < static_cast<ssize_t>(Sp::kHeaderSize) || (header.msg_flags & MSG_TRUNC) != 0) {
            break;  // closed, or a peer that does not speak the protocol
        }
        const Sp::Header request = Sp::decodeHeader(message.data());
        const uint8_t* payload = message.data() + Sp::kHeaderSize;
        const size_t size = static_cast<size_t>(n) - Sp::kHeaderSize;
        bool ok = true;
        switch (request.kind) {
            case Sp::Kind::Hello: {
                Sp::Header hello = request;
                hello.flags = 0;
                hello.value0 = Sp::kVersion;
                hello.value1 = static_cast<uint32_t>(function->packetSize());
                ok = sendMessage(fd, hello, nullptr, 0);
                break;
            }
            case Sp::Kind::BulkOut: {
                if (outgoing.size() + size > kMaxTransfer) {
                    ok = false;  // a client that never ends its transfer is cut off
                    break;
                }
                outgoing.insert(outgoing.end(), payload, payload + size);
                if ((request.flags & Sp::kFlagMore) != 0) {
                    break;
                }
                size_t written = 0;
                const PipeStatus status =
                    function->bulkOut(outgoing.data(), outgoing.size(), written,
                                      (request.flags & Sp::kFlagTerminate) != 0);
                outgoing.clear();
                ok = reply(fd, request, status, static_cast<uint32_t>(written));
                break;
            }
            case Sp::Kind::BulkIn: {
                incoming.resize(std::min<size_t>(request.value0, kMaxTransfer));
                size_t received = 0;
                const PipeStatus status =
                    function->bulkIn(incoming.data(), incoming.size(), received, request.value1);
                ok = replyWithData(fd, request, status, incoming.data(), received);
                break;
            }
            case Sp::Kind::InterruptIn: {
                size_t received = 0;
                ok = reply(fd, request, function->interruptIn(received, request.value1), 0);
                break;
            }
            case Sp::Kind::Cancel:
                ok = reply(fd, request, function->cancel(request.value0), 0);
                break;
            case Sp::Kind::GetStatus: {
                Impl::PipeDeviceStatus status;
                const PipeStatus result = function->deviceStatus(status);
                ok = reply(fd, request, result,
                           status.code | (status.bulkInHalted ? 1u << 16 : 0) |
                               (status.bulkOutHalted ? 1u << 17 : 0));
                break;
            }
            case Sp::Kind::Reset:
                ok = reply(fd, request, function->reset(), 0);
                break;
            case Sp::Kind::ClearHalt:
                ok = reply(fd, request, function->clearHalt(endpointOf(request.value0)), 0);
                break;
            default:
                ok = reply(fd, request, PipeStatus::Error, 0);
                break;
        }
        if (!ok) {
            break;
        }
    }
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    connections_.erase(std::remove(connections_.begin(), connections_.end(), fd),
                       connections_.end());
    ::close(fd);
}

}  // namespace Corvane::CameraController::Emulator
