// Owners for libusb's context, device references, handles, lists and claimed interfaces.
#pragma once

#include <libusb.h>

#include <memory>

namespace Corvane::CameraController::Impl {

/// The process's libusb context. Everything opened in it holds a shared pointer to it, so
/// libusb_exit runs only after the last handle is closed.
class LibusbContext {
public:
    /// The shared context, created on first use and again after the last holder let it go.
    /// Null when libusb cannot start (no USB support on this system). Thread-safe.
    static std::shared_ptr<LibusbContext> instance();

    explicit LibusbContext(libusb_context* context) : context_(context) {}
    ~LibusbContext() { libusb_exit(context_); }
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;

    libusb_context* get() const { return context_; }

private:
    libusb_context* const context_;
};

struct LibusbDeviceUnref {
    void operator()(libusb_device* device) const { libusb_unref_device(device); }
};

struct LibusbHandleClose {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
using LibusbHandle = std::unique_ptr<libusb_device_handle, LibusbHandleClose>;

struct LibusbConfigFree {
    void operator()(libusb_config_descriptor* config) const {
        libusb_free_config_descriptor(config);
    }
};
using LibusbConfig = std::unique_ptr<libusb_config_descriptor, LibusbConfigFree>;

/// The devices on the bus at one moment; frees the list and its references.
class LibusbDeviceList {
public:
    explicit LibusbDeviceList(libusb_context* context) {
        const ssize_t count = libusb_get_device_list(context, &devices_);
        valid_ = count >= 0;
        count_ = count > 0 ? static_cast<size_t>(count) : 0;
    }
    ~LibusbDeviceList() {
        if (devices_ != nullptr) {
            libusb_free_device_list(devices_, 1);
        }
    }
    LibusbDeviceList(const LibusbDeviceList&) = delete;
    LibusbDeviceList& operator=(const LibusbDeviceList&) = delete;

    /// False when libusb could not list the bus (not the same as an empty bus).
    bool valid() const { return valid_; }
    libusb_device* const* begin() const { return devices_; }
    libusb_device* const* end() const { return devices_ + count_; }

private:
    libusb_device** devices_ = nullptr;
    size_t count_ = 0;
    bool valid_ = false;
};

/// A claimed interface, released before the handle it was claimed on is closed.
class LibusbClaim {
public:
    LibusbClaim(libusb_device_handle* handle, int interfaceNumber)
        : handle_(handle), interfaceNumber_(interfaceNumber) {}
    ~LibusbClaim() {
        if (handle_ != nullptr) {
            libusb_release_interface(handle_, interfaceNumber_);
        }
    }
    LibusbClaim(const LibusbClaim&) = delete;
    LibusbClaim& operator=(const LibusbClaim&) = delete;

private:
    libusb_device_handle* handle_;
    int interfaceNumber_;
};

}  // namespace Corvane::CameraController::Impl
