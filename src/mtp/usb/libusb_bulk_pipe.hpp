// BulkPipe over a claimed libusb interface: what real cameras on Linux and macOS go through.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "mtp/usb/bulk_pipe.hpp"
#include "mtp/usb/libusb_handles.hpp"
#include "mtp/usb/still_image_interface.hpp"

namespace Corvane::CameraController::Impl {

/// Decodes a GET_DEVICE_STATUS answer: u16 length, u16 response code, then the addresses of
/// halted endpoints as u32 words. False when the answer is shorter than its first two fields.
bool parseDeviceStatus(const uint8_t* data, size_t size, uint8_t bulkIn, uint8_t bulkOut,
                       PipeDeviceStatus& status);

/// Owns the device handle for as long as the pipe lives, and the claimed interface until
/// release(). Thread
/// safety follows BulkPipe: one caller at a time, except cancel() and isAttached(), which any
/// thread may call at any time (libusb serialises control transfers itself).
class LibusbBulkPipe : public BulkPipe {
public:
    LibusbBulkPipe(std::shared_ptr<LibusbContext> context, LibusbHandle handle,
                   std::unique_ptr<LibusbClaim> claim, const StillImageInterface& endpoints);
    ~LibusbBulkPipe() override;

    PipeStatus writeBulk(const uint8_t* data, size_t size, size_t& written, unsigned timeoutMs,
                         bool terminate) override;
    PipeStatus readBulk(uint8_t* data, size_t capacity, size_t& received,
                        unsigned timeoutMs) override;
    /// Both reads are submitted at once and reaped as they complete.
    PipeStatus readBulkTwo(uint8_t* data, size_t capacity, size_t& received, uint8_t* next,
                           size_t nextCapacity, size_t& nextReceived, unsigned timeoutMs,
                           const std::function<bool(size_t received)>& wantNext) override;
    /// The command and both reads are submitted at once and reaped as they complete.
    PipeStatus writeThenReadTwo(const uint8_t* command, size_t commandSize, unsigned writeTimeoutMs,
                                PipeStatus& writeStatus, uint8_t* data, size_t capacity,
                                size_t& received, uint8_t* next, size_t nextCapacity,
                                size_t& nextReceived, unsigned timeoutMs,
                                const std::function<bool(size_t received)>& wantNext) override;
    PipeStatus readInterrupt(uint8_t* data, size_t capacity, size_t& received,
                             unsigned timeoutMs) override;
    PipeStatus cancel(uint32_t transactionId) override;
    PipeStatus getDeviceStatus(PipeDeviceStatus& status) override;
    PipeStatus resetDevice() override;
    PipeStatus clearHalt(PipeEndpoint endpoint) override;
    PipeStatus release() override;
    PipeStatus reclaim() override;
    size_t packetSize() const override { return endpoints_.packetSize; }
    bool isAttached() override;

private:
    PipeStatus transfer(uint8_t endpoint, bool interrupt, uint8_t* data, size_t size, size_t& moved,
                        unsigned timeoutMs);
    PipeStatus control(uint8_t requestType, uint8_t request, uint8_t* data, uint16_t size,
                       int& moved);
    PipeStatus statusOf(int libusbError);
    /// writeThenReadTwo, or readBulkTwo when `command` is null.
    PipeStatus exchange(const uint8_t* command, size_t commandSize, unsigned writeTimeoutMs,
                        PipeStatus& writeStatus, uint8_t* data, size_t capacity, size_t& received,
                        uint8_t* next, size_t nextCapacity, size_t& nextReceived,
                        unsigned timeoutMs, const std::function<bool(size_t received)>& wantNext);
    /// Handles libusb's events until `transfer` has called back (`done` set).
    void awaitTransfer(libusb_transfer* transfer, int& done);
    /// The outcome of a finished asynchronous transfer.
    PipeStatus outcomeOf(const libusb_transfer& transfer, size_t& moved);

    // Destroyed bottom-up: the claim is released before the handle closes, the context last.
    std::shared_ptr<LibusbContext> context_;
    LibusbHandle handle_;
    std::unique_ptr<LibusbClaim> claim_;
    const StillImageInterface endpoints_;
    std::atomic<bool> gone_{false};
};

}  // namespace Corvane::CameraController::Impl
