// The handle an application holds for one camera.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/point.hpp"
#include "corvane/camera_controller/response.hpp"

namespace Corvane::CameraController {

class CameraDeviceSetting;
class CameraEventListener;
class CameraImageList;
class CameraStatus;
class CameraStorageList;
class CaptureSetting;

/// One camera, obtained from CameraDeviceDetector::detect and always owned by a shared_ptr.
///
/// Every operation runs on the caller's thread. Camera operations go to the first connected
/// interface; without one they return Result::Error with one Error of ErrorCode::NotConnected
/// and an empty message. Failures are returned, not thrown, except where noted.
class CORVANE_API CameraDevice {
public:
    CameraDevice() = default;
    CameraDevice(const CameraDevice&) = default;
    CameraDevice& operator=(const CameraDevice&) = default;
    /// Does not disconnect.
    virtual ~CameraDevice() = default;

    /// True when manufacturer, model, serial number and firmware version are all equal.
    virtual bool operator==(const CameraDevice& other) const = 0;
    virtual bool operator!=(const CameraDevice& other) const = 0;

    /// Takes control of the camera (tether mode), builds the storage list, starts the image
    /// listings and the event task. Returns once the first event pass is done; Ok at once when
    /// already connected.
    virtual Response connect(DeviceInterface deviceInterface) = 0;
    /// Stops the event task, listings and live view and releases the camera. Waits for a
    /// movie being recorded to end and its file to arrive, and up to 10 s for the files of
    /// pending still captures; captures still pending then end with state Unknown. Called from
    /// a listener it waits for none of these: the captures end Unknown at once. May be called
    /// from any thread and from inside any listener.
    virtual Response disconnect(DeviceInterface deviceInterface) = 0;
    /// False for an interface without a transport.
    virtual bool isConnected(DeviceInterface deviceInterface) const = 0;

    /// Identity strings as the camera reported them at detection.
    virtual const std::string& getManufacturer() const = 0;
    virtual const std::string& getModel() const = 0;
    virtual const std::string& getFirmwareVersion() const = 0;
    virtual const std::string& getSerialNumber() const = 0;

    /// Handles updated in the background while connected; they live as long as the device.
    virtual const CameraStatus& getStatus() const = 0;
    virtual const CameraStorageList& getStorages() const = 0;
    virtual const CameraImageList& getImages() const = 0;

    /// Appends `listener`; the same listener may be added more than once and is then called
    /// once per entry.
    virtual void addEventListener(const std::shared_ptr<CameraEventListener>& listener) = 0;
    /// Removes every entry of `listener`; does nothing for a listener never added. A call
    /// already being delivered to it may still arrive.
    virtual void removeEventListener(const std::shared_ptr<CameraEventListener>& listener) = 0;
    /// The registered listeners in registration order. The reference is to the live list:
    /// copy it before adding or removing listeners on another thread.
    virtual const std::vector<std::shared_ptr<CameraEventListener>>& getEventListeners() const = 0;

    /// Moves the focus by `adjustment` steps (negative: nearer). Throws std::runtime_error
    /// "Not Supported" on a camera without focus drive.
    virtual Response focus(int32_t adjustment) = 0;
    /// Focuses at `point` (fractions of the frame).
    virtual Response focus(const Point& point) = 0;
    /// Focuses at the current focus point.
    virtual Response focus() = 0;

    /// Focuses at `focusPoint` and starts a capture. May block for up to about a minute while
    /// the camera gets ready and releases.
    virtual StartCaptureResponse startCapture(const Point& focusPoint) = 0;
    /// Starts a capture, focusing first when `withFocus`. Blocks like the overload above.
    virtual StartCaptureResponse startCapture(bool withFocus) = 0;
    /// Ends a bulb exposure or a movie recording.
    virtual Response stopCapture() = 0;

    /// Frames arrive through CameraEventListener::liveViewFrameUpdated.
    virtual Response startLiveView() = 0;
    virtual Response stopLiveView() = 0;

    /// Reads the values of `settings` (owned by the caller) and the values the camera offers;
    /// stops at the first failure. The camera's clock is local wall-clock time, daylight saving
    /// included; a clock text that is not a complete date is DeviceError "DateTime parse error".
    virtual Response getCameraDeviceSettings(const std::vector<CameraDeviceSetting*>& settings) = 0;
    /// Writes the values held by `settings`; stops at the first failure. A CameraTime whose
    /// local year is not between 1000 and 9999 is InvalidValue "CameraTime out of range", and
    /// nothing is sent.
    virtual Response setCameraDeviceSettings(
        const std::vector<const CameraDeviceSetting*>& settings) = 0;
    /// Reads the values of `settings` and the values the camera offers; stops at the first
    /// failure.
    virtual Response getCaptureSettings(const std::vector<CaptureSetting*>& settings) = 0;
    /// Writes the values held by `settings`; stops at the first failure.
    virtual Response setCaptureSettings(const std::vector<const CaptureSetting*>& settings) = 0;
};

}  // namespace Corvane::CameraController
