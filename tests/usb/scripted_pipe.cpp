#include "usb/scripted_pipe.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

namespace Corvane::CameraController::Impl::Testing {
namespace {

using Kind = ScriptedPipe::State::Kind;
using Step = ScriptedPipe::State::Step;

Step makeStep(Kind kind, std::vector<uint8_t> bytes = {}) {
    Step step;
    step.kind = kind;
    step.bytes = std::move(bytes);
    return step;
}

const char* endpointName(PipeEndpoint endpoint) {
    switch (endpoint) {
        case PipeEndpoint::BulkIn:
            return "in";
        case PipeEndpoint::BulkOut:
            return "out";
        case PipeEndpoint::InterruptIn:
            return "interrupt";
    }
    return "?";
}

}  // namespace

// --- script building -----------------------------------------------------------------------

void ScriptedPipe::State::expectTransfer(std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    steps.push_back(makeStep(Kind::HostSends, std::move(bytes)));
}

void ScriptedPipe::State::deviceSends(std::vector<uint8_t> bytes, bool zeroLengthPacket) {
    std::lock_guard<std::mutex> lock(mutex);
    Step step = makeStep(Kind::DeviceSends, std::move(bytes));
    // A transfer that ends on a full packet needs a zero-length one to end it.
    step.failure = zeroLengthPacket && step.bytes.size() % packetSize == 0 ? PipeStatus::Ok
                                                                           : PipeStatus::Error;
    steps.push_back(std::move(step));
}

void ScriptedPipe::State::failIn(PipeStatus status) {
    std::lock_guard<std::mutex> lock(mutex);
    Step step = makeStep(Kind::InFailure);
    step.failure = status;
    steps.push_back(step);
}

void ScriptedPipe::State::failOut(PipeStatus status) {
    std::lock_guard<std::mutex> lock(mutex);
    Step step = makeStep(Kind::OutFailure);
    step.failure = status;
    steps.push_back(step);
}

void ScriptedPipe::State::expectCancel(uint32_t transactionId) {
    std::lock_guard<std::mutex> lock(mutex);
    Step step = makeStep(Kind::Cancel);
    step.transactionId = transactionId;
    steps.push_back(step);
}

void ScriptedPipe::State::expectStatus(uint16_t code, bool inHalted, bool outHalted) {
    std::lock_guard<std::mutex> lock(mutex);
    Step step = makeStep(Kind::Status);
    step.status = {code, inHalted, outHalted};
    steps.push_back(step);
}

void ScriptedPipe::State::expectReset() {
    std::lock_guard<std::mutex> lock(mutex);
    steps.push_back(makeStep(Kind::Reset));
}

void ScriptedPipe::State::expectClearHalt(PipeEndpoint endpoint) {
    std::lock_guard<std::mutex> lock(mutex);
    Step step = makeStep(Kind::ClearHalt);
    step.endpoint = endpoint;
    steps.push_back(step);
}

void ScriptedPipe::State::unplug() {
    std::lock_guard<std::mutex> lock(mutex);
    steps.push_back(makeStep(Kind::Unplug));
}

bool ScriptedPipe::State::finished() const {
    std::lock_guard<std::mutex> lock(mutex);
    return steps.empty() && packets.empty() && outgoing.empty();
}

std::vector<std::string> ScriptedPipe::State::errors() const {
    std::lock_guard<std::mutex> lock(mutex);
    return errorLog;
}

std::vector<std::string> ScriptedPipe::State::calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return callLog;
}

size_t ScriptedPipe::State::unreadBytes() const {
    std::lock_guard<std::mutex> lock(mutex);
    size_t total = 0;
    for (const auto& packet : packets) {
        total += packet.size();
    }
    for (const auto& step : steps) {
        if (step.kind == Kind::DeviceSends) {
            total += step.bytes.size();
        }
    }
    return total;
}

// --- the device side -------------------------------------------------------------------------

namespace {

struct Device {
    ScriptedPipe::State& s;

    bool front(Kind kind) const { return !s.steps.empty() && s.steps.front().kind == kind; }

    // Plays an Unplug step at the front; true when the device is gone.
    bool gone() {
        if (front(Kind::Unplug)) {
            s.steps.pop_front();
            s.attached = false;
        }
        return !s.attached;
    }

    void fail(const std::string& what) { s.errorLog.push_back(what); }

    // Class requests travel on the control pipe, so data the device has queued on bulk-in
    // does not stand in their way. Returns the matching step, removed from the script.
    std::optional<Step> takeControl(Kind kind) {
        for (auto it = s.steps.begin(); it != s.steps.end(); ++it) {
            if (it->kind == Kind::DeviceSends || it->kind == Kind::InFailure) {
                continue;
            }
            if (it->kind != kind) {
                break;
            }
            Step step = *it;
            s.steps.erase(it);
            return step;
        }
        return std::nullopt;
    }

    // Cuts the DeviceSends step at the front into packets.
    bool queueNextTransfer() {
        if (!front(Kind::DeviceSends)) {
            return false;
        }
        const auto& step = s.steps.front();
        for (size_t offset = 0; offset < step.bytes.size(); offset += s.packetSize) {
            const size_t size = std::min(s.packetSize, step.bytes.size() - offset);
            s.packets.emplace_back(step.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                   step.bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
        }
        if (step.failure == PipeStatus::Ok) {
            s.packets.emplace_back();
        }
        s.steps.pop_front();
        return true;
    }
};

}  // namespace

ScriptedPipe::ScriptedPipe(size_t packetSize) : state_(std::make_shared<State>()) {
    state_->packetSize = packetSize;
}

ScriptedPipe::~ScriptedPipe() = default;

PipeStatus ScriptedPipe::writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned,
                                   bool terminate) {
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    Device device{s};
    written = 0;
    s.callLog.push_back("write " + std::to_string(size) + (terminate ? " end" : ""));
    if (s.released) {
        device.fail("write on a released interface");
    }
    if (device.gone()) {
        return PipeStatus::Disconnected;
    }
    if (device.front(Kind::OutFailure)) {
        const PipeStatus status = s.steps.front().failure;
        s.steps.pop_front();
        return status;
    }
    s.outgoing.insert(s.outgoing.end(), data, data + size);
    written = size;
    const bool ended = size == 0 || size % s.packetSize != 0 || terminate;
    if (!ended) {
        return PipeStatus::Ok;
    }
    if (!device.front(Kind::HostSends)) {
        device.fail("unexpected transfer of " + std::to_string(s.outgoing.size()) + " bytes");
    } else {
        if (s.steps.front().bytes != s.outgoing) {
            device.fail("transfer of " + std::to_string(s.outgoing.size()) +
                        " bytes differs from the expected " +
                        std::to_string(s.steps.front().bytes.size()));
        }
        s.steps.pop_front();
    }
    s.outgoing.clear();
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::readBulk(uint8_t* data, size_t capacity, size_t& received, unsigned) {
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    Device device{s};
    received = 0;
    auto log = [&](const std::string& outcome) {
        s.callLog.push_back("read " + std::to_string(capacity) + " -> " + outcome);
    };
    while (received < capacity) {
        if (s.packets.empty() && !device.queueNextTransfer()) {
            if (device.gone()) {
                log("gone");
                return PipeStatus::Disconnected;
            }
            if (device.front(Kind::InFailure)) {
                const PipeStatus status = s.steps.front().failure;
                s.steps.pop_front();
                log("failure");
                return status;
            }
            // Nothing queued: a real device would let the host wait until its timeout.
            log(std::to_string(received) + " timeout");
            return PipeStatus::Timeout;
        }
        std::vector<uint8_t>& packet = s.packets.front();
        if (packet.size() > capacity - received) {
            device.fail("overflow: packet of " + std::to_string(packet.size()) + " bytes into " +
                        std::to_string(capacity - received) + " free");
            s.packets.pop_front();
            log("overflow");
            return PipeStatus::Error;
        }
        if (!packet.empty()) {
            std::memcpy(data + received, packet.data(), packet.size());
        }
        received += packet.size();
        const bool shortPacket = packet.size() < s.packetSize;
        s.packets.pop_front();
        if (shortPacket) {
            break;
        }
    }
    log(std::to_string(received));
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::readInterrupt(uint8_t*, size_t, size_t& received, unsigned) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    received = 0;
    state_->callLog.push_back("interrupt");
    return state_->attached ? PipeStatus::Timeout : PipeStatus::Disconnected;
}

PipeStatus ScriptedPipe::cancel(uint32_t transactionId) {
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    Device device{s};
    s.callLog.push_back("cancel " + std::to_string(transactionId));
    if (device.gone()) {
        return PipeStatus::Disconnected;
    }
    const auto step = device.takeControl(Kind::Cancel);
    if (!step) {
        device.fail("unexpected cancel");
        return PipeStatus::Error;
    }
    if (step->transactionId != transactionId) {
        device.fail("cancel of transaction " + std::to_string(transactionId));
    }
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::getDeviceStatus(PipeDeviceStatus& status) {
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    Device device{s};
    s.callLog.push_back("status");
    if (device.gone()) {
        return PipeStatus::Disconnected;
    }
    const auto step = device.takeControl(Kind::Status);
    if (!step) {
        device.fail("unexpected status request");
        return PipeStatus::Error;
    }
    status = step->status;
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::resetDevice() {
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    Device device{s};
    s.callLog.push_back("reset");
    if (device.gone()) {
        return PipeStatus::Disconnected;
    }
    if (!device.takeControl(Kind::Reset)) {
        device.fail("unexpected reset");
        return PipeStatus::Error;
    }
    // A reset drops whatever the device had queued.
    s.packets.clear();
    while (device.front(Kind::DeviceSends)) {
        s.steps.pop_front();
    }
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::release() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->callLog.push_back("release");
    state_->released = true;
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::reclaim() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->callLog.push_back("reclaim");
    state_->released = false;
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::clearHalt(PipeEndpoint endpoint) {
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    Device device{s};
    s.callLog.push_back(std::string("clear-halt ") + endpointName(endpoint));
    if (device.gone()) {
        return PipeStatus::Disconnected;
    }
    const auto step = device.takeControl(Kind::ClearHalt);
    if (!step || step->endpoint != endpoint) {
        device.fail(std::string("unexpected clear-halt ") + endpointName(endpoint));
        return PipeStatus::Error;
    }
    return PipeStatus::Ok;
}

size_t ScriptedPipe::packetSize() const {
    return state_->packetSize;
}

bool ScriptedPipe::isAttached() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    Device device{*state_};
    return !device.gone();
}

}  // namespace Corvane::CameraController::Impl::Testing
