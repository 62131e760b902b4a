#include "usb_camera_host.hpp"

#include <umockdev.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "camera_model.hpp"
#include "glib_ptr.hpp"
#include "usbfs_node.hpp"

namespace Corvane::CameraController::Emulator::Usb {
namespace {

constexpr uint8_t kBus = 1;
constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";

std::string fourDigitHex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

std::string shortHex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%x", value & 0xFFFF);
    return text;
}

/// "1.50" -> 0x0150: the firmware version as the device's release number.
uint16_t bcdOf(const std::string& version) {
    unsigned bcd = 0;
    for (const char c : version) {
        if (c >= '0' && c <= '9') {
            bcd = (bcd << 4) | static_cast<unsigned>(c - '0');
        }
    }
    return static_cast<uint16_t>(bcd);
}

std::string threeDigits(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%03u", value);
    return text;
}

/// As the kernel's uevent names it, relative to /dev.
std::string relativeNodeOf(uint8_t address) {
    return "bus/usb/" + threeDigits(kBus) + "/" + threeDigits(address);
}

std::string nodeOf(uint8_t address) {
    return "/dev/" + relativeNodeOf(address);
}

/// One device in umockdev's text format: its sysfs path, device node, uevent properties and
/// attribute files.
class DeviceRecord {
public:
    DeviceRecord(const std::string& devpath, const std::string& subsystem) {
        text_ = "P: " + devpath + "\nE: SUBSYSTEM=" + subsystem + "\n";
    }
    /// The node under /dev, relative to it, as the kernel's uevent names it.
    DeviceRecord& node(const std::string& relative) {
        text_ += "N: " + relative + "\nE: DEVNAME=/dev/" + relative + "\n";
        return *this;
    }
    DeviceRecord& property(const std::string& name, const std::string& value) {
        text_ += "E: " + name + "=" + value + "\n";
        return *this;
    }
    /// Attribute files end with a newline, as sysfs writes them.
    DeviceRecord& attribute(const std::string& name, const std::string& value) {
        text_ += "A: " + name + "=" + value + "\\n\n";
        return *this;
    }
    DeviceRecord& binary(const std::string& name, const std::vector<uint8_t>& bytes) {
        text_ += "H: " + name + "=";
        for (const uint8_t byte : bytes) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", byte);
            text_ += hex;
        }
        text_ += "\n";
        return *this;
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// A USB 2.0 root hub as Linux describes it: one hub interface with its status endpoint.
const std::vector<uint8_t> kRootHubDescriptors = {
    0x12, 0x01, 0x00, 0x02, 0x09, 0x00, 0x01, 0x40, 0x6b, 0x1d, 0x02, 0x00, 0x06, 0x06, 0x03,
    0x02, 0x01, 0x01, 0x09, 0x02, 0x19, 0x00, 0x01, 0x01, 0x00, 0xe0, 0x00, 0x09, 0x04, 0x00,
    0x00, 0x01, 0x09, 0x00, 0x00, 0x00, 0x07, 0x05, 0x81, 0x03, 0x04, 0x00, 0x0c};

}  // namespace

struct UsbCameraHost::Bus {
    GObjectPtr<UMockdevTestbed> testbed;
    std::string rootHub;
    std::string camera;     ///< sysfs path of the camera while plugged
    std::string interface;  ///< and of its still-image interface
    std::shared_ptr<UsbfsNode> node;
    /// Nodes of earlier plugs stay attached: descriptors opened on them answer ENODEV.
    std::vector<std::shared_ptr<UsbfsNode>> unplugged;
    std::vector<std::string> attachedNodes;
};

UsbCameraHost::UsbCameraHost() : bus_(std::make_unique<Bus>()) {}

std::unique_ptr<UsbCameraHost> UsbCameraHost::createBus(std::string* error) {
    std::unique_ptr<UsbCameraHost> host(new UsbCameraHost());
    host->bus_->testbed = adopt(umockdev_testbed_new());
    std::string why;
    if (!host->bus_->testbed) {
        why = "umockdev could not create a testbed";
    } else if (host->addRootHub(why)) {
        return host;
    }
    if (error != nullptr) {
        *error = why;
    }
    return nullptr;
}

std::unique_ptr<UsbCameraHost> UsbCameraHost::create(std::shared_ptr<EmulatedCamera> camera,
                                                     const UsbHostOptions& options,
                                                     std::string* error) {
    auto host = createBus(error);
    if (host && !host->plug(std::move(camera), options, error)) {
        host.reset();
    }
    return host;
}

bool UsbCameraHost::plug(std::shared_ptr<EmulatedCamera> camera, const UsbHostOptions& options,
                         std::string* error) {
    unplug();
    camera_ = std::move(camera);
    options_ = options;
    if (!camera_->isPlugged()) {
        camera_->replug();
    }
    std::string why;
    if (plugIn(why)) {
        return true;
    }
    if (error != nullptr) {
        *error = why;
    }
    return false;
}

UsbCameraHost::~UsbCameraHost() {
    // Listeners hear the camera leave before the bus itself goes away.
    unplug();
    for (const std::string& node : bus_->attachedNodes) {
        ErrorSlot error;
        umockdev_testbed_detach_ioctl(bus_->testbed.get(), node.c_str(), error.out());
    }
    bus_->node.reset();
    bus_->unplugged.clear();
}

bool UsbCameraHost::inMockEnvironment() {
    // umockdev_in_mock_environment() also wants a testbed already in place; what matters
    // here is whether the loader mapped the library.
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libumockdev-preload") != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool UsbCameraHost::enterMockEnvironment(char** argv) {
    if (inMockEnvironment()) {
        return true;
    }
    // The marker stops a second attempt when the loader could not preload the library.
    constexpr const char* kMarker = "CORVANE_UMOCKDEV_REEXEC";
    if (std::getenv(kMarker) != nullptr) {
        return false;
    }
    setenv(kMarker, "1", 1);
    std::string preload = kPreloadLibrary;
    if (const char* old = std::getenv("LD_PRELOAD"); old != nullptr && *old != '\0') {
        preload += ":" + std::string(old);
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    execv("/proc/self/exe", argv);
    return false;
}

std::string UsbCameraHost::rootDir() const {
    const GCharPtr root(umockdev_testbed_get_root_dir(bus_->testbed.get()));
    return root ? root.get() : "";
}

std::vector<std::pair<std::string, std::string>> UsbCameraHost::environment() const {
    return {{"UMOCKDEV_DIR", rootDir()}, {"LD_PRELOAD", kPreloadLibrary}};
}

bool UsbCameraHost::addRootHub(std::string& error) {
    bus_->rootHub = "/sys/devices/usb1";
    DeviceRecord hub("/devices/usb1", "usb");
    hub.node(relativeNodeOf(1))
        .property("DEVTYPE", "usb_device")
        .property("DRIVER", "usb")
        .property("BUSNUM", threeDigits(kBus))
        .property("DEVNUM", "001")
        .attribute("busnum", std::to_string(kBus))
        .attribute("devnum", "1")
        .attribute("speed", "480")
        .attribute("version", " 2.00")
        .attribute("idVendor", "1d6b")
        .attribute("idProduct", "0002")
        .attribute("bDeviceClass", "09")
        .attribute("bConfigurationValue", "1")
        .attribute("bNumConfigurations", "1")
        .attribute("maxchild", "1")
        .binary("descriptors", kRootHubDescriptors);
    ErrorSlot slot;
    if (!umockdev_testbed_add_from_string(bus_->testbed.get(), hub.text().c_str(), slot.out())) {
        error = "umockdev refused the root hub: " + slot.message();
        return false;
    }
    return true;
}

bool UsbCameraHost::plugIn(std::string& error) {
    // Addresses are not reused within a process, even across testbeds: a program that still
    // holds a device from an earlier bus must not mistake the new camera for it.
    static std::atomic<unsigned> lastAddress{1};
    unsigned next = lastAddress.fetch_add(1) + 1;
    if (next > 127) {
        lastAddress = 2;
        next = 2;
    }
    address_ = static_cast<uint8_t>(next);
    UsbIdentity identity;
    identity.vendorId = options_.vendorId;
    identity.productId = options_.productId;
    const CameraConfig& config = camera_->modelState()->config();
    identity.manufacturer = config.manufacturer;
    identity.product = config.model;
    identity.serialNumber = config.serialNumber;
    identity.bcdDevice = bcdOf(config.firmwareVersion);
    const UsbDescriptors descriptors(identity, options_.endpoints);
    auto device =
        std::make_shared<UsbfsDevice>(camera_->connect(), descriptors, options_.capabilities);
    auto node = UsbfsNode::create(device);

    const std::string devnode = nodeOf(address_);
    DeviceRecord camera("/devices/usb1/1-1", "usb");
    camera.node(relativeNodeOf(address_))
        .property("DEVTYPE", "usb_device")
        .property("DRIVER", "usb")
        .property("BUSNUM", threeDigits(kBus))
        .property("DEVNUM", threeDigits(address_))
        .property("PRODUCT", shortHex(identity.vendorId) + "/" + shortHex(identity.productId) +
                                 "/" + shortHex(identity.bcdDevice))
        .property("TYPE", "0/0/0")
        .attribute("busnum", std::to_string(kBus))
        .attribute("devnum", std::to_string(address_))
        .attribute("devpath", "1")
        .attribute("speed", "480")
        .attribute("version", " 2.00")
        .attribute("idVendor", fourDigitHex(identity.vendorId))
        .attribute("idProduct", fourDigitHex(identity.productId))
        .attribute("bcdDevice", fourDigitHex(identity.bcdDevice))
        .attribute("bDeviceClass", "00")
        .attribute("bDeviceSubClass", "00")
        .attribute("bDeviceProtocol", "00")
        .attribute("bMaxPacketSize0", std::to_string(UsbDescriptors::kControlPacketSize))
        .attribute("bNumConfigurations", "1")
        .attribute("bConfigurationValue", std::to_string(UsbDescriptors::kConfigurationValue))
        .attribute("bNumInterfaces", " 1")
        .attribute("bmAttributes", "c0")
        .attribute("maxchild", "0")
        .attribute("removable", "removable")
        .attribute("manufacturer", identity.manufacturer)
        .attribute("product", identity.product)
        .attribute("serial", identity.serialNumber)
        .binary("descriptors", descriptors.sysfsDescriptors());
    DeviceRecord interface("/devices/usb1/1-1/1-1:1.0", "usb");
    interface.property("DEVTYPE", "usb_interface")
        .property("INTERFACE", "6/1/1")
        .attribute("bInterfaceNumber", "00")
        .attribute("bAlternateSetting", " 0")
        .attribute("bNumEndpoints", "03")
        .attribute("bInterfaceClass", "06")
        .attribute("bInterfaceSubClass", "01")
        .attribute("bInterfaceProtocol", "01");
    ErrorSlot addError;
    const std::string records = camera.text() + "\n" + interface.text();
    if (!umockdev_testbed_add_from_string(bus_->testbed.get(), records.c_str(), addError.out())) {
        error = "umockdev refused the camera device: " + addError.message();
        return false;
    }
    bus_->camera = "/sys/devices/usb1/1-1";
    bus_->interface = "/sys/devices/usb1/1-1/1-1:1.0";

    ErrorSlot attachError;
    if (!umockdev_testbed_attach_ioctl(bus_->testbed.get(), devnode.c_str(), node->handler(),
                                       attachError.out())) {
        error = "umockdev could not serve " + devnode + ": " + attachError.message();
        return false;
    }
    bus_->attachedNodes.push_back(devnode);
    bus_->node = std::move(node);
    plugged_ = true;
    umockdev_testbed_uevent(bus_->testbed.get(), bus_->camera.c_str(), "add");
    if (!bus_->interface.empty()) {
        umockdev_testbed_uevent(bus_->testbed.get(), bus_->interface.c_str(), "add");
    }
    return true;
}

bool UsbCameraHost::plugged() const {
    return plugged_;
}

void UsbCameraHost::unplug() {
    if (!plugged_ || !camera_) {
        return;
    }
    if (camera_->isPlugged()) {
        camera_->unplug();
    }
    bus_->node->device()->disconnect();
    // The event goes out while the device is still in sysfs, as the kernel's does: listeners
    // read its address from it.
    if (!bus_->interface.empty()) {
        umockdev_testbed_uevent(bus_->testbed.get(), bus_->interface.c_str(), "remove");
        umockdev_testbed_remove_device(bus_->testbed.get(), bus_->interface.c_str());
    }
    umockdev_testbed_uevent(bus_->testbed.get(), bus_->camera.c_str(), "remove");
    umockdev_testbed_remove_device(bus_->testbed.get(), bus_->camera.c_str());
    bus_->unplugged.push_back(std::move(bus_->node));
    plugged_ = false;
}

void UsbCameraHost::replug() {
    if (plugged_ || !camera_) {
        return;
    }
    if (!camera_->isPlugged()) {
        camera_->replug();
    }
    std::string error;
    if (!plugIn(error)) {
        std::fprintf(stderr, "usb camera: %s\n", error.c_str());
    }
}

void UsbCameraHost::sync() {
    if (!camera_) {
        return;
    }
    if (plugged_ && !camera_->isPlugged()) {
        unplug();
    } else if (!plugged_ && camera_->isPlugged()) {
        replug();
    }
}

std::string UsbCameraHost::deviceNode() const {
    return nodeOf(address_);
}

const std::shared_ptr<UsbfsDevice>& UsbCameraHost::device() const {
    static const std::shared_ptr<UsbfsDevice> none;
    if (plugged_) {
        return bus_->node->device();
    }
    return bus_->unplugged.empty() ? none : bus_->unplugged.back()->device();
}

}  // namespace Corvane::CameraController::Emulator::Usb
