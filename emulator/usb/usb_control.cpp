// Control requests on endpoint 0: the standard ones a host sends while it opens the device,
// and the still-image class requests.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mtp/usb/byte_order.hpp"
#include "usbfs_device.hpp"

namespace Corvane::CameraController::Emulator::Usb {
namespace {

namespace Ptp = Impl::Ptp;
using Impl::PipeStatus;

constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kTypeClass = 0x20;
constexpr uint8_t kRecipientMask = 0x1F;
constexpr uint8_t kRecipientDevice = 0;
constexpr uint8_t kRecipientInterface = 1;
constexpr uint8_t kRecipientEndpoint = 2;

enum StandardRequest : uint8_t {
    kGetStatus = 0x00,
    kClearFeature = 0x01,
    kSetFeature = 0x03,
    kGetDescriptor = 0x06,
    kGetConfiguration = 0x08,
    kSetConfiguration = 0x09,
    kGetInterface = 0x0A,
    kSetInterface = 0x0B,
};
constexpr uint16_t kFeatureEndpointHalt = 0;

enum ClassRequest : uint8_t {
    kCancel = 0x64,
    kDeviceReset = 0x66,
    kGetDeviceStatus = 0x67,
};
constexpr uint16_t kCancellationCode = 0x4001;

struct Setup {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint16_t length;
};

Setup decode(const uint8_t* setup) {
    return {setup[0], setup[1], Ptp::loadLe16(setup + 2), Ptp::loadLe16(setup + 4),
            Ptp::loadLe16(setup + 6)};
}

int answer(const uint8_t* bytes, size_t size, uint8_t* data, uint16_t capacity, size_t& moved) {
    moved = std::min<size_t>(size, capacity);
    std::memcpy(data, bytes, moved);
    return 0;
}

int answer(const std::vector<uint8_t>& bytes, uint8_t* data, uint16_t capacity, size_t& moved) {
    return answer(bytes.data(), bytes.size(), data, capacity, moved);
}

}  // namespace

int UsbfsDevice::control(ClientId, const uint8_t* setupBytes, uint8_t* data, size_t& moved) {
    moved = 0;
    if (!connected()) {
        return -ENODEV;
    }
    const Setup setup = decode(setupBytes);
    switch (setup.requestType & kTypeMask) {
        case kTypeStandard:
            return standardRequest(setupBytes, data, moved);
        case kTypeClass:
            return classRequest(setupBytes, data, moved);
        default:
            return -EPIPE;  // the camera has no vendor control requests: a protocol stall
    }
}

int UsbfsDevice::standardRequest(const uint8_t* setupBytes, uint8_t* data, size_t& moved) {
    const Setup s = decode(setupBytes);
    const uint8_t recipient = s.requestType & kRecipientMask;
    const bool in = (s.requestType & kDirectionIn) != 0;
    switch (s.request) {
        case kGetDescriptor: {
            const uint8_t type = static_cast<uint8_t>(s.value >> 8);
            const uint8_t index = static_cast<uint8_t>(s.value);
            if (type == 1) {
                return answer(descriptors_.device(), data, s.length, moved);
            }
            if (type == 2 && index == 0) {
                return answer(descriptors_.configuration(), data, s.length, moved);
            }
            if (type == 3) {
                const auto text = descriptors_.string(index);
                return text ? answer(*text, data, s.length, moved) : -EPIPE;
            }
            return -EPIPE;
        }
        case kGetStatus: {
            uint8_t status[2] = {0, 0};
            if (recipient == kRecipientDevice) {
                status[0] = 0x01;  // self-powered
            } else if (recipient == kRecipientEndpoint) {
                std::lock_guard<std::mutex> lock(mutex_);
                status[0] = halted_.count(static_cast<uint8_t>(s.index)) != 0 ? 1 : 0;
            }
            return answer(status, sizeof status, data, s.length, moved);
        }
        case kClearFeature:
            if (recipient == kRecipientEndpoint && s.value == kFeatureEndpointHalt) {
                return clearEndpointHalt(static_cast<uint8_t>(s.index));
            }
            return -EPIPE;
        case kSetFeature:
            if (recipient == kRecipientEndpoint && s.value == kFeatureEndpointHalt &&
                endpoints_.count(static_cast<uint8_t>(s.index)) != 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                halted_.insert(static_cast<uint8_t>(s.index));
                return 0;
            }
            return -EPIPE;
        case kGetConfiguration: {
            const uint8_t value = UsbDescriptors::kConfigurationValue;
            return in ? answer(&value, 1, data, s.length, moved) : -EPIPE;
        }
        case kSetConfiguration:
            return s.value <= UsbDescriptors::kConfigurationValue ? 0 : -EPIPE;
        case kGetInterface: {
            const uint8_t alternate = 0;
            return in ? answer(&alternate, 1, data, s.length, moved) : -EPIPE;
        }
        case kSetInterface:
            return s.index == UsbDescriptors::kInterfaceNumber && s.value == 0 ? 0 : -EPIPE;
        default:
            return -EPIPE;
    }
}

int UsbfsDevice::classRequest(const uint8_t* setupBytes, uint8_t* data, size_t& moved) {
    const Setup s = decode(setupBytes);
    if ((s.requestType & kRecipientMask) != kRecipientInterface ||
        s.index != UsbDescriptors::kInterfaceNumber) {
        return -EPIPE;
    }
    const bool in = (s.requestType & kDirectionIn) != 0;
    switch (s.request) {
        case kCancel: {
            if (in || s.length < 6 || Ptp::loadLe16(data) != kCancellationCode) {
                return -EPIPE;
            }
            moved = 6;
            const PipeStatus status = pipe_->cancel(Ptp::loadLe32(data + 2));
            return status == PipeStatus::Ok             ? 0
                   : status == PipeStatus::Disconnected ? -ENODEV
                                                        : -EPIPE;
        }
        case kDeviceReset: {
            if (in) {
                return -EPIPE;
            }
            const PipeStatus status = pipe_->resetDevice();
            if (status != PipeStatus::Ok) {
                return status == PipeStatus::Disconnected ? -ENODEV : -EPIPE;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            halted_.clear();
            stallNext_.clear();
            return 0;
        }
        case kGetDeviceStatus:
            return in ? deviceStatus(data, s.length, moved) : -EPIPE;
        default:
            // Get Extended Event Data (0x65) and anything else: the camera does not offer it.
            return -EPIPE;
    }
}

int UsbfsDevice::deviceStatus(uint8_t* data, uint16_t capacity, size_t& moved) {
    Impl::PipeDeviceStatus status;
    const PipeStatus result = pipe_->getDeviceStatus(status);
    if (result != PipeStatus::Ok) {
        return result == PipeStatus::Disconnected ? -ENODEV : -EPIPE;
    }
    const UsbEndpoints& e = descriptors_.endpoints();
    std::vector<uint32_t> halted;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (status.bulkInHalted || halted_.count(e.bulkIn) != 0) {
            halted.push_back(e.bulkIn);
        }
        if (status.bulkOutHalted || halted_.count(e.bulkOut) != 0) {
            halted.push_back(e.bulkOut);
        }
    }
    // u16 length, u16 response code, then one u32 per halted endpoint.
    std::vector<uint8_t> bytes(4 + 4 * halted.size());
    Ptp::storeLe16(bytes.data(), static_cast<uint16_t>(bytes.size()));
    Ptp::storeLe16(bytes.data() + 2, status.code);
    for (size_t i = 0; i < halted.size(); ++i) {
        Ptp::storeLe32(bytes.data() + 4 + 4 * i, halted[i]);
    }
    return answer(bytes, data, capacity, moved);
}

int UsbfsDevice::clearEndpointHalt(uint8_t endpoint) {
    const UsbEndpoints& e = descriptors_.endpoints();
    if (endpoints_.count(endpoint) == 0) {
        return -EINVAL;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (gone_) {
            return -ENODEV;
        }
        halted_.erase(endpoint);
    }
    const Impl::PipeEndpoint which = endpoint == e.bulkIn    ? Impl::PipeEndpoint::BulkIn
                                     : endpoint == e.bulkOut ? Impl::PipeEndpoint::BulkOut
                                                             : Impl::PipeEndpoint::InterruptIn;
    const PipeStatus status = pipe_->clearHalt(which);
    return status == PipeStatus::Disconnected ? -ENODEV : 0;
}

int UsbfsDevice::clearHalt(ClientId, unsigned endpoint) {
    return clearEndpointHalt(static_cast<uint8_t>(endpoint));
}

}  // namespace Corvane::CameraController::Emulator::Usb
