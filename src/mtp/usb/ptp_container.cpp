#include "mtp/usb/ptp_container.hpp"

#include <algorithm>
#include <limits>

#include "mtp/usb/byte_order.hpp"

namespace Corvane::CameraController::Impl::Ptp {
namespace {

bool isKnownType(uint16_t type) {
    return type >= static_cast<uint16_t>(ContainerType::Command) &&
           type <= static_cast<uint16_t>(ContainerType::Event);
}

void writeHeader(uint32_t length, ContainerType type, uint16_t code, uint32_t transactionId,
                 uint8_t* out) {
    storeLe32(out, length);
    storeLe16(out + 4, static_cast<uint16_t>(type));
    storeLe16(out + 6, code);
    storeLe32(out + 8, transactionId);
}

}  // namespace

std::vector<uint8_t> encodeContainer(const Container& container) {
    size_t count = std::min(container.parameters.size(), kMaxParameters);
    // Some responders reject a command without a parameter word, so one always goes out.
    const bool padded = container.type == ContainerType::Command && count == 0;
    const size_t words = padded ? 1 : count;

    std::vector<uint8_t> bytes(kHeaderSize + 4 * words, 0);
    writeHeader(static_cast<uint32_t>(bytes.size()), container.type, container.code,
                container.transactionId, bytes.data());
    for (size_t i = 0; i < count; ++i) {
        storeLe32(bytes.data() + kHeaderSize + 4 * i, container.parameters[i]);
    }
    return bytes;
}

void encodeDataHeader(uint16_t code, uint32_t transactionId, uint64_t payloadSize, uint8_t* out) {
    const uint64_t total = payloadSize + kHeaderSize;
    // Containers too large for the length field announce 0xFFFFFFFF and rely on the transfer
    // ending with a short packet.
    const uint32_t length = total >= std::numeric_limits<uint32_t>::max()
                                ? std::numeric_limits<uint32_t>::max()
                                : static_cast<uint32_t>(total);
    writeHeader(length, ContainerType::Data, code, transactionId, out);
}

std::optional<ContainerHeader> decodeHeader(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kHeaderSize) {
        return std::nullopt;
    }
    const uint16_t type = loadLe16(data + 4);
    if (!isKnownType(type)) {
        return std::nullopt;
    }
    ContainerHeader header;
    header.length = loadLe32(data);
    header.type = static_cast<ContainerType>(type);
    header.code = loadLe16(data + 6);
    header.transactionId = loadLe32(data + 8);
    return header;
}

std::optional<Container> decodeContainer(const uint8_t* data, size_t size) {
    const auto header = decodeHeader(data, size);
    if (!header || header->type == ContainerType::Data || header->length != size) {
        return std::nullopt;
    }
    const size_t payload = size - kHeaderSize;
    if (payload % 4 != 0 || payload / 4 > kMaxParameters) {
        return std::nullopt;
    }
    Container container;
    container.type = header->type;
    container.code = header->code;
    container.transactionId = header->transactionId;
    container.parameters.reserve(payload / 4);
    for (size_t offset = kHeaderSize; offset < size; offset += 4) {
        container.parameters.push_back(loadLe32(data + offset));
    }
    return container;
}

}  // namespace Corvane::CameraController::Impl::Ptp
