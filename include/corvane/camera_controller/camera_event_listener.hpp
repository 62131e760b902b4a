// The interface through which the library reports what happens on a camera unasked.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController {

class CameraDevice;
class CameraImage;
class Capture;
class CaptureSetting;

/// Derive from this class, override the handlers you need (every one does nothing by default)
/// and register a shared_ptr to your object with CameraDevice::addEventListener.
///
/// Threads: handlers never run on the application's calling thread. Live view frames come from
/// the live view task, everything else from the device's event task; two handlers of one
/// listener may therefore run at the same time. Listeners are called one after another in
/// registration order, and the task waits until a handler returns, so handlers should be
/// quick. A handler may call any operation of any device, its own included (disconnect, a
/// capture start, stopLiveView from a frame...): a call never waits for the task running the
/// handler, and the task ends or carries on once the handler returns. An exception thrown by a
/// handler is caught and reported as one diagnostic line; the next listener is still called.
class CORVANE_API CameraEventListener {
public:
    virtual ~CameraEventListener() = default;

    /// A picture became available that is on no card: a tether image left in the camera's
    /// transfer buffer, or (in movie mode, before imageStored) a new file on a card. `image` is
    /// null when the camera announced a picture in its transfer buffer that could not be read;
    /// the call is made all the same, so that each shot still gives one imageAdded.
    virtual void imageAdded(const std::shared_ptr<const CameraDevice>& device,
                            const std::shared_ptr<const CameraImage>& image) {
        (void)device;
        (void)image;
    }
    /// A new file was found on a card and added to the storage's and the device's image lists.
    virtual void imageStored(const std::shared_ptr<const CameraDevice>& device,
                             const std::shared_ptr<const CameraImage>& image) {
        (void)device;
        (void)image;
    }
    /// The last file expected for a capture has arrived; the capture's state is Complete.
    virtual void captureComplete(const std::shared_ptr<const CameraDevice>& device,
                                 const std::shared_ptr<const Capture>& capture) {
        (void)device;
        (void)capture;
    }
    /// The camera is no longer attached; sent once per loss.
    virtual void deviceDisconnected(const std::shared_ptr<const CameraDevice>& device,
                                    DeviceInterface deviceInterface) {
        (void)device;
        (void)deviceInterface;
    }
    /// One live view frame: a JPEG picture of `size` bytes.
    virtual void liveViewFrameUpdated(const std::shared_ptr<const CameraDevice>& device,
                                      const std::shared_ptr<const unsigned char>& data,
                                      uint64_t size) {
        (void)device;
        (void)data;
        (void)size;
    }
    /// Capture settings changed at the camera itself: one setting per changed class, each
    /// holding its current value. Never sent with an empty list.
    virtual void captureSettingsChanged(
        const std::shared_ptr<const CameraDevice>& device,
        const std::vector<std::shared_ptr<const CaptureSetting>>& settings) {
        (void)device;
        (void)settings;
    }

protected:
    CameraEventListener() = default;
    CameraEventListener(const CameraEventListener&) = default;
    CameraEventListener& operator=(const CameraEventListener&) = default;
};

}  // namespace Corvane::CameraController
