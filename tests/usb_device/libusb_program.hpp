// Another program on the emulated bus, through libusb's plain synchronous calls and a libusb
// context of its own: what any host program, or one that died, does to the camera.
#pragma once

#include <libusb.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "usb/ptp_test_support.hpp"

namespace Corvane::CameraController::UsbDeviceTest {

constexpr uint8_t kBulkIn = 0x81;
constexpr uint8_t kBulkOut = 0x02;

class LibusbProgram {
public:
    LibusbProgram() {
        if (libusb_init(&context_) != LIBUSB_SUCCESS) {
            context_ = nullptr;
            return;
        }
        handle_ = libusb_open_device_with_vid_pid(context_, 0x1209, 0x0001);
    }
    ~LibusbProgram() {
        leave();
        if (context_ != nullptr) {
            libusb_exit(context_);
        }
    }
    LibusbProgram(const LibusbProgram&) = delete;
    LibusbProgram& operator=(const LibusbProgram&) = delete;

    bool opened() const { return handle_ != nullptr; }
    libusb_device_handle* handle() const { return handle_; }
    int claim() { return libusb_claim_interface(handle_, 0); }
    /// Closes the device as a process that dies does: no cancel, no CloseSession.
    void leave() {
        if (handle_ != nullptr) {
            libusb_close(handle_);
            handle_ = nullptr;
        }
    }
    /// One bulk-out transfer: libusb's result, an I/O error when not all of it went out.
    int write(std::vector<uint8_t> bytes) {
        int moved = 0;
        const int rc = libusb_bulk_transfer(handle_, kBulkOut, bytes.data(),
                                            static_cast<int>(bytes.size()), &moved, 2000);
        return rc == LIBUSB_SUCCESS && moved != static_cast<int>(bytes.size()) ? LIBUSB_ERROR_IO
                                                                               : rc;
    }
    bool command(uint16_t code, uint32_t transactionId, std::vector<uint32_t> parameters = {}) {
        return write(Impl::Testing::commandBytes(code, transactionId, std::move(parameters))) ==
               LIBUSB_SUCCESS;
    }
    /// One bulk-in transfer of up to `capacity` bytes; `rc` receives libusb's result.
    std::vector<uint8_t> read(size_t capacity, int& rc, unsigned timeoutMs = 2000) {
        std::vector<uint8_t> data(capacity);
        int moved = 0;
        rc = libusb_bulk_transfer(handle_, kBulkIn, data.data(), static_cast<int>(capacity), &moved,
                                  timeoutMs);
        data.resize(static_cast<size_t>(std::max(moved, 0)));
        return data;
    }
    size_t read(size_t capacity) {
        int rc = 0;
        return read(capacity, rc).size();
    }

private:
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
};

}  // namespace Corvane::CameraController::UsbDeviceTest
