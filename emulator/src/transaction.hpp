// One transaction as the camera's responder sees it, independent of how bytes travel.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Corvane::CameraController::Emulator {

using Bytes = std::vector<uint8_t>;
using SharedBytes = std::shared_ptr<const Bytes>;

/// A window into shared bytes: served without copying the object it belongs to.
struct Payload {
    SharedBytes buffer;
    size_t offset = 0;
    size_t size = 0;

    static Payload of(Bytes bytes) {
        auto shared = std::make_shared<const Bytes>(std::move(bytes));
        const size_t n = shared->size();
        return Payload{std::move(shared), 0, n};
    }
    static Payload slice(SharedBytes bytes, size_t offset, size_t size) {
        return Payload{std::move(bytes), offset, size};
    }
    const uint8_t* data() const { return buffer ? buffer->data() + offset : nullptr; }
};

struct Operation {
    uint16_t code = 0;
    uint32_t transactionId = 0;
    std::vector<uint32_t> parameters;
    /// The host's data phase; present only for operations that take one.
    Bytes data;
    bool hasData = false;

    uint32_t param(size_t i) const { return i < parameters.size() ? parameters[i] : 0; }
};

struct Reply {
    uint16_t code = 0;
    std::vector<uint32_t> parameters;
    bool hasData = false;
    Payload data;
    /// How long after the command the answer becomes readable.
    std::chrono::microseconds latency{0};
    /// The camera is unplugged: nothing at all is answered.
    bool silent = false;

    static Reply ok() { return Reply{0x2001, {}, false, {}, {}, false}; }
    static Reply error(uint16_t code) { return Reply{code, {}, false, {}, {}, false}; }
    static Reply withData(Payload payload) {
        Reply r = ok();
        r.hasData = true;
        r.data = std::move(payload);
        return r;
    }
    static Reply withData(Bytes bytes) { return withData(Payload::of(std::move(bytes))); }
};

}  // namespace Corvane::CameraController::Emulator
