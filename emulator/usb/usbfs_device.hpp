// The device end of Linux's usbfs interface for the emulated camera: URBs submitted on the
// camera's endpoints are carried over the emulator's USB function with the kernel's
// semantics (short packets, zero-length packets, halts, discards, disconnects).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "mtp/usb/bulk_pipe.hpp"
#include "usb_descriptors.hpp"

namespace Corvane::CameraController::Emulator::Usb {

/// One opened file descriptor of the device node.
using ClientId = uint64_t;

/// One URB as the device sees it. `buffer` is a local copy of the client's memory that the
/// owner keeps alive (through `owner`) and copies back when the URB is reaped.
struct Urb {
    ClientId client = 0;
    uint64_t address = 0;  ///< the client's pointer to its URB; DISCARDURB names URBs by it
    uint8_t type = 0;      ///< USBDEVFS_URB_TYPE_*
    uint8_t endpoint = 0;
    unsigned flags = 0;  ///< USBDEVFS_URB_*
    uint8_t* buffer = nullptr;
    size_t length = 0;
    std::shared_ptr<void> owner;

    // Written once, when the URB completes.
    int status = 0;  ///< 0 or a negative errno, as the kernel reports it
    size_t actualLength = 0;

    std::atomic<bool> discarded{false};
};
using UrbPtr = std::shared_ptr<Urb>;

/// What a URB did, for tests that check the exchange on the wire.
struct UrbRecord {
    uint8_t type = 0;
    uint8_t endpoint = 0;
    unsigned flags = 0;
    size_t length = 0;
    size_t actualLength = 0;
    int status = 0;
};

/// Capabilities a current xHCI host controller reports.
constexpr uint32_t kModernHostCapabilities = 0x01 | 0x02 | 0x04 | 0x08 | 0x10;
/// A host that needs bulk transfers split into 16 KiB URBs chained by BULK_CONTINUATION.
constexpr uint32_t kSplittingHostCapabilities = 0x01 | 0x02 | 0x10;

/// Thread-safe. Every operation returns at once; bulk and interrupt URBs are served by one
/// thread per endpoint, in submission order, and completed URBs wait to be reaped by the
/// client that submitted them. A bulk-OUT URB that finds its endpoint idle is served by the
/// submitting thread instead: the camera takes OUT data at once, and the host then reaps it
/// without waiting for another thread.
class UsbfsDevice {
public:
    UsbfsDevice(std::unique_ptr<Impl::BulkPipe> pipe, UsbDescriptors descriptors,
                uint32_t capabilities);
    /// Stops the endpoint threads; URBs still queued are dropped without completion.
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    const UsbDescriptors& descriptors() const { return descriptors_; }
    uint32_t capabilities() const { return capabilities_; }

    // Each returns 0 or a negative errno.
    int claimInterface(ClientId client, unsigned interfaceNumber);
    int releaseInterface(ClientId client, unsigned interfaceNumber);
    int setInterface(ClientId client, unsigned interfaceNumber, unsigned altSetting);
    int submit(const UrbPtr& urb);
    /// -EINVAL when the URB already completed (the client reaps it as it is).
    int discard(ClientId client, uint64_t address);
    /// CLEAR_FEATURE(ENDPOINT_HALT) and the host's data toggle reset.
    int clearHalt(ClientId client, unsigned endpoint);
    /// A synchronous control transfer; `moved` is the data stage length that moved.
    int control(ClientId client, const uint8_t* setup, uint8_t* data, size_t& moved);

    /// The next completed URB of `client`; null when none. After a disconnect the URBs that
    /// completed are still handed out, then `gone` is set.
    UrbPtr reap(ClientId client, bool& gone);
    /// Called (without locks held) whenever a URB completes or the device goes away.
    void setCompletionListener(std::function<void()> listener);

    /// The client closed its descriptor (or its process died): its URBs are discarded, its
    /// claims released, and URBs of it that complete later are dropped. Idempotent.
    void clientGone(ClientId client);
    /// The cable is pulled: URBs in flight complete with -ESHUTDOWN, every later request
    /// fails with -ENODEV.
    void disconnect();
    bool connected() const;

    /// Fault for tests: the next URB on `endpoint` stalls and the endpoint stays halted
    /// until the host clears it.
    void stallNext(uint8_t endpoint);
    std::vector<UrbRecord> urbLog() const;
    void clearUrbLog();

private:
    struct Endpoint {
        uint8_t address = 0;
        bool interrupt = false;
        std::deque<UrbPtr> queue;   ///< front is the URB being served
        bool servedInline = false;  ///< the front URB is being served by its submitter
        /// Wakes this endpoint's thread only: a submit must not wake the other endpoints'.
        std::condition_variable work;
        std::thread worker;
    };

    void serve(Endpoint& endpoint);
    /// Transfers the endpoint's front URB and completes it; false when the device is stopping.
    bool serveFront(Endpoint& endpoint, const UrbPtr& urb);
    void transfer(const Endpoint& endpoint, Urb& urb);
    int readIn(const Endpoint& endpoint, Urb& urb);
    int writeOut(Urb& urb);
    int haltStatus(uint8_t endpoint);
    int statusOf(Impl::PipeStatus status, uint8_t endpoint);
    /// Requires mutex_. Queues `urb` for reaping and records it.
    void completeLocked(const UrbPtr& urb, int status);
    void notifyCompletion();
    void cancelContinuationsLocked(Endpoint& endpoint);
    void wakeAllEndpoints();

    // Control requests (usb_control.cpp).
    int standardRequest(const uint8_t* setup, uint8_t* data, size_t& moved);
    int classRequest(const uint8_t* setup, uint8_t* data, size_t& moved);
    int deviceStatus(uint8_t* data, uint16_t capacity, size_t& moved);
    int clearEndpointHalt(uint8_t endpoint);

    const std::unique_ptr<Impl::BulkPipe> pipe_;
    const UsbDescriptors descriptors_;
    const uint32_t capabilities_;

    mutable std::mutex mutex_;
    bool stopping_ = false;
    bool gone_ = false;
    std::map<uint8_t, Endpoint> endpoints_;
    std::map<ClientId, std::deque<UrbPtr>> completed_;
    std::map<unsigned, ClientId> claims_;
    std::set<ClientId> departed_;
    std::set<uint8_t> halted_;
    std::set<uint8_t> stallNext_;
    std::deque<UrbRecord> log_;
    std::function<void()> listener_;
};

}  // namespace Corvane::CameraController::Emulator::Usb
