#include "usbfs_device.hpp"

#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <cerrno>

namespace Corvane::CameraController::Emulator::Usb {
namespace {

using Impl::PipeStatus;

/// Bulk IN waits are cut into slices so a discard or an unplug ends them promptly.
constexpr unsigned kSliceMs = 20;
constexpr size_t kMaxLoggedUrbs = 4096;

}  // namespace

UsbfsDevice::UsbfsDevice(std::unique_ptr<Impl::BulkPipe> pipe, UsbDescriptors descriptors,
                         uint32_t capabilities)
    : pipe_(std::move(pipe)), descriptors_(std::move(descriptors)), capabilities_(capabilities) {
    const UsbEndpoints& e = descriptors_.endpoints();
    for (const uint8_t address : {e.bulkIn, e.bulkOut, e.interruptIn}) {
        Endpoint& endpoint = endpoints_[address];
        endpoint.address = address;
        endpoint.interrupt = address == e.interruptIn;
    }
    for (auto& entry : endpoints_) {
        Endpoint& endpoint = entry.second;
        endpoint.worker = std::thread([this, &endpoint] { serve(endpoint); });
    }
}

UsbfsDevice::~UsbfsDevice() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (auto& entry : endpoints_) {
            for (const UrbPtr& urb : entry.second.queue) {
                urb->discarded = true;
            }
        }
    }
    wakeAllEndpoints();
    for (auto& entry : endpoints_) {
        entry.second.worker.join();
    }
}

void UsbfsDevice::setCompletionListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
}

void UsbfsDevice::notifyCompletion() {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listener = listener_;
    }
    if (listener) {
        listener();
    }
}

bool UsbfsDevice::connected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !gone_;
}

int UsbfsDevice::claimInterface(ClientId client, unsigned interfaceNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gone_) {
        return -ENODEV;
    }
    if (interfaceNumber != UsbDescriptors::kInterfaceNumber) {
        return -ENOENT;
    }
    const auto claim = claims_.find(interfaceNumber);
    if (claim != claims_.end() && claim->second != client) {
        return -EBUSY;
    }
    claims_[interfaceNumber] = client;
    return 0;
}

int UsbfsDevice::releaseInterface(ClientId client, unsigned interfaceNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gone_) {
        return -ENODEV;
    }
    const auto claim = claims_.find(interfaceNumber);
    if (claim == claims_.end() || claim->second != client) {
        return -EINVAL;
    }
    claims_.erase(claim);
    return 0;
}

int UsbfsDevice::setInterface(ClientId client, unsigned interfaceNumber, unsigned altSetting) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gone_) {
        return -ENODEV;
    }
    const auto claim = claims_.find(interfaceNumber);
    if (claim == claims_.end() || claim->second != client) {
        return -EINVAL;
    }
    return altSetting == 0 ? 0 : -EINVAL;
}

int UsbfsDevice::submit(const UrbPtr& urb) {
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        if (urb->length < 8) {
            return -EINVAL;
        }
        size_t moved = 0;
        const int status = control(urb->client, urb->buffer, urb->buffer + 8, moved);
        if (status == -ENODEV) {
            return status;
        }
        urb->actualLength = moved;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            completeLocked(urb, status);
        }
        notifyCompletion();
        return 0;
    }
    // The endpoints never change after construction, so one can be notified unlocked.
    Endpoint* woken = nullptr;
    bool serveHere = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (gone_) {
            return -ENODEV;
        }
        const auto found = endpoints_.find(urb->endpoint);
        if (found == endpoints_.end()) {
            return -ENOENT;
        }
        Endpoint& endpoint = found->second;
        const bool typeMatches = endpoint.interrupt ? urb->type == USBDEVFS_URB_TYPE_INTERRUPT
                                                    : urb->type == USBDEVFS_URB_TYPE_BULK;
        if (!typeMatches) {
            return -EINVAL;
        }
        if (claims_.count(UsbDescriptors::kInterfaceNumber) == 0) {
            // The kernel claims the interface implicitly; a second opener then gets EBUSY.
            claims_[UsbDescriptors::kInterfaceNumber] = urb->client;
        } else if (claims_[UsbDescriptors::kInterfaceNumber] != urb->client) {
            return -EBUSY;
        }
        endpoint.queue.push_back(urb);
        woken = &endpoint;
        // Only a URB that finds its endpoint idle is served by its submitter; one submitted
        // meanwhile from another thread waits for the endpoint thread.
        const bool out = (endpoint.address & 0x80) == 0;
        serveHere = out && !endpoint.interrupt && endpoint.queue.size() == 1;
        if (serveHere) {
            endpoint.servedInline = true;
        }
    }
    if (serveHere) {
        serveFront(*woken, urb);
    } else {
        woken->work.notify_one();
    }
    return 0;
}

int UsbfsDevice::discard(ClientId client, uint64_t address) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        UrbPtr waiting;
        for (auto& entry : endpoints_) {
            auto& queue = entry.second.queue;
            const auto it = std::find_if(queue.begin(), queue.end(), [&](const UrbPtr& urb) {
                return urb->client == client && urb->address == address;
            });
            if (it != queue.end() && it == queue.begin()) {
                // Being served: the endpoint's thread completes it at its next slice.
                (*it)->discarded = true;
                return 0;
            }
            if (it != queue.end()) {
                waiting = *it;
                queue.erase(it);
                break;
            }
        }
        if (!waiting) {
            return -EINVAL;
        }
        completeLocked(waiting, -ECONNRESET);
    }
    notifyCompletion();
    return 0;
}

UrbPtr UsbfsDevice::reap(ClientId client, bool& gone) {
    std::lock_guard<std::mutex> lock(mutex_);
    gone = false;
    auto found = completed_.find(client);
    if (found != completed_.end() && !found->second.empty()) {
        UrbPtr urb = found->second.front();
        found->second.pop_front();
        return urb;
    }
    gone = gone_;
    return nullptr;
}

void UsbfsDevice::clientGone(ClientId client) {
    std::lock_guard<std::mutex> lock(mutex_);
    departed_.insert(client);
    for (auto& entry : endpoints_) {
        auto& queue = entry.second.queue;
        for (auto it = queue.begin(); it != queue.end();) {
            if ((*it)->client != client) {
                ++it;
            } else if (it == queue.begin()) {
                (*it)->discarded = true;
                ++it;
            } else {
                it = queue.erase(it);
            }
        }
    }
    completed_.erase(client);
    for (auto it = claims_.begin(); it != claims_.end();) {
        it = it->second == client ? claims_.erase(it) : std::next(it);
    }
}

void UsbfsDevice::disconnect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (gone_) {
            return;
        }
        gone_ = true;
        for (auto& entry : endpoints_) {
            auto& queue = entry.second.queue;
            // The URB being served sees the pipe fail and completes itself.
            while (queue.size() > 1) {
                completeLocked(queue.back(), -ESHUTDOWN);
                queue.pop_back();
            }
        }
    }
    wakeAllEndpoints();
    notifyCompletion();
}

void UsbfsDevice::wakeAllEndpoints() {
    for (auto& entry : endpoints_) {
        entry.second.work.notify_all();
    }
}

void UsbfsDevice::stallNext(uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    stallNext_.insert(endpoint);
}

std::vector<UrbRecord> UsbfsDevice::urbLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {log_.begin(), log_.end()};
}

void UsbfsDevice::clearUrbLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

void UsbfsDevice::completeLocked(const UrbPtr& urb, int status) {
    urb->status = status;
    log_.push_back({urb->type, urb->endpoint, urb->flags, urb->length, urb->actualLength, status});
    if (log_.size() > kMaxLoggedUrbs) {
        log_.pop_front();
    }
    // Nobody will reap it: the URB being served when its client left ends up here.
    if (departed_.count(urb->client) == 0) {
        completed_[urb->client].push_back(urb);
    }
}

void UsbfsDevice::cancelContinuationsLocked(Endpoint& endpoint) {
    // After a failed or short URB the kernel unlinks the rest of the same bulk transfer.
    while (endpoint.queue.size() > 1 &&
           (endpoint.queue[1]->flags & USBDEVFS_URB_BULK_CONTINUATION) != 0) {
        const UrbPtr next = endpoint.queue[1];
        endpoint.queue.erase(endpoint.queue.begin() + 1);
        completeLocked(next, -ECONNRESET);
    }
}

void UsbfsDevice::serve(Endpoint& endpoint) {
    for (;;) {
        UrbPtr urb;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            endpoint.work.wait(lock, [&] {
                return stopping_ || gone_ || (!endpoint.queue.empty() && !endpoint.servedInline);
            });
            // After an unplug nothing can be queued any more: the thread is no longer needed.
            if (stopping_ || endpoint.queue.empty() || endpoint.servedInline) {
                return;
            }
            urb = endpoint.queue.front();
        }
        if (!serveFront(endpoint, urb)) {
            return;
        }
    }
}

bool UsbfsDevice::serveFront(Endpoint& endpoint, const UrbPtr& urb) {
    transfer(endpoint, *urb);
    bool more = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return false;
        }
        endpoint.queue.pop_front();
        completeLocked(urb, urb->status);
        if (urb->status != 0 && !endpoint.interrupt) {
            cancelContinuationsLocked(endpoint);
        }
        more = endpoint.servedInline && !endpoint.queue.empty();
        endpoint.servedInline = false;
    }
    // URBs queued behind one served inline are the endpoint thread's again.
    if (more) {
        endpoint.work.notify_one();
    }
    notifyCompletion();
    return true;
}

void UsbfsDevice::transfer(const Endpoint& endpoint, Urb& urb) {
    urb.actualLength = 0;
    int status = haltStatus(endpoint.address);
    if (status == 0) {
        status = (endpoint.address & 0x80) != 0 ? readIn(endpoint, urb) : writeOut(urb);
    }
    urb.status = status;
    if (status == -ESHUTDOWN) {
        disconnect();
    }
}

int UsbfsDevice::haltStatus(uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gone_) {
        return -ESHUTDOWN;
    }
    if (stallNext_.erase(endpoint) != 0) {
        halted_.insert(endpoint);
    }
    return halted_.count(endpoint) != 0 ? -EPIPE : 0;
}

int UsbfsDevice::statusOf(PipeStatus status, uint8_t endpoint) {
    switch (status) {
        case PipeStatus::Ok:
            return 0;
        case PipeStatus::Stall: {
            std::lock_guard<std::mutex> lock(mutex_);
            halted_.insert(endpoint);
            return -EPIPE;
        }
        case PipeStatus::Disconnected:
            return -ESHUTDOWN;
        case PipeStatus::Timeout:
            return -ETIMEDOUT;
        case PipeStatus::Error:
            break;
    }
    return -EPROTO;
}

int UsbfsDevice::writeOut(Urb& urb) {
    // A zero-length URB is a zero-length packet; ZERO_PACKET asks for one after the data.
    const bool terminate = (urb.flags & USBDEVFS_URB_ZERO_PACKET) != 0 || urb.length == 0;
    size_t written = 0;
    const PipeStatus status = pipe_->writeBulk(urb.buffer, urb.length, written, 0, terminate);
    urb.actualLength = written;
    return statusOf(status, urb.endpoint);
}

int UsbfsDevice::readIn(const Endpoint& endpoint, Urb& urb) {
    // A URB has no timeout of its own: it waits for the device until the host discards it.
    for (;;) {
        if (urb.discarded) {
            return -ECONNRESET;
        }
        size_t received = 0;
        const PipeStatus status =
            endpoint.interrupt ? pipe_->readInterrupt(urb.buffer, urb.length, received, kSliceMs)
                               : pipe_->readBulk(urb.buffer, urb.length, received, kSliceMs);
        urb.actualLength = received;
        if (status == PipeStatus::Timeout && received == 0) {
            continue;
        }
        if (status == PipeStatus::Timeout || status == PipeStatus::Ok) {
            if (urb.discarded) {
                return -ECONNRESET;
            }
            const bool shortPacket = received < urb.length;
            return shortPacket && (urb.flags & USBDEVFS_URB_SHORT_NOT_OK) != 0 ? -EREMOTEIO : 0;
        }
        return statusOf(status, urb.endpoint);
    }
}

}  // namespace Corvane::CameraController::Emulator::Usb
