#include "usbfs_node.hpp"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace Corvane::CameraController::Emulator::Usb {
namespace {

/// umockdev cannot make the node signal POLLOUT only when a URB is ready, so a host's event
/// loop sees it ready all the time and reaps without pause. A fruitless non-blocking reap that
/// follows another fruitless one is held until a URB completes, or this long when none does,
/// which turns that spin into a gentle poll.
constexpr unsigned kReapPollMs = 2;
/// A blocking reap ends with EINTR after this long; callers retry, as after a signal.
constexpr unsigned kBlockingReapMs = 1000;
constexpr long kUsbSpeedHigh = 3;

constexpr const char* kClientKey = "corvane-usbfs-client";

/// What the node keeps on each client object. A client whose process died may be finalized
/// without the vanished signal; dropping this with it still releases what the client held.
struct ClientTag {
    ClientId id = 0;
    std::weak_ptr<UsbfsDevice> device;
    /// Whether the client's last reap found a URB. Read and written on the worker thread only.
    bool lastReapFound = false;
    ~ClientTag() {
        if (const auto held = device.lock()) {
            held->clientGone(id);
        }
    }
};

GObjectPtr<UMockdevIoctlData> resolve(UMockdevIoctlData* data, size_t offset, size_t length) {
    ErrorSlot error;
    return adopt(umockdev_ioctl_data_resolve(data, offset, length, error.out()));
}

/// The client's URB and buffer, held while the device works on them.
struct UrbMemory {
    GObjectPtr<UMockdevIoctlData> urb;
    GObjectPtr<UMockdevIoctlData> buffer;
};

bool tracing() {
    static const bool on = std::getenv("CORVANE_USB_TRACE") != nullptr;
    return on;
}

/// The tag idOf() gave the client.
ClientTag& tagOf(UMockdevIoctlClient* client) {
    return *static_cast<ClientTag*>(g_object_get_data(G_OBJECT(client), kClientKey));
}

using WeakNode = std::weak_ptr<UsbfsNode>;

void deleteWeak(gpointer data, GClosure* = nullptr) {
    delete static_cast<WeakNode*>(data);
}

/// The worker's wake-up source. Its due time is looked at before every poll, so re-arming it
/// on the worker thread costs no system call; only another thread has to wake the worker.
struct ServiceSource {
    GSource base;
    std::atomic<gint64> dueAt;  ///< monotonic µs; G_MAXINT64 when idle
};

std::atomic<gint64>& dueAtOf(GSource* source) {
    return reinterpret_cast<ServiceSource*>(source)->dueAt;
}

gboolean prepareService(GSource* source, gint* timeout) {
    const gint64 due = dueAtOf(source).load();
    const gint64 now = g_source_get_time(source);
    if (due <= now) {
        *timeout = 0;
        return TRUE;
    }
    *timeout = due == G_MAXINT64 ? -1 : static_cast<gint>((due - now + 999) / 1000);
    return FALSE;
}

gboolean checkService(GSource* source) {
    return dueAtOf(source).load() <= g_source_get_time(source);
}

gboolean dispatchSource(GSource*, GSourceFunc callback, gpointer data) {
    return callback(data);
}

}  // namespace

std::shared_ptr<UsbfsNode> UsbfsNode::create(std::shared_ptr<UsbfsDevice> device) {
    std::shared_ptr<UsbfsNode> node(new UsbfsNode(std::move(device)));
    node->connectSignals();
    const WeakNode weak = node;
    node->device_->setCompletionListener([weak] {
        if (const auto self = weak.lock()) {
            self->scheduleService(0);
        }
    });
    return node;
}

UsbfsNode::UsbfsNode(std::shared_ptr<UsbfsDevice> device)
    : device_(std::move(device)), handler_(adopt(umockdev_ioctl_base_new())) {}

void UsbfsNode::connectSignals() {
    // The closures hold weak references: an ioctl may still be dispatched on the worker
    // thread while the node is being destroyed elsewhere.
    signals_.push_back(g_signal_connect_data(handler_.get(), "handle-ioctl", G_CALLBACK(onIoctl),
                                             new WeakNode(shared_from_this()), deleteWeak,
                                             GConnectFlags{}));
    signals_.push_back(
        g_signal_connect_data(handler_.get(), "client-vanished", G_CALLBACK(onVanished),
                              new WeakNode(shared_from_this()), deleteWeak, GConnectFlags{}));
}

UsbfsNode::~UsbfsNode() {
    device_->setCompletionListener(nullptr);
    for (const gulong id : signals_) {
        g_signal_handler_disconnect(handler_.get(), id);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (Waiter& waiter : waiters_) {
        umockdev_ioctl_client_complete(waiter.client.get(), -1, ENODEV);
    }
    if (service_ != nullptr) {
        g_source_destroy(service_);
        g_source_unref(service_);
    }
    if (context_ != nullptr) {
        g_main_context_unref(context_);
    }
}

gboolean UsbfsNode::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    const auto node = static_cast<WeakNode*>(self)->lock();
    if (!node) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    {
        std::lock_guard<std::mutex> lock(node->mutex_);
        if (node->context_ == nullptr) {
            node->context_ = g_main_context_ref_thread_default();
            node->attachServiceLocked();
        }
    }
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const long result = node->dispatch(client);
    if (tracing()) {
        std::fprintf(stderr, "usbfs ioctl %#lx -> %s%ld\n", request,
                     result == kDeferred ? "deferred " : "", result == kDeferred ? 0 : result);
    }
    if (result != kDeferred) {
        umockdev_ioctl_client_complete(client, result < 0 ? -1 : result,
                                       result < 0 ? static_cast<int>(-result) : 0);
    }
    return TRUE;
}

void UsbfsNode::onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    if (const auto node = static_cast<WeakNode*>(self)->lock()) {
        node->device_->clientGone(node->idOf(client));
    }
}

// Ids are never reused: a new client object may sit at the address of one that left, and
// must not inherit its claims or its completed URBs.
ClientId UsbfsNode::idOf(UMockdevIoctlClient* client) const {
    static std::atomic<ClientId> lastId{0};
    auto* tag = static_cast<ClientTag*>(g_object_get_data(G_OBJECT(client), kClientKey));
    if (tag == nullptr) {
        tag = new ClientTag{++lastId, device_};
        g_object_set_data_full(G_OBJECT(client), kClientKey, tag,
                               [](gpointer data) { delete static_cast<ClientTag*>(data); });
    }
    return tag->id;
}

long UsbfsNode::dispatch(UMockdevIoctlClient* client) {
    const ClientId id = idOf(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (request) {
        case USBDEVFS_SUBMITURB:
            return submitUrb(id, arg);
        case USBDEVFS_DISCARDURB:
            return discardUrb(id, arg);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return reapUrb(client, request == USBDEVFS_REAPURB);
        case USBDEVFS_CONTROL:
            return controlTransfer(id, arg);
        default:
            return simpleRequest(id, request, arg);
    }
}

long UsbfsNode::simpleRequest(ClientId id, unsigned long request, UMockdevIoctlData* arg) {
    if (!device_->connected()) {
        return -ENODEV;
    }
    const auto readUint = [&](unsigned& value) {
        const auto data = resolve(arg, 0, sizeof(unsigned));
        if (!data) {
            return false;
        }
        value = *reinterpret_cast<const unsigned*>(data->data);
        return true;
    };
    unsigned value = 0;
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            const auto data = resolve(arg, 0, sizeof(uint32_t));
            if (!data) {
                return -EFAULT;
            }
            *reinterpret_cast<uint32_t*>(data->data) = device_->capabilities();
            return 0;
        }
        case USBDEVFS_CLAIMINTERFACE:
            return readUint(value) ? device_->claimInterface(id, value) : -EFAULT;
        case USBDEVFS_RELEASEINTERFACE:
            return readUint(value) ? device_->releaseInterface(id, value) : -EFAULT;
        case USBDEVFS_DISCONNECT_CLAIM: {
            // No kernel driver holds the camera, so there is nothing to disconnect first.
            const auto data = resolve(arg, 0, sizeof(usbdevfs_disconnect_claim));
            if (!data) {
                return -EFAULT;
            }
            const auto* claim = reinterpret_cast<const usbdevfs_disconnect_claim*>(data->data);
            return device_->claimInterface(id, claim->interface);
        }
        case USBDEVFS_SETINTERFACE: {
            const auto data = resolve(arg, 0, sizeof(usbdevfs_setinterface));
            if (!data) {
                return -EFAULT;
            }
            const auto* setting = reinterpret_cast<const usbdevfs_setinterface*>(data->data);
            return device_->setInterface(id, setting->interface, setting->altsetting);
        }
        case USBDEVFS_SETCONFIGURATION:
            if (!readUint(value)) {
                return -EFAULT;
            }
            return value <= UsbDescriptors::kConfigurationValue ? 0 : -EINVAL;
        case USBDEVFS_CLEAR_HALT:
            return readUint(value) ? device_->clearHalt(id, value) : -EFAULT;
        case USBDEVFS_GETDRIVER:
        case USBDEVFS_IOCTL:
            return -ENODATA;  // no kernel driver is bound to the interface
        case USBDEVFS_GET_SPEED:
            return kUsbSpeedHigh;
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
        case USBDEVFS_DISCSIGNAL:
        case USBDEVFS_DROP_PRIVILEGES:
            return 0;
        default:
            return -ENOTTY;
    }
}

long UsbfsNode::submitUrb(ClientId id, UMockdevIoctlData* arg) {
    auto urbData = resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!urbData) {
        return -EFAULT;
    }
    auto* raw = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (raw->buffer_length < 0) {
        return -EINVAL;
    }
    auto memory = std::make_shared<UrbMemory>();
    if (raw->buffer_length > 0) {
        memory->buffer = resolve(urbData.get(), offsetof(usbdevfs_urb, buffer),
                                 static_cast<size_t>(raw->buffer_length));
        if (!memory->buffer) {
            return -EFAULT;
        }
    }
    auto urb = std::make_shared<Urb>();
    urb->client = id;
    urb->address = urbData->client_addr;
    urb->type = raw->type;
    urb->endpoint = raw->endpoint;
    urb->flags = raw->flags;
    urb->buffer = memory->buffer ? memory->buffer->data : nullptr;
    urb->length = static_cast<size_t>(raw->buffer_length);
    memory->urb = std::move(urbData);
    urb->owner = memory;
    return device_->submit(urb);
}

long UsbfsNode::discardUrb(ClientId id, UMockdevIoctlData* arg) {
    // DISCARDURB passes the URB's address itself, not a pointer to it.
    if (arg == nullptr || arg->data == nullptr ||
        arg->data_len < static_cast<gint>(sizeof(gulong))) {
        return -EFAULT;
    }
    const gulong address = *reinterpret_cast<const gulong*>(arg->data);
    if (!device_->connected()) {
        return -ENODEV;
    }
    return device_->discard(id, address);
}

long UsbfsNode::controlTransfer(ClientId id, UMockdevIoctlData* arg) {
    auto transferData = resolve(arg, 0, sizeof(usbdevfs_ctrltransfer));
    if (!transferData) {
        return -EFAULT;
    }
    const auto* transfer = reinterpret_cast<const usbdevfs_ctrltransfer*>(transferData->data);
    GObjectPtr<UMockdevIoctlData> buffer;
    if (transfer->wLength > 0) {
        buffer =
            resolve(transferData.get(), offsetof(usbdevfs_ctrltransfer, data), transfer->wLength);
        if (!buffer) {
            return -EFAULT;
        }
    }
    const uint8_t setup[8] = {transfer->bRequestType,
                              transfer->bRequest,
                              static_cast<uint8_t>(transfer->wValue),
                              static_cast<uint8_t>(transfer->wValue >> 8),
                              static_cast<uint8_t>(transfer->wIndex),
                              static_cast<uint8_t>(transfer->wIndex >> 8),
                              static_cast<uint8_t>(transfer->wLength),
                              static_cast<uint8_t>(transfer->wLength >> 8)};
    size_t moved = 0;
    const int status = device_->control(id, setup, buffer ? buffer->data : nullptr, moved);
    return status < 0 ? status : static_cast<long>(moved);
}

long UsbfsNode::reapUrb(UMockdevIoctlClient* client, bool blocking) {
    idOf(client);
    const bool drainEnds = !blocking && tagOf(client).lastReapFound;
    if (completeReap(client)) {
        return kDeferred;
    }
    // A host reaps until nothing is left after every wake-up (libusb does); holding the reap
    // that ends such a drain only delays the host's next step.
    if (drainEnds) {
        return -EAGAIN;
    }
    const unsigned waitMs = blocking ? kBlockingReapMs : kReapPollMs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiters_.push_back({retain(client),
                            std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs),
                            blocking});
    }
    scheduleService(kReapPollMs);
    return kDeferred;
}

bool UsbfsNode::completeReap(UMockdevIoctlClient* client) {
    bool gone = false;
    const UrbPtr urb = device_->reap(idOf(client), gone);
    tagOf(client).lastReapFound = urb != nullptr;
    if (!urb) {
        if (gone) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return true;
        }
        return false;
    }
    auto* memory = static_cast<UrbMemory*>(urb->owner.get());
    auto* raw = reinterpret_cast<usbdevfs_urb*>(memory->urb->data);
    raw->status = urb->status;
    raw->actual_length = static_cast<int>(urb->actualLength);
    const auto slot = resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*));
    if (!slot) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
    }
    // Completing writes the URB, its buffer and the pointer to it back to the client.
    umockdev_ioctl_data_set_ptr(slot.get(), 0, memory->urb.get());
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
}

void UsbfsNode::serviceWaiters() {
    std::vector<Waiter> waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting.swap(waiters_);
        servicing_ = true;
    }
    const auto now = std::chrono::steady_clock::now();
    std::vector<Waiter> still;
    for (Waiter& waiter : waiting) {
        UMockdevIoctlClient* client = waiter.client.get();
        if (!umockdev_ioctl_client_get_connected(client)) {
            // A process killed while it waited for a URB: umockdev may not report it gone
            // while this reap still holds the client.
            device_->clientGone(idOf(client));
            continue;
        }
        if (completeReap(client)) {
            continue;
        }
        if (now >= waiter.deadline) {
            if (tracing()) {
                // A reap held to its end without a completion: time the host spent idle.
                std::fprintf(stderr, "usbfs reap held to its deadline -> %s\n",
                             waiter.blocking ? "EINTR" : "EAGAIN");
            }
            umockdev_ioctl_client_complete(client, -1, waiter.blocking ? EINTR : EAGAIN);
            continue;
        }
        still.push_back(std::move(waiter));
    }
    auto next = std::chrono::steady_clock::time_point::max();
    for (const Waiter& waiter : still) {
        next = std::min(next, waiter.deadline);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        servicing_ = false;
        for (Waiter& waiter : still) {
            waiters_.push_back(std::move(waiter));
        }
    }
    if (still.empty()) {
        return;
    }
    const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    scheduleService(static_cast<unsigned>(std::max<long long>(1, delay)));
}

void UsbfsNode::attachServiceLocked() {
    static GSourceFuncs funcs = {prepareService, checkService, dispatchSource,
                                 nullptr,        nullptr,      nullptr};
    service_ = g_source_new(&funcs, sizeof(ServiceSource));
    new (&dueAtOf(service_)) std::atomic<gint64>(G_MAXINT64);
    g_source_set_callback(service_, onServiceDue, new WeakNode(shared_from_this()),
                          [](gpointer data) { deleteWeak(data); });
    g_source_attach(service_, context_);
}

gboolean UsbfsNode::onServiceDue(gpointer self) {
    if (const auto node = static_cast<WeakNode*>(self)->lock()) {
        {
            std::lock_guard<std::mutex> lock(node->mutex_);
            dueAtOf(node->service_) = G_MAXINT64;
        }
        node->serviceWaiters();
    }
    return G_SOURCE_CONTINUE;
}

void UsbfsNode::scheduleService(unsigned delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    // While the waiters are being serviced they are out of waiters_, and a URB that completes
    // then must still bring the worker back for them.
    if ((waiters_.empty() && !servicing_) || service_ == nullptr) {
        return;
    }
    // A later deadline never postpones an earlier one (a completion's wake-up, say).
    const gint64 at = g_get_monotonic_time() + gint64{delayMs} * 1000;
    std::atomic<gint64>& due = dueAtOf(service_);
    if (at >= due) {
        return;
    }
    due = at;
    if (!g_main_context_is_owner(context_)) {
        g_main_context_wakeup(context_);
    }
}

}  // namespace Corvane::CameraController::Emulator::Usb
