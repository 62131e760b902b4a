// A BulkPipe over a Unix SOCK_SEQPACKET socket: the client side of camemu, the emulated
// camera that runs in a process of its own.
//
// Wire format (all integers little-endian). Every message starts with a 16-byte header
//   u16 kind, u16 flags, u32 sequence, u32 value0, u32 value1
// followed by payload bytes. The client sends one request and waits for its reply, which
// echoes kind and sequence. One USB transfer travels as one message, split into fragments of
// at most kMaxFragment payload bytes with the More flag on all but the last, so short packets
// and zero-length packets keep their meaning.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "mtp/usb/bulk_pipe.hpp"

namespace Corvane::CameraController::Impl {

namespace Seqpacket {

enum class Kind : uint16_t {
    Hello = 1,        ///< reply value0 = protocol version, value1 = bulk packet size
    BulkOut = 2,      ///< payload = the transfer; reply value0 = PipeStatus, value1 = written
    BulkIn = 3,       ///< value0 = capacity, value1 = timeout ms; reply payload = the transfer
    InterruptIn = 4,  ///< as BulkIn
    Cancel = 5,       ///< value0 = transaction id
    GetStatus = 6,    ///< reply value1 = code | bulk-in halted << 16 | bulk-out halted << 17
    Reset = 7,
    ClearHalt = 8,  ///< value0 = 0 bulk-in, 1 bulk-out, 2 interrupt-in
};

constexpr uint16_t kFlagMore = 0x1;       ///< another fragment of this transfer follows
constexpr uint16_t kFlagTerminate = 0x2;  ///< bulk-out: end a whole-packet transfer with a ZLP
constexpr size_t kHeaderSize = 16;
constexpr size_t kMaxFragment = 64 * 1024;
constexpr uint32_t kVersion = 1;

struct Header {
    Kind kind = Kind::Hello;
    uint16_t flags = 0;
    uint32_t sequence = 0;
    uint32_t value0 = 0;
    uint32_t value1 = 0;
};

void encodeHeader(const Header& header, uint8_t* out);
Header decodeHeader(const uint8_t* in);

}  // namespace Seqpacket

class SeqpacketPipe : public BulkPipe {
public:
    /// Connects to the socket at `path` and greets the server; null when nobody answers.
    static std::unique_ptr<SeqpacketPipe> connect(const std::string& path);
    ~SeqpacketPipe() override;

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
    size_t packetSize() const override { return packetSize_; }
    bool isAttached() override;

private:
    explicit SeqpacketPipe(int fd) : fd_(fd) {}

    /// Sends a request (payload split into fragments) and receives its reply; reply payload
    /// goes into `in` up to `capacity`. Holds the request mutex for the round trip.
    PipeStatus roundTrip(Seqpacket::Header request, const uint8_t* out, size_t outSize, uint8_t* in,
                         size_t capacity, size_t& inSize, Seqpacket::Header& reply,
                         unsigned timeoutMs);
    bool sendMessage(const Seqpacket::Header& header, const uint8_t* payload, size_t size);
    /// One message into header + `payload`: its payload size, or -1 on failure, -2 on
    /// timeout, -3 when a message of another sequence number was dropped instead.
    long receiveMessage(Seqpacket::Header& header, uint8_t* payload, size_t capacity,
                        unsigned timeoutMs, uint32_t expectedSequence);
    PipeStatus gone();

    const int fd_;
    size_t packetSize_ = 512;
    std::mutex requestMutex_;
    uint32_t sequence_ = 0;
    std::atomic<bool> gone_{false};
};

}  // namespace Corvane::CameraController::Impl
