// The adapter that speaks the Quorin vendor protocol over one MTP transport.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adapter/camera_device_mtp_usb_adapter.hpp"
#include "adapter/quorin_camera_condition.hpp"

namespace Corvane::CameraController {
class CameraDevice;
}

namespace Corvane::CameraController::Impl {

class CaptureImpl;

/// One Quorin camera behind one transport. Always owned by a shared_ptr; holds its device only
/// weakly, so every operation that needs the device locks it first.
///
/// Source files, one per concern: adapter_codes.cpp (codes, errors, tether mode),
/// adapter_connection.cpp (connect, disconnect, condition, battery), adapter_live_view.cpp,
/// adapter_settings_read.cpp, adapter_settings_write.cpp, adapter_device_settings.cpp,
/// adapter_focus.cpp; adapter_events.cpp, adapter_capture.cpp, adapter_images.cpp,
/// adapter_tether_images.cpp.
class QuorinCameraDeviceMtpUsbAdapter : public CameraDeviceMtpUsbAdapter {
public:
    explicit QuorinCameraDeviceMtpUsbAdapter(std::weak_ptr<CameraDevice> device);
    /// Waits for the event and live view tasks; both end by themselves once the device is gone.
    ~QuorinCameraDeviceMtpUsbAdapter() override;

    // ---- the adapter interface ----
    Response connect() override;
    Response disconnect() override;
    bool isConnected() const override;

    Response focus(int32_t adjustment) override;
    Response focus(const Point& point) override;
    Response focus() override;

    StartCaptureResponse startCapture(const Point& focusPoint) override;
    StartCaptureResponse startCapture(bool withFocus) override;
    Response stopCapture() override;

    Response startLiveView() override;
    Response stopLiveView() override;

    Impl::ListImagesResponse listImages(std::shared_ptr<CameraStorage> storage) override;
    Response listImages() override;

    Response getImageData(const CameraImage& image, std::ostream& out) override;
    Response getImageThumbnail(const CameraImage& image, std::ostream& out) override;
    Response deleteImage(const CameraImage& image) override;

    Response getCameraDeviceSettings(const std::vector<CameraDeviceSetting*>& settings) override;
    Response setCameraDeviceSettings(
        const std::vector<const CameraDeviceSetting*>& settings) override;
    Response getCaptureSettings(const std::vector<CaptureSetting*>& settings) override;
    Response setCaptureSettings(const std::vector<const CaptureSetting*>& settings) override;

    // ---- codes and errors ----
    /// Whether the bound transport's DeviceInfo listed `operationCode`.
    bool isOperationSupported(uint16_t operationCode) const;
    /// Switches the camera's tether (remote control) mode with 0x9001.
    Response setTetherMode(bool on);

    // ---- connection and condition ----
    /// Refreshes the condition from the camera (0x900F); false keeps the previous record.
    bool updateCondition();
    /// The current condition record; null before the first successful refresh.
    std::shared_ptr<QuorinCameraCondition> getCondition() const;
    /// Refreshes the battery level in the device's status from property 0x5001.
    void updateBatteryLevel();
    /// Number of card slots considered for `model`; 0 for a model the adapter does not know.
    static uint32_t storageSlotCount(const std::string& model);

    // ---- focus ----
    /// Places the autofocus point (0xD009 read, 0xD036 written).
    Response setFocusPoint(const Point& point);

protected:
    /// Runs one transaction on the bound transport; code 0 when none is bound.
    MtpResponse execute(const MtpRequest& request) const;
    /// Shorthand for a transaction without data phase.
    MtpResponse execute(uint16_t operationCode, std::vector<uint32_t> parameters) const;
    /// The owning device, or null when it no longer exists.
    std::shared_ptr<CameraDevice> lockDevice() const;
    /// The device's model string, or empty when the device no longer exists.
    std::string deviceModel() const;

    // ---- fields of the connection ----
    std::weak_ptr<CameraDevice> device;
    std::shared_ptr<QuorinCameraCondition> condition;
    std::atomic<bool> eventLoopRunning{false};
    std::future<void> eventLoopFuture;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> storageWriting{false};
    mutable std::mutex conditionMutex;

    // ---- live view ----
    std::atomic<bool> liveViewRunning{false};
    std::future<void> liveViewTask;
    /// Serialises starts and stops of live view against each other (never taken by the task).
    std::mutex liveViewMutex;

private:
    Response connectStorages(const std::shared_ptr<CameraDevice>& owner);
    Response waitForFirstPass(const std::shared_ptr<CameraDevice>& owner);
    void liveViewLoop();
    void finishLiveView();

public:
    // ---- events, capture, images, tether images ----
    // Owned by adapter_events.cpp, adapter_capture.cpp, adapter_images.cpp and
    // adapter_tether_images.cpp. The connection and settings code calls the declarations
    // below; keep their names and meaning when changing this section.

    /// Launches the event task (eventLoop) and moves its future into eventLoopFuture.
    void startEventLoop();
    /// Copies the remembered condition words from the current condition (also after a
    /// setting was written, so that the write is not reported as a camera-side change).
    void takeRememberedWords();
    /// Disconnect, first steps: finishes a movie recording and drops movie captures.
    void finishMovieBeforeDisconnect();
    /// Every pending capture gets state Unknown; the list is emptied.
    void abandonPendingCaptures();
    /// Ends the background listing of `storage` and waits for its task.
    void stopListing(const std::shared_ptr<CameraStorage>& storage);

    // ---- end of events, capture, images, tether images ----
};

}  // namespace Corvane::CameraController::Impl
