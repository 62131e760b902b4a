// PTP-over-USB containers: pure encoding and decoding, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace Corvane::CameraController::Impl::Ptp {

enum class ContainerType : uint16_t { Command = 1, Data = 2, Response = 3, Event = 4 };

constexpr size_t kHeaderSize = 12;          ///< length u32, type u16, code u16, transaction u32
constexpr size_t kMaxParameters = 5;

struct ContainerHeader {
    uint32_t length = 0;  ///< whole container, header included; 0xFFFFFFFF for data > 4 GiB
    ContainerType type = ContainerType::Command;
    uint16_t code = 0;
    uint32_t transactionId = 0;
};

/// A command, response or event container with its parameters.
struct Container {
    ContainerType type = ContainerType::Command;
    uint16_t code = 0;
    uint32_t transactionId = 0;
    std::vector<uint32_t> parameters;  ///< at most kMaxParameters
};

/// Bytes of a command/response/event container. Parameters past the fifth are dropped; a
/// command carries at least one parameter word (0 when none was given).
std::vector<uint8_t> encodeContainer(const Container& container);
/// Writes the 12-byte header of a data container carrying `payloadSize` bytes into `out`.
void encodeDataHeader(uint16_t code, uint32_t transactionId, uint64_t payloadSize, uint8_t* out);

/// Reads a header from the first kHeaderSize bytes; nullopt when `size` is too small or the
/// type is not one of the four.
std::optional<ContainerHeader> decodeHeader(const uint8_t* data, size_t size);
/// Decodes a whole command/response/event container; nullopt when malformed (shorter than its
/// header, length field disagreeing with `size`, a partial parameter word, over five words).
std::optional<Container> decodeContainer(const uint8_t* data, size_t size);

}  // namespace Corvane::CameraController::Impl::Ptp
