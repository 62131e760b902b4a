#include "usb_camera_host.hpp"

#include <umockdev.h>

#include <cstdio>

#include "camera_model.hpp"
#include "glib_ptr.hpp"
#include "usbfs_node.hpp"

namespace Corvane::CameraController::Emulator::Usb {
namespace {

constexpr uint8_t kBus = 1;
constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";

std::string twoDigitHex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", value & 0xFF);
    return text;
}

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

std::string nodeOf(uint8_t address) {
    return "/dev/bus/usb/" + threeDigits(kBus) + "/" + threeDigits(address);
}

/// A NULL-terminated name/value array for umockdev_testbed_add_devicev.
class Pairs {
public:
    Pairs& add(std::string name, std::string value) {
        strings_.push_back(std::move(name));
        strings_.push_back(std::move(value));
        return *this;
    }
    gchar** get() {
        pointers_.clear();
        for (auto& s : strings_) {
            pointers_.push_back(s.data());
        }
        pointers_.push_back(nullptr);
        return pointers_.data();
    }

private:
    std::vector<std::string> strings_;
    std::vector<gchar*> pointers_;
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

UsbCameraHost::UsbCameraHost(std::shared_ptr<EmulatedCamera> camera, const UsbHostOptions& options)
    : camera_(std::move(camera)), options_(options), bus_(std::make_unique<Bus>()) {}

std::unique_ptr<UsbCameraHost> UsbCameraHost::create(std::shared_ptr<EmulatedCamera> camera,
                                                     const UsbHostOptions& options,
                                                     std::string* error) {
    std::unique_ptr<UsbCameraHost> host(new UsbCameraHost(std::move(camera), options));
    host->bus_->testbed = adopt(umockdev_testbed_new());
    std::string why;
    if (!host->bus_->testbed) {
        why = "umockdev could not create a testbed";
    } else if (host->addRootHub(why) && host->plugIn(why)) {
        return host;
    }
    if (error != nullptr) {
        *error = why;
    }
    return nullptr;
}

UsbCameraHost::~UsbCameraHost() {
    if (plugged_) {
        bus_->node->device()->disconnect();
    }
    for (const std::string& node : bus_->attachedNodes) {
        ErrorSlot error;
        umockdev_testbed_detach_ioctl(bus_->testbed.get(), node.c_str(), error.out());
    }
    bus_->node.reset();
    bus_->unplugged.clear();
}

bool UsbCameraHost::inMockEnvironment() { return umockdev_in_mock_environment() != FALSE; }

std::string UsbCameraHost::rootDir() const {
    const GCharPtr root(umockdev_testbed_get_root_dir(bus_->testbed.get()));
    return root ? root.get() : "";
}

std::vector<std::pair<std::string, std::string>> UsbCameraHost::environment() const {
    return {{"UMOCKDEV_DIR", rootDir()}, {"LD_PRELOAD", kPreloadLibrary}};
}

bool UsbCameraHost::addRootHub(std::string& error) {
    Pairs attributes;
    attributes.add("busnum", std::to_string(kBus))
        .add("devnum", "1")
        .add("speed", "480")
        .add("version", " 2.00")
        .add("idVendor", "1d6b")
        .add("idProduct", "0002")
        .add("bDeviceClass", "09")
        .add("bConfigurationValue", "1")
        .add("bNumConfigurations", "1")
        .add("maxchild", "1");
    Pairs properties;
    properties.add("DEVTYPE", "usb_device")
        .add("DRIVER", "usb")
        .add("BUSNUM", threeDigits(kBus))
        .add("DEVNUM", "001")
        .add("DEVNAME", nodeOf(1));
    GCharPtr path(umockdev_testbed_add_devicev(bus_->testbed.get(), "usb", "usb1", nullptr,
                                               attributes.get(), properties.get()));
    if (!path) {
        error = "umockdev refused the root hub";
        return false;
    }
    bus_->rootHub = path.get();
    std::vector<uint8_t> descriptors = kRootHubDescriptors;
    umockdev_testbed_set_attribute_binary(bus_->testbed.get(), bus_->rootHub.c_str(),
                                          "descriptors", descriptors.data(),
                                          static_cast<gint>(descriptors.size()));
    return true;
}

bool UsbCameraHost::plugIn(std::string& error) {
    ++address_;
    UsbIdentity identity;
    identity.vendorId = options_.vendorId;
    identity.productId = options_.productId;
    const CameraConfig& config = camera_->modelState()->config();
    identity.manufacturer = config.manufacturer;
    identity.product = config.model;
    identity.serialNumber = config.serialNumber;
    identity.bcdDevice = bcdOf(config.firmwareVersion);
    const UsbDescriptors descriptors(identity, options_.endpoints);
    auto device = std::make_shared<UsbfsDevice>(camera_->connect(), descriptors,
                                                options_.capabilities);
    auto node = UsbfsNode::create(device);

    const std::string devnode = nodeOf(address_);
    Pairs attributes;
    attributes.add("busnum", std::to_string(kBus))
        .add("devnum", std::to_string(address_))
        .add("devpath", "1")
        .add("speed", "480")
        .add("version", " 2.00")
        .add("idVendor", fourDigitHex(identity.vendorId))
        .add("idProduct", fourDigitHex(identity.productId))
        .add("bcdDevice", fourDigitHex(identity.bcdDevice))
        .add("bDeviceClass", "00")
        .add("bDeviceSubClass", "00")
        .add("bDeviceProtocol", "00")
        .add("bMaxPacketSize0", std::to_string(UsbDescriptors::kControlPacketSize))
        .add("bNumConfigurations", "1")
        .add("bConfigurationValue", std::to_string(UsbDescriptors::kConfigurationValue))
        .add("bNumInterfaces", " 1")
        .add("bmAttributes", "c0")
        .add("maxchild", "0")
        .add("removable", "removable")
        .add("manufacturer", identity.manufacturer)
        .add("product", identity.product)
        .add("serial", identity.serialNumber);
    Pairs properties;
    properties.add("DEVTYPE", "usb_device")
        .add("DRIVER", "usb")
        .add("BUSNUM", threeDigits(kBus))
        .add("DEVNUM", threeDigits(address_))
        .add("DEVNAME", devnode)
        .add("PRODUCT", shortHex(identity.vendorId) + "/" + shortHex(identity.productId) + "/" +
                            shortHex(identity.bcdDevice))
        .add("TYPE", "0/0/0");
    GCharPtr path(umockdev_testbed_add_devicev(bus_->testbed.get(), "usb", "1-1",
                                               bus_->rootHub.c_str(), attributes.get(),
                                               properties.get()));
    if (!path) {
        error = "umockdev refused the camera device";
        return false;
    }
    bus_->camera = path.get();
    std::vector<uint8_t> raw = descriptors.sysfsDescriptors();
    umockdev_testbed_set_attribute_binary(bus_->testbed.get(), bus_->camera.c_str(),
                                          "descriptors", raw.data(), static_cast<gint>(raw.size()));

    Pairs interfaceAttributes;
    interfaceAttributes.add("bInterfaceNumber", "00")
        .add("bAlternateSetting", " 0")
        .add("bNumEndpoints", "03")
        .add("bInterfaceClass", "06")
        .add("bInterfaceSubClass", "01")
        .add("bInterfaceProtocol", "01");
    Pairs interfaceProperties;
    interfaceProperties.add("DEVTYPE", "usb_interface").add("INTERFACE", "6/1/1");
    GCharPtr interfacePath(umockdev_testbed_add_devicev(
        bus_->testbed.get(), "usb", "1-1:1.0", bus_->camera.c_str(), interfaceAttributes.get(),
        interfaceProperties.get()));
    bus_->interface = interfacePath ? interfacePath.get() : "";

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

bool UsbCameraHost::plugged() const { return plugged_; }

void UsbCameraHost::unplug() {
    if (!plugged_) {
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
    if (plugged_) {
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
    if (plugged_ && !camera_->isPlugged()) {
        unplug();
    } else if (!plugged_ && camera_->isPlugged()) {
        replug();
    }
}

std::string UsbCameraHost::deviceNode() const { return nodeOf(address_); }

const std::shared_ptr<UsbfsDevice>& UsbCameraHost::device() const {
    return plugged_ ? bus_->node->device() : bus_->unplugged.back()->device();
}

}  // namespace Corvane::CameraController::Emulator::Usb
