#include "usb/scripted_pipe.hpp"

#include <algorithm>
#include <optional>

namespace Corvane::CameraController::Impl::Testing {
namespace {

using Kind = ScriptedPipe::State::Kind;
using Step = ScriptedPipe::State::Step;

const char* endpointName(PipeEndpoint endpoint) {
    static const char* const names[] = {"in", "out", "interrupt"};
    return names[static_cast<int>(endpoint)];
}

// The device side of one call, made under the state's mutex.
struct Device {
    ScriptedPipe::State& s;
    std::lock_guard<std::mutex> lock{s.mutex};

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

    // The failure of an InFailure or OutFailure step at the front, played.
    std::optional<PipeStatus> injected(Kind kind) {
        if (!front(kind)) {
            return std::nullopt;
        }
        const PipeStatus status = s.steps.front().failure;
        s.steps.pop_front();
        return status;
    }

    // Class requests travel on the control pipe, so data the device has queued on bulk-in
    // does not stand in their way. Logs the call; returns the matching step, removed from the
    // script, or the status the host sees.
    std::optional<Step> control(const std::string& call, Kind kind, PipeStatus& status) {
        s.callLog.push_back(call);
        status = PipeStatus::Disconnected;
        if (gone()) {
            return std::nullopt;
        }
        status = PipeStatus::Ok;
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
        fail("unexpected " + call);
        status = PipeStatus::Error;
        return std::nullopt;
    }

    bool queueNextTransfer() {
        if (!front(Kind::DeviceSends)) {
            return false;
        }
        const auto& bytes = s.steps.front().bytes;
        for (size_t offset = 0; offset < bytes.size(); offset += s.packetSize) {
            const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
            s.packets.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(std::min(
                                                      s.packetSize, bytes.size() - offset)));
        }
        if (s.steps.front().failure == PipeStatus::Ok) {
            s.packets.emplace_back();
        }
        s.steps.pop_front();
        return true;
    }
};

}  // namespace

void ScriptedPipe::State::deviceSends(std::vector<uint8_t> bytes, bool zeroLengthPacket) {
    // A transfer that ends on a full packet needs a zero-length one to end it; Ok marks that.
    const bool needsZlp = zeroLengthPacket && bytes.size() % packetSize == 0;
    add(Kind::DeviceSends, std::move(bytes)).failure =
        needsZlp ? PipeStatus::Ok : PipeStatus::Error;
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

ScriptedPipe::ScriptedPipe(size_t packetSize) : state_(std::make_shared<State>()) {
    state_->packetSize = packetSize;
}

PipeStatus ScriptedPipe::writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned,
                                   bool terminate) {
    Device device{*state_};
    State& s = device.s;
    written = 0;
    s.callLog.push_back("write " + std::to_string(size) + (terminate ? " end" : ""));
    if (device.gone()) {
        return PipeStatus::Disconnected;
    }
    if (const auto failure = device.injected(Kind::OutFailure)) {
        return *failure;
    }
    s.outgoing.insert(s.outgoing.end(), data, data + size);
    written = size;
    if (size != 0 && size % s.packetSize == 0 && !terminate) {
        return PipeStatus::Ok;  // the transfer goes on
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
    Device device{*state_};
    State& s = device.s;
    received = 0;
    const auto done = [&](PipeStatus status, const std::string& outcome) {
        s.callLog.push_back("read " + std::to_string(capacity) + " -> " + outcome);
        return status;
    };
    while (received < capacity) {
        if (s.packets.empty() && !device.queueNextTransfer()) {
            if (device.gone()) {
                return done(PipeStatus::Disconnected, "gone");
            }
            if (const auto failure = device.injected(Kind::InFailure)) {
                return done(*failure, "failure");
            }
            // Nothing queued: a real device would let the host wait until its timeout.
            return done(PipeStatus::Timeout, std::to_string(received) + " timeout");
        }
        const std::vector<uint8_t> packet = std::move(s.packets.front());
        s.packets.pop_front();
        if (packet.size() > capacity - received) {
            device.fail("overflow: packet of " + std::to_string(packet.size()) + " bytes into " +
                        std::to_string(capacity - received) + " free");
            return done(PipeStatus::Error, "overflow");
        }
        std::copy(packet.begin(), packet.end(), data + received);
        received += packet.size();
        if (packet.size() < s.packetSize) {
            break;  // a short packet ends the transfer
        }
    }
    return done(PipeStatus::Ok, std::to_string(received));
}

// The engine polls for events; nothing arrives here.
PipeStatus ScriptedPipe::readInterrupt(uint8_t*, size_t, size_t& received, unsigned) {
    received = 0;
    return PipeStatus::Timeout;
}

PipeStatus ScriptedPipe::cancel(uint32_t transactionId) {
    Device device{*state_};
    PipeStatus status = PipeStatus::Ok;
    const auto step =
        device.control("cancel " + std::to_string(transactionId), Kind::Cancel, status);
    if (step && step->transactionId != transactionId) {
        device.fail("cancel of transaction " + std::to_string(transactionId));
    }
    return status;
}

PipeStatus ScriptedPipe::getDeviceStatus(PipeDeviceStatus& status) {
    Device device{*state_};
    PipeStatus result = PipeStatus::Ok;
    if (const auto step = device.control("status", Kind::Status, result)) {
        status = step->status;
    }
    return result;
}

PipeStatus ScriptedPipe::resetDevice() {
    Device device{*state_};
    PipeStatus status = PipeStatus::Ok;
    if (device.control("reset", Kind::Reset, status)) {
        // A reset drops whatever the device had queued.
        device.s.packets.clear();
        while (device.front(Kind::DeviceSends)) {
            device.s.steps.pop_front();
        }
    }
    return status;
}

PipeStatus ScriptedPipe::clearHalt(PipeEndpoint endpoint) {
    Device device{*state_};
    PipeStatus status = PipeStatus::Ok;
    const std::string call = std::string("clear-halt ") + endpointName(endpoint);
    const auto step = device.control(call, Kind::ClearHalt, status);
    if (step && step->endpoint != endpoint) {
        device.fail("unexpected " + call);
        return PipeStatus::Error;
    }
    return status;
}

PipeStatus ScriptedPipe::release() {
    Device device{*state_};
    device.s.callLog.push_back("release");
    return PipeStatus::Ok;
}

PipeStatus ScriptedPipe::reclaim() {
    Device device{*state_};
    device.s.callLog.push_back("reclaim");
    return PipeStatus::Ok;
}

size_t ScriptedPipe::packetSize() const {
    return state_->packetSize;
}

bool ScriptedPipe::isAttached() {
    Device device{*state_};
    return !device.gone();
}

}  // namespace Corvane::CameraController::Impl::Testing
