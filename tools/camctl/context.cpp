#include "context.hpp"

#include "errors.hpp"
#include "formatting.hpp"

namespace camctl {

Context::Context(const GlobalOptions& options, Output& output)
    : globalOptions(options), output(output) {}

Context::~Context() {
    if (device && connectedHere && device->isConnected(cc::DeviceInterface::USB)) {
        const auto response = device->disconnect(cc::DeviceInterface::USB);
        if (response.getResult() != cc::Result::Ok && !response.getErrors().empty()) {
            output.note("warning: disconnect failed: " +
                        response.getErrors().front()->getMessage());
        }
    }
}

std::vector<std::shared_ptr<cc::CameraDevice>> Context::detect() {
    if (!emulator && !globalOptions.emulation.model.empty()) {
        emulator = attachEmulatedCamera(globalOptions.emulation);
    }
    return cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB);
}

std::shared_ptr<cc::CameraDevice> Context::select() {
    const auto cameras = detect();
    std::vector<std::shared_ptr<cc::CameraDevice>> matching;
    for (const auto& camera : cameras) {
        if (globalOptions.serial.empty() || camera->getSerialNumber() == globalOptions.serial) {
            matching.push_back(camera);
        }
    }
    if (matching.empty()) {
        if (!globalOptions.serial.empty()) {
            throw CameraError("NoCamera", "no camera with serial number " + globalOptions.serial);
        }
        throw CameraError("NoCamera", "no camera found (try --emulate MODEL)");
    }
    if (matching.size() > 1) {
        std::string serials;
        for (const auto& camera : matching) {
            serials += (serials.empty() ? "" : ", ") + printable(camera->getSerialNumber());
        }
        throw UsageError("several cameras are attached; pick one with --serial (" + serials + ")");
    }
    return matching.front();
}

cc::CameraDevice& Context::camera() {
    return *cameraPointer();
}

std::shared_ptr<cc::CameraDevice> Context::cameraPointer() {
    if (device) {
        return device;
    }
    auto selected = select();
    if (!selected->isConnected(cc::DeviceInterface::USB)) {
        throwIfFailed(selected->connect(cc::DeviceInterface::USB), "connect");
        connectedHere = true;
    }
    device = std::move(selected);
    return device;
}

}  // namespace camctl
