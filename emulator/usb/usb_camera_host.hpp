// Puts an emulated camera on an emulated USB bus: a umockdev testbed with a root hub and the
// camera on port 1, whose /dev/bus/usb node answers usbfs requests. Programs that run with
// the umockdev preload library and this testbed's UMOCKDEV_DIR reach the camera through
// libusb exactly as they would reach a real one.
//
//   auto host = UsbCameraHost::create(EmulatedCamera::create());
//   // this process (under the preload library) or a child with host->environment() sees it
//   host->unplug();  host->replug();
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "corvane/emulator/emulated_camera.hpp"
#include "usb_descriptors.hpp"
#include "usbfs_device.hpp"

namespace Corvane::CameraController::Emulator::Usb {

struct UsbHostOptions {
    /// What the host controller lets usbfs do; kSplittingHostCapabilities makes libusb cut
    /// bulk transfers into 16 KiB URBs.
    uint32_t capabilities = kModernHostCapabilities;
    UsbEndpoints endpoints;
    uint16_t vendorId = 0x1209;
    uint16_t productId = 0x0001;
};

/// Not thread-safe: plug changes come from one thread (the test or the host program).
class UsbCameraHost {
public:
    /// Builds the testbed with an empty bus. Sets UMOCKDEV_DIR in this process's environment.
    /// A process keeps one bus for its whole life: a libusb context keeps listening to the
    /// bus it started on. Null, with `error` set, when umockdev cannot build it.
    static std::unique_ptr<UsbCameraHost> createBus(std::string* error = nullptr);
    /// createBus() with `camera` plugged in.
    static std::unique_ptr<UsbCameraHost> create(std::shared_ptr<EmulatedCamera> camera,
                                                 const UsbHostOptions& options = {},
                                                 std::string* error = nullptr);
    ~UsbCameraHost();
    UsbCameraHost(const UsbCameraHost&) = delete;
    UsbCameraHost& operator=(const UsbCameraHost&) = delete;

    /// True when this process runs under the umockdev preload library. The process that
    /// builds the testbed needs it too: umockdev checks its own sysfs paths through it.
    static bool inMockEnvironment();
    /// Runs this program again under the preload library unless it already is; returns only
    /// when that is impossible (then false) or not needed (then true). `argv` is main's.
    static bool enterMockEnvironment(char** argv);

    /// The testbed's root (the value of UMOCKDEV_DIR).
    std::string rootDir() const;
    /// Variables a child process needs to see the bus: UMOCKDEV_DIR and LD_PRELOAD.
    std::vector<std::pair<std::string, std::string>> environment() const;

    bool plugged() const;
    /// Plugs `camera` in (unplugging the one there was), with an "add" uevent.
    bool plug(std::shared_ptr<EmulatedCamera> camera, const UsbHostOptions& options = {},
              std::string* error = nullptr);
    /// Pulls the cable: the camera stops answering, URBs in flight end with -ESHUTDOWN, the
    /// device leaves sysfs with a "remove" uevent.
    void unplug();
    /// Plugs the same camera back in at a new device address, with an "add" uevent.
    void replug();
    /// Follows the camera's own plug state (its control API may unplug it directly).
    void sync();

    /// "/dev/bus/usb/001/002"; the address changes with every replug.
    std::string deviceNode() const;
    uint8_t deviceAddress() const { return address_; }
    /// The device end of the current connection (or of the last one, after an unplug):
    /// faults and the URB log. Null before the first plug.
    const std::shared_ptr<UsbfsDevice>& device() const;
    const std::shared_ptr<EmulatedCamera>& camera() const { return camera_; }

private:
    struct Bus;
    UsbCameraHost();
    bool addRootHub(std::string& error);
    bool plugIn(std::string& error);

    std::shared_ptr<EmulatedCamera> camera_;
    UsbHostOptions options_;
    std::unique_ptr<Bus> bus_;
    uint8_t address_ = 1;
    bool plugged_ = false;
};

}  // namespace Corvane::CameraController::Emulator::Usb
