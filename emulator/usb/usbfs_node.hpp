// One /dev/bus/usb node of the umockdev testbed: answers the usbfs ioctls that programs
// running under the umockdev preload library make on it, with a UsbfsDevice behind.
#pragma once

#include <umockdev.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "glib_ptr.hpp"
#include "usbfs_device.hpp"

namespace Corvane::CameraController::Emulator::Usb {

/// The ioctls arrive on the testbed's worker thread, one at a time; an ioctl that has to
/// wait (reaping before any URB completed) is completed later from that thread too, so the
/// worker never blocks.
class UsbfsNode : public std::enable_shared_from_this<UsbfsNode> {
public:
    static std::shared_ptr<UsbfsNode> create(std::shared_ptr<UsbfsDevice> device);
    ~UsbfsNode();
    UsbfsNode(const UsbfsNode&) = delete;
    UsbfsNode& operator=(const UsbfsNode&) = delete;

    /// The handler to attach to the device node with umockdev_testbed_attach_ioctl.
    UMockdevIoctlBase* handler() const { return handler_.get(); }
    const std::shared_ptr<UsbfsDevice>& device() const { return device_; }

private:
    struct Waiter {
        GObjectPtr<UMockdevIoctlClient> client;
        std::chrono::steady_clock::time_point deadline;
        bool blocking = false;
    };

    explicit UsbfsNode(std::shared_ptr<UsbfsDevice> device);
    void connectSignals();

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static void onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);

    /// The client's id, given at its first ioctl.
    ClientId idOf(UMockdevIoctlClient* client) const;
    /// Returns the ioctl's result (>= 0) or a negative errno; kDeferred when it completes later.
    long dispatch(UMockdevIoctlClient* client);
    long submitUrb(ClientId id, UMockdevIoctlData* arg);
    long discardUrb(ClientId id, UMockdevIoctlData* arg);
    long controlTransfer(ClientId id, UMockdevIoctlData* arg);
    long reapUrb(UMockdevIoctlClient* client, bool blocking);
    long simpleRequest(ClientId id, unsigned long request, UMockdevIoctlData* arg);

    /// Hands a completed URB to a waiting reap; false when none has completed yet.
    bool completeReap(UMockdevIoctlClient* client);
    /// On the worker thread: completes waiting reaps whose URB arrived or whose time is up.
    void serviceWaiters();
    /// Makes the worker service the waiters within `delayMs`; callable from any thread.
    void scheduleService(unsigned delayMs);
    /// Requires mutex_. Attaches service_ to the worker's context at its first ioctl.
    void attachServiceLocked();
    static gboolean onServiceDue(gpointer self);

    static constexpr long kDeferred = 1L << 40;

    const std::shared_ptr<UsbfsDevice> device_;
    GObjectPtr<UMockdevIoctlBase> handler_;
    std::vector<gulong> signals_;

    std::mutex mutex_;
    GMainContext* context_ = nullptr;  ///< the worker's context, learnt at the first ioctl
    /// One source for every wake-up of the worker: re-arming it allocates nothing and a
    /// superseded deadline does not fire.
    GSource* service_ = nullptr;
    bool servicing_ = false;  ///< serviceWaiters() holds the waiters
    std::vector<Waiter> waiters_;
};

}  // namespace Corvane::CameraController::Emulator::Usb
