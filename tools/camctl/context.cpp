#include "context.hpp"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "errors.hpp"
#include "failure_reason.hpp"
#include "formatting.hpp"
#include "interrupt.hpp"

namespace camctl {

Context::Context(const GlobalOptions& options, Output& output)
    : globalOptions(options), output(output) {}

namespace {

// Says what camctl is waiting for when disconnecting takes long (the library lets a capture
// that is still running finish first), so a silent pause does not look like a hang.
class SlowDisconnectNotice {
public:
    explicit SlowDisconnectNotice(Output& output)
        : watcher([this, &output] {
              std::unique_lock<std::mutex> lock(mutex);
              if (!done.wait_for(lock, std::chrono::seconds(2), [this] { return finished; })) {
                  output.note(
                      "camctl: waiting for the camera to finish before disconnecting (a "
                      "capture still in progress) ...");
              }
          }) {}
    ~SlowDisconnectNotice() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        done.notify_all();
        watcher.join();
    }
    SlowDisconnectNotice(const SlowDisconnectNotice&) = delete;
    SlowDisconnectNotice& operator=(const SlowDisconnectNotice&) = delete;

private:
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread watcher;
};

}  // namespace

Context::~Context() {
    if (device && connectedHere && device->isConnected(cc::DeviceInterface::USB)) {
        const auto response = [this] {
            SlowDisconnectNotice notice(output);
            return device->disconnect(cc::DeviceInterface::USB);
        }();
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

std::vector<std::shared_ptr<cc::CameraDevice>> Context::matchingCameras() {
    std::vector<std::shared_ptr<cc::CameraDevice>> matching;
    for (const auto& camera : detect()) {
        if (globalOptions.serial.empty() || camera->getSerialNumber() == globalOptions.serial) {
            matching.push_back(camera);
        }
    }
    return matching;
}

std::shared_ptr<cc::CameraDevice> Context::select() {
    // A camera that answers "busy" when its session is opened is not listed; that passes, so
    // it is looked for again a few times before giving up.
    auto matching = matchingCameras();
    for (int retry = 0; retry < 3 && matching.empty(); ++retry) {
        if (!sleepUnlessInterrupted(std::chrono::milliseconds(500))) {
            throw Interrupted();
        }
        matching = matchingCameras();
    }
    if (matching.empty()) {
        const std::string why = " (none is attached, or it did not answer: busy or still starting)";
        if (!globalOptions.serial.empty()) {
            throw CameraError("NoCamera",
                              "no camera with serial number " + globalOptions.serial + why);
        }
        throw CameraError("NoCamera", "no camera found" + why + "; try --emulate MODEL");
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
    selected = select();
    if (!selected->isConnected(cc::DeviceInterface::USB)) {
        throwIfFailed(selected->connect(cc::DeviceInterface::USB), "connect");
        connectedHere = true;
    }
    device = selected;
    return device;
}

bool Context::cameraGone() {
    if (device) {
        return !device->isConnected(cc::DeviceInterface::USB);
    }
    if (!selected) {
        return false;
    }
    // It failed while connecting: gone when it is no longer attached at all.
    for (const auto& camera : cc::CameraDeviceDetector::detect(cc::DeviceInterface::USB)) {
        if (camera == selected || camera->getSerialNumber() == selected->getSerialNumber()) {
            return false;
        }
    }
    return true;
}

std::string Context::reasonFor(const CameraError& error) {
    // Looking for the camera may mean detecting again, so only when the answer matters.
    return failureReason(error.codeName(), error.what(), gotNoAnswer(error) && cameraGone());
}

std::string Context::describe(const CameraError& error) {
    return describeFailure(error.codeName(), error.what(), reasonFor(error));
}

Json Context::errorJson(const CameraError& error) {
    return failureJson(error.codeName(), error.what(), reasonFor(error));
}

}  // namespace camctl
