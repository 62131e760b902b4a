// An emulated Quorin camera: a PTP responder behind an in-memory USB pipe, with a control
// API for tests, demos and benchmarks.
//
//   auto camera = EmulatedCamera::create(config);
//   camera->attach();   // getDevices() / CameraDeviceDetector::detect now find it
//   camera->setExposureMode(8);   // turn the mode dial to manual
//
// Every public operation is thread-safe and never blocks on the camera's own delays.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "corvane/emulator/camera_config.hpp"

namespace Corvane::CameraController::Impl {
class BulkPipe;
class MtpDevice;
}  // namespace Corvane::CameraController::Impl

namespace Corvane::CameraController::Emulator {

class CameraModel;

/// One transaction as the camera received it.
struct TransactionRecord {
    uint16_t operationCode = 0;
    uint32_t transactionId = 0;
    std::vector<uint32_t> parameters;
    uint64_t dataReceived = 0;  ///< bytes of the host's data phase
    uint64_t dataSent = 0;      ///< bytes of the camera's data phase
    uint16_t responseCode = 0;
};

/// What the camera's state looks like right now (for assertions).
struct CameraSnapshot {
    bool plugged = false;
    bool sessionOpen = false;
    bool tetherMode = false;
    bool writeToCard = false;
    bool liveView = false;
    bool movieMode = false;
    bool recording = false;
    bool busy = false;
    uint32_t statusFlags = 0;
    int32_t exposureMode = 0;
    uint32_t adjustableMask = 0;
    uint16_t fNumber = 0;
    uint32_t shutterNumerator = 0;
    uint32_t shutterDenominator = 0;
    uint32_t iso = 0;
    uint16_t whiteBalance = 0;
    int16_t exposureCompensation = 0;
    int32_t focusPosition = 0;
    uint16_t focusPointX = 0;
    uint16_t focusPointY = 0;
    size_t tetherImagesWaiting = 0;
    uint8_t batteryLevel = 0;
};

/// One object on a card.
struct ObjectSummary {
    uint32_t handle = 0;
    uint32_t storageId = 0;
    uint16_t format = 0;
    std::string path;
    uint64_t size = 0;
};

/// How the camera lays out the transfer instructions of a tether image (0x900C).
enum class TetherTransferStyle {
    Sequential,  ///< one data instruction for the whole file, then done
    Scattered,   ///< second half first, a seek back, the first half, a seek to the end
};

class EmulatedCamera : public std::enable_shared_from_this<EmulatedCamera> {
public:
    /// Builds a switched-on camera, plugged in but not yet attached to the device list.
    static std::shared_ptr<EmulatedCamera> create(CameraConfig config = {});
    ~EmulatedCamera();
    EmulatedCamera(const EmulatedCamera&) = delete;
    EmulatedCamera& operator=(const EmulatedCamera&) = delete;

    /// The device key under which getDevices() lists the camera.
    const std::string& id() const;
    const std::string& model() const;

    // --- Attachment ---------------------------------------------------------------------
    /// Lists the camera in the library's device list (getDevices(), detect()).
    void attach();
    /// Takes it off the device list; open connections keep working.
    void detach();
    /// Pulls the USB cable: every connection fails at once with Disconnected (transactions
    /// answer code 0), the session and tether mode end.
    void unplug();
    /// Plugs the cable back in; new connections can be made, old ones stay dead.
    void replug();
    bool isPlugged() const;
    /// The host side of a new USB connection (512-byte bulk packets).
    std::unique_ptr<Impl::BulkPipe> connect();
    /// A PtpUsbDevice over a new connection, opened (session 1, identity read); null when
    /// the camera does not answer.
    std::shared_ptr<Impl::MtpDevice> openDevice();

    // --- The body's controls ------------------------------------------------------------
    /// Mode dial: an exposure-mode code 0 to 21 (8 manual, 9 bulb, 5 aperture priority...).
    /// The adjustable settings and offered values follow the mode.
    void setExposureMode(int32_t mode);
    /// Aperture in hundredths (560 = f/5.6); 0 means no lens aperture reported.
    void setFNumber(uint16_t code);
    void setShutterSpeed(uint32_t numerator, uint32_t denominator);
    /// ISO sensitivity, 0 for auto.
    void setIso(uint32_t code);
    void setWhiteBalance(uint16_t code);
    /// Compensation in thousandths of EV (-700 = -0.7 EV).
    void setExposureCompensation(int16_t code);
    void setUserSettingsMode(uint8_t key);
    /// Still/movie switch.
    void setMovieMode(bool movie);
    void setBatteryLevel(uint8_t level);
    /// Capture-inhibited flag of the condition (e.g. a menu is open on the body).
    void setCaptureInhibited(bool inhibited);
    /// The condition's camera state word (2, 9 and 40 are states in which a host polls more
    /// slowly; 0 is the ordinary state).
    void setCameraState(uint32_t state);
    /// Presses the shutter button on the body: a still capture the host did not ask for.
    void pressShutter();

    // --- Cards and files ----------------------------------------------------------------
    /// Slots are numbered from 1. False when the slot does not exist or already has a card.
    bool insertCard(unsigned slot, uint64_t capacity, const std::vector<FileSpec>& files = {});
    /// False when there is no card; its objects disappear with it.
    bool removeCard(unsigned slot);
    /// Adds a file on the card in `slot`; returns its object handle, 0 when there is no card.
    uint32_t addFile(unsigned slot, const FileSpec& file);
    std::vector<ObjectSummary> objects() const;
    /// The bytes of an object from `offset`, at most `count` of them (empty when there is no
    /// such object). Use a window for files generated on the fly.
    std::vector<uint8_t> objectData(uint32_t handle, uint64_t offset = 0,
                                    uint64_t count = UINT64_MAX) const;

    // --- Faults and timing --------------------------------------------------------------
    /// Answers operation `operation` with `responseCode` (and no data) the next `times` times.
    void failNext(uint16_t operation, uint16_t responseCode, unsigned times = 1);
    /// Answers `operation` with `responseCode` until clearFaults().
    void failAlways(uint16_t operation, uint16_t responseCode);
    /// Cuts the data phase of `operation` to `size` bytes, `times` times (0: until cleared).
    void truncateData(uint16_t operation, uint32_t size, unsigned times = 0);
    void clearFaults();
    /// Extra time before the camera's answer to every transaction becomes readable.
    void setLatency(std::chrono::microseconds latency);
    /// See CameraConfig::timeScale.
    void setTimeScale(double scale);
    void setTetherTransferStyle(TetherTransferStyle style);
    /// After a cancel the camera reports Busy this long before it is idle (a body that
    /// finishes writing first).
    void setCancelWindDown(std::chrono::microseconds duration);

    // --- Observation --------------------------------------------------------------------
    /// Every transaction received since creation or clearTransactions() (the newest
    /// 100000 are kept).
    std::vector<TransactionRecord> transactions() const;
    void clearTransactions();
    CameraSnapshot snapshot() const;
    /// The wall-clock moment each accepted release (a shutter press that shoots or starts a
    /// recording) reached the camera, oldest first; for measuring how closely a rig fires.
    std::vector<std::chrono::system_clock::time_point> releaseTimes() const;
    /// The moment each still shot's picture was written by the camera's own timing (its focus,
    /// exposure and write), oldest first; the camera may hand it over later, once the host has
    /// polled its condition. For measuring what a host adds after that.
    std::vector<std::chrono::system_clock::time_point> shotReadyTimes() const;

    /// The model behind the API (emulator internals, camemu).
    const std::shared_ptr<CameraModel>& modelState() const { return model_; }

private:
    explicit EmulatedCamera(std::shared_ptr<CameraModel> model);

    std::shared_ptr<CameraModel> model_;
};

}  // namespace Corvane::CameraController::Emulator
