// The adapter that speaks the Quorin vendor protocol over one MTP transport.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "adapter/adapter_camera_port.hpp"
#include "adapter/adapter_capture_gate.hpp"
#include "adapter/adapter_condition_tracker.hpp"
#include "adapter/adapter_event_task.hpp"
#include "adapter/adapter_live_view_session.hpp"
#include "adapter/adapter_pending_captures.hpp"
#include "adapter/adapter_setting_codecs.hpp"
#include "adapter/adapter_storage_listings.hpp"
#include "adapter/adapter_tasks.hpp"
#include "adapter/adapter_tether_image_registry.hpp"
#include "adapter/camera_device_mtp_usb_adapter.hpp"
#include "adapter/quorin_camera_condition.hpp"
#include "common/guarded_mutex.hpp"

namespace Corvane::CameraController {
class CameraDevice;
class CameraEventListener;
}  // namespace Corvane::CameraController

namespace Corvane::CameraController::Impl {

class CaptureImpl;
class CameraImageImpl;
class CameraStorageImpl;

/// One Quorin camera behind one transport. Always owned by a shared_ptr; holds its device only
/// weakly, so every operation that needs the device locks it first.
///
/// Source files, one per concern: adapter_codes.cpp (codes, errors, tether mode),
/// adapter_connection.cpp (connect, disconnect, condition, battery), adapter_live_view.cpp,
/// adapter_settings_read.cpp, adapter_settings_write.cpp, adapter_device_settings.cpp,
/// adapter_focus.cpp; adapter_events.cpp, adapter_capture.cpp, adapter_images.cpp,
/// adapter_tether_images.cpp. The parts it delegates to own their fields, locks and tasks;
/// docs/threading.md lists them with the lock order.
class QuorinCameraDeviceMtpUsbAdapter : public CameraDeviceMtpUsbAdapter, public CameraPort {
public:
    explicit QuorinCameraDeviceMtpUsbAdapter(std::weak_ptr<AdapterHost> host);
    /// Waits for the event, live view and listing tasks, which end by themselves once the
    /// adapter is gone; on one of those tasks' own threads it leaves the waiting to a helper.
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
    /// Binds the camera's current transport object, for discovery. Binding another object
    /// while connected ends that connection: the adapter reads disconnected, pending captures
    /// end Unknown, live view and the event task stop, and the event task sends one
    /// deviceDisconnected; the next connect() runs the whole connect sequence. Never blocks.
    void rebindTransport(const std::shared_ptr<MtpDevice>& transport) override;
    // ---- the parts' view of the camera (CameraPort) ----
    using CameraPort::execute;
    MtpResponse execute(const MtpRequest& request) const override;
    bool updateCondition() override;
    std::shared_ptr<QuorinCameraCondition> getCondition() const override;
    std::shared_ptr<AdapterHost> lockHost() const override;
    bool isStorageWriting() const override { return storageWriting; }
    void setStorageWriting(bool on) override { storageWriting = on; }
    void takeRememberedWordsOf(uint16_t propertyCode) override;
    /// Refreshes the battery level in the device's status from property 0x5001.
    void updateBatteryLevel();
    /// Sets tether mode and storage writing again when the transport had to open a new
    /// session since connect (a device reset ends the camera's session and both with it).
    void restoreSessionIfReopened();
    /// Number of card slots considered for `model`; 0 for a model the adapter does not know.
    static uint32_t storageSlotCount(const std::string& model);

    /// Wall clock read by capture IDs and capture expiry.
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    /// Pause used by the capture-start waits (100 ms polls) and listing throttles.
    using Sleeper = std::function<void(std::chrono::milliseconds)>;
    /// Test seam: replaces the clock and/or the sleeper (an empty function keeps the current).
    void setTimingForTesting(Clock clock, Sleeper sleeper);

    // ---- focus ----
    /// Places the autofocus point (0xD009 read, 0xD036 written).
    Response setFocusPoint(const Point& point);

protected:
    // ---- fields of the connection ----
    std::weak_ptr<AdapterHost> host;
    /// The condition part: the current record and change tracking's remembered words.
    ConditionTracker conditionTracker;
    std::atomic<bool> connected{false};
    std::atomic<bool> storageWriting{false};
    /// The transport's session number that tether mode and storage writing were set in.
    std::atomic<uint64_t> sessionSetUp{0};

    /// The capture part: pending captures, the capture gate.
    PendingCaptures pendingCaptures;
    /// The transfer-buffer part's record of the tether images it made.
    TetherImageRegistry tetherImages;
    /// The event task part; its lifecycle lock serialises connect and disconnect.
    EventTask eventTask{this};
    /// The live-view part: the switch and the frame task.
    LiveViewSession liveView{this, *this};

    /// Bounds of connect's waits for the event task's first pass and for the listings to
    /// start; a camera that stops answering meanwhile fails the connect instead of hanging.
    std::chrono::milliseconds firstPassTimeout{30000};
    std::chrono::milliseconds listingStartTimeout{30000};
    /// The setting codecs part: reads and writes settings through this adapter's CameraPort.
    SettingCodecs settingCodecs{*this};

private:
    void connectStorages(AdapterHost& owner, const std::vector<uint32_t>& storageIds);
    bool waitForListingsToStart(AdapterHost& owner) const;
    /// Stops what connect started and leaves the camera disconnected; for a failed connect.
    void abandonConnection(AdapterHost& owner);
    /// Stops the event task, the listings and live view, and ends every pending capture.
    void stopBackgroundWork(AdapterHost& owner);
    /// Whether the calling thread runs `task` of this adapter (a listener called by it, say),
    /// which must then never wait for that task.
    bool runsOnOwnTask(AdapterTask task) const { return AdapterTaskMark::current(this) == task; }
    /// Whether the calling thread runs any task of this adapter. Only application threads
    /// wait for tasks, so no two tasks ever wait for each other.
    bool runsOnAnyTask() const { return AdapterTaskMark::current(this) != AdapterTask::None; }
    /// On a task of this adapter (inside its listeners) reads the condition afresh: the event
    /// task, which otherwise does, is busy or waiting.
    void refreshConditionOnTask();

protected:
    // ---- events, capture, images, tether images ----
    // Owned by adapter_events.cpp, adapter_capture.cpp, adapter_images.cpp and
    // adapter_tether_images.cpp. Internal steps, not part of the face: unit tests reach them
    // through a test subclass.

    /// Starts the event task (a new one, after the earlier one ended) with eventStep as pass.
    void startEventLoop();
    /// Disconnect, first steps: finishes a movie recording and drops movie captures.
    void finishMovieBeforeDisconnect();
    /// Ends the background listing of `storage` and waits for its task.
    void stopListing(const std::shared_ptr<CameraStorage>& storage);

    // -- events --
    /// Compares the remembered words with the current condition and reports camera-side
    /// changes to the listeners; true when a change was counted, and the remembered words are
    /// then those of the compared record.
    bool detectSettingChanges();
    /// Ends still captures pending for 120 s or more (by the time in their IDs).
    void expireStillCaptures();

    // -- capture --
    StartCaptureResponse doStartCapture(bool withFocus);
    StartCaptureResponse waitForCaptureStart(bool movie);
    /// The UTC time "%Y%m%d%H%M%S" followed by the milliseconds without padding.
    std::string makeCaptureId() const;
    /// Files the camera will store for one capture, from the current condition.
    int32_t countExpectedFiles() const;
    /// Asks a running listing of `storage` to pause and waits until it has.
    void waitForStorageListing(const std::shared_ptr<CameraStorage>& storage);
    bool isMovieMode() const;
    bool isMovieRecording() const;
    bool isCaptureAllowed() const;
    /// Counts one arrived file against the oldest pending capture; completes it at zero.
    void captureFileArrived();
    /// Completes the oldest pending capture, a movie, with the files it got when its recording
    /// ended 10 s ago and no file came since (Unknown when none came at all).
    void endMovieShortOfFiles();
    /// Sends captureComplete for `capture` to every listener.
    void reportCaptureComplete(const std::shared_ptr<CaptureImpl>& capture);

    // -- images and storages --
    /// Copies the camera's transfer buffer into `out`, following its transfer instructions.
    Response transferTetherBuffer(std::ostream& out);
    void doListImagesAsync(const std::string& storageId);
    /// An image made from an ObjectInfo; `storage` is null for an image in the transfer buffer.
    std::shared_ptr<CameraImageImpl> createImage(const std::shared_ptr<CameraStorage>& storage,
                                                 const MtpObjectInfo& info);
    /// Refreshes the capacity figures of every available storage.
    void updateStorages();
    void applyStorageInfo(CameraStorageImpl& storage, const MtpStorageInfo& info,
                          bool copyFreeImages);
    void pauseAllListings();
    void resumeListing(const std::shared_ptr<CameraStorage>& storage);
    /// GetObjectHandles of one storage, never while a capture is being started.
    bool fetchObjectHandles(const std::string& storageId, std::vector<uint32_t>& handles);

    // -- tether images and the update after a capture --
    std::shared_ptr<CameraImageImpl> createImageFromTetherImage();
    void deleteTetherImage();
    void refreshAfterTetherDelete();
    void updateImageInfo();
    bool canUpdateImages() const;
    void updateStorageImages(const std::shared_ptr<CameraStorage>& storage);

private:
    /// One pass of the event task; the pause before the next, or none when the task ends.
    std::optional<std::chrono::milliseconds> eventStep(EventLoopStop& stop);
    /// One pass of the event loop after the condition was read.
    void runEventPass();
    /// Ends the task for a camera that is no longer attached.
    void handleUnplugged();
    /// Sends deviceDisconnected to every listener; on the event task only.
    void reportDisconnected();
    /// A listing task: holds the adapter for the listing, which ends soon once the device is
    /// gone.
    static void listingTask(const void* owner, std::weak_ptr<CameraDeviceAdapter> adapter,
                            std::string storageId);
    void pause(std::chrono::milliseconds duration) const;
    bool isTetherImage(const CameraImage& image) const;
    void rememberTetherImage(const std::shared_ptr<CameraImageImpl>& image);
    /// GetPartialObject in 1 MiB pieces, each written to `out` as it arrives; an untrusted
    /// size (0 or 0xFFFFFFFF) is read until the camera's data ends.
    Response downloadObject(uint32_t handle, uint64_t size, std::ostream& out);
    /// The piece at `offset`: GetPartialObject, or its 64-bit form beyond 4 GiB.
    static MtpRequest pieceRequest(uint32_t handle, uint64_t offset);
    /// One read transaction, asked again while the camera answers Device Busy (bounded).
    MtpResponse readRetryingBusy(const MtpRequest& request);
    /// GetObjectHandles (all formats) and GetObjectInfo, each with busy answers retried.
    bool readObjectHandles(uint32_t storageId, std::vector<uint32_t>& handles);
    std::unique_ptr<MtpObjectInfo> readObjectInfo(uint32_t handle);
    /// The announced size, or the 64-bit ObjectSize property where the announced one says
    /// nothing and the camera offers the property.
    uint64_t objectSizeOf(const MtpObjectInfo& info);
    /// Listing steps: drops images whose handles are gone; throttles, pauses on request and
    /// tells whether to go on; lists one handle (false when its ObjectInfo could not be read).
    void removeVanishedImages(CameraStorageImpl& storage, const std::vector<uint32_t>& handles);
    bool awaitListingTurn(CameraStorageImpl& storage);
    bool listObject(const std::shared_ptr<CameraStorageImpl>& storage, uint32_t handle);
    /// One transfer instruction 3: fetches `count` bytes with 0x900D into `out`.
    Response fetchTransferData(uint32_t count, std::ostream& out);
    std::chrono::system_clock::time_point now() const;
    /// Removes `image` from the lists of the storages with id `storageId` and from the
    /// device's list.
    void forgetImage(AdapterHost& owner, const std::string& storageId, const CameraImage& image);
    /// Gives every listener of the device one call, outside every adapter lock; a listener
    /// that throws is logged under `eventName` (the listener operation called).
    void notifyListeners(
        const std::string& eventName,
        const std::function<void(CameraEventListener&, const std::shared_ptr<const CameraDevice>&)>&
            call);

    mutable Mutex timingMutex;
    Clock clock GUARDED_BY(timingMutex);
    Sleeper sleeper GUARDED_BY(timingMutex);

    /// Serialises capture starts; held across the start's camera work and waits, so nothing
    /// else is ever taken while waiting for it except the locks below.
    Mutex captureMutex;

    // Last, so that it is destroyed first: destroying it waits for the listing tasks, which
    // still use the members above.
    /// The storage listings part: the listing tasks and the handles each took.
    StorageListings listings;
};

}  // namespace Corvane::CameraController::Impl
