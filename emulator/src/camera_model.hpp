// The behavioural model of a Quorin camera and its PTP responder: an operation with its
// parameters and data goes in, a response code with parameters and data comes out.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "corvane/emulator/camera_config.hpp"
#include "corvane/emulator/emulated_camera.hpp"
#include "datasets.hpp"
#include "exposure.hpp"
#include "pictures.hpp"
#include "transaction.hpp"

namespace Corvane::CameraController::Emulator {

class UsbFunction;

using Clock = std::chrono::steady_clock;

class CameraModel {
public:
    explicit CameraModel(CameraConfig config);
    CameraModel(const CameraModel&) = delete;
    CameraModel& operator=(const CameraModel&) = delete;

    /// One whole transaction. Never throws for bad input: malformed requests get an error
    /// response code.
    Reply execute(const Operation& operation);
    /// Whether the host sends a data phase with this operation.
    static bool takesData(uint16_t operationCode);
    /// For an operation that takes data: the response code with which the camera refuses it
    /// from the command alone (its data phase is then stalled), or 0 when it takes the data.
    /// A refused transaction is logged and uses up its transaction id.
    uint16_t refuseDataPhase(const Operation& operation);
    /// The class reset: the session ends.
    void resetSession();
    /// How long the camera reports Busy after a cancel before it is idle again.
    std::chrono::microseconds cancelWindDown() const;
    void setCancelWindDown(std::chrono::microseconds duration);

    const std::string& id() const { return id_; }
    const CameraConfig& config() const { return config_; }

    // Plugging. The generation changes at every unplug, so connections made before it stay
    // dead after a replug.
    bool plugged() const { return plugged_.load(); }
    uint64_t generation() const { return generation_.load(); }
    void unplug();
    void replug();
    void addFunction(const std::weak_ptr<UsbFunction>& function);

    // Control API (see EmulatedCamera).
    void setExposureMode(int32_t mode);
    void setFNumber(uint16_t code);
    void setShutterSpeed(uint32_t numerator, uint32_t denominator);
    void setIso(uint32_t code);
    void setWhiteBalance(uint16_t code);
    void setExposureCompensation(int16_t code);
    void setUserSettingsMode(uint8_t key);
    void setMovieMode(bool movie);
    void setBatteryLevel(uint8_t level);
    void setCaptureInhibited(bool inhibited);
    void setCameraState(uint32_t state);
    void pressShutter();
    bool insertCard(unsigned slot, uint64_t capacity, const std::vector<FileSpec>& files);
    bool removeCard(unsigned slot);
    uint32_t addFile(unsigned slot, const FileSpec& file);
    std::vector<ObjectSummary> objects();
    Bytes objectData(uint32_t handle) const;
    void failNext(uint16_t operation, uint16_t code, unsigned times);
    void failAlways(uint16_t operation, uint16_t code);
    void truncateData(uint16_t operation, uint32_t size, unsigned times);
    void clearFaults();
    void setLatency(std::chrono::microseconds latency);
    void setTimeScale(double scale);
    void setTetherTransferStyle(TetherTransferStyle style);
    std::vector<TransactionRecord> transactions() const;
    void clearTransactions();
    CameraSnapshot snapshot();

private:
    struct Slot {
        bool hasCard = false;
        bool recording = true;
        uint64_t capacity = 0;
    };
    struct StoredObject {
        uint32_t handle = 0;
        unsigned slot = 0;  ///< 1-based; 0 for tether objects
        uint32_t parent = 0;
        uint16_t format = 0;
        std::string name;
        SharedBytes data;  ///< null for folders
        SharedBytes thumbnail;
        uint32_t width = 0;
        uint32_t height = 0;
        std::string captureDate;
        bool writeProtected = false;
        bool isFolder() const { return format == 0x3001; }
        uint64_t size() const { return data ? data->size() : 0; }
    };
    struct TetherImage {
        uint8_t type = 0;  ///< 1 JPEG, 2 QRW, 3 DNG, 4 TIFF
        StoredObject object;
    };
    struct Instruction {
        uint8_t code = 0;
        uint32_t value = 0;
        size_t sourceOffset = 0;  ///< where the bytes of a data instruction start
    };
    struct TransferProgram {
        SharedBytes source;
        std::vector<Instruction> instructions;
        size_t next = 0;
        size_t dataPosition = 0;  ///< next byte of the current data instruction
        size_t dataLeft = 0;
    };
    struct Shot {
        Clock::time_point focusEnd;
        Clock::time_point exposureEnd;
        Clock::time_point writeEnd;
        bool openEnded = false;  ///< bulb: the exposure lasts until the button is released
        bool seenByHost = false;
    };
    struct Fault {
        uint16_t failCode = 0;
        unsigned failRemaining = 0;
        bool failForever = false;
        uint32_t truncateSize = 0;
        unsigned truncateRemaining = 0;
        bool truncateForever = false;
        bool empty() const {
            return failRemaining == 0 && !failForever && truncateRemaining == 0 && !truncateForever;
        }
    };

    // camera_model.cpp: dispatch, faults, log, condition, clock.
    Reply dispatch(const Operation& op, Clock::time_point now);
    /// The session rules' answer to `op`, 0 when it may run; with `useId`, an operation that
    /// runs inside the session uses up its transaction id.
    uint16_t sessionRefusal(const Operation& op, bool useId);
    void closeSessionLocked();
    /// Consumes an injected failure of this operation; true when `reply` was replaced.
    bool takeFailure(uint16_t code, Reply& reply);
    void takeTruncation(uint16_t code, Reply& reply);
    bool supports(uint16_t code) const { return supported_[code]; }
    void record(const Operation& op, const Reply& reply);
    void settle(Clock::time_point now);
    Clock::duration scaled(double seconds) const;
    int64_t cameraTime() const;
    Wire::ConditionFields conditionFields(Clock::time_point now) const;
    uint32_t statusFlags(Clock::time_point now) const;
    uint32_t slotFileFormatCode() const;
    bool slotActive(unsigned index) const;

    // model_storage.cpp: cards, objects and the standard object operations.
    /// Creates the files of a card; returns the handle of the last one (0 when none).
    uint32_t loadCard(unsigned slot, const std::vector<FileSpec>& files);
    std::string pathOf(const StoredObject& object) const;
    uint32_t storageIdOf(unsigned slot) const;
    /// 1-based slot addressed by a storage id (bit 0 may be clear), 0 when none.
    unsigned slotOf(uint32_t storageId) const;
    uint64_t usedBytes(unsigned slot) const;
    uint64_t freeBytes(unsigned slot) const;
    uint64_t estimatedShotSize() const;
    uint32_t folderFor(unsigned slot, const std::string& path);
    uint32_t createFile(unsigned slot, uint32_t parent, const std::string& name, uint16_t format,
                        SharedBytes data, SharedBytes thumbnail, uint32_t width, uint32_t height);
    const StoredObject* findObject(uint32_t handle) const;
    std::vector<TetherImage> makeShotFiles();
    void deliverShot();
    void deleteTree(uint32_t handle, bool& partial);
    Reply getDeviceInfo() const;
    Reply getStorageIds() const;
    Reply getStorageInfo(const Operation& op) const;
    Reply getNumObjects(const Operation& op) const;
    Reply getObjectHandles(const Operation& op) const;
    Reply getObjectInfo(const Operation& op) const;
    Reply getObject(const Operation& op) const;
    Reply getPartialObject(const Operation& op) const;
    Reply getThumb(const Operation& op) const;
    Reply deleteObject(const Operation& op);

    // model_properties.cpp: device properties.
    Reply getPropDesc(const Operation& op, Clock::time_point now) const;
    Reply getPropValue(const Operation& op, Clock::time_point now) const;
    Reply setPropValue(const Operation& op, Clock::time_point now);
    std::vector<uint32_t> offeredIsoValues() const;

    // model_vendor.cpp: vendor operations.
    Reply tetherMode(const Operation& op);
    Reply imageInfoRequest(const Operation& op);
    Reply storageWriting(const Operation& op);
    Reply liveViewFrame();
    Reply tetherTransferStart(const Operation& op);
    Reply tetherTransferNext();
    Reply tetherTransferData(const Operation& op);
    Reply tetherRelease();
    Reply condition(Clock::time_point now);
    Reply shutterPress(const Operation& op, Clock::time_point now);
    Reply shutterRelease(const Operation& op, Clock::time_point now);
    Reply focusMove(const Operation& op, Clock::time_point now);
    void startShot(Clock::time_point now, bool withFocus, bool openEnded);
    void finishMovie(Clock::time_point now);

    const CameraConfig config_;
    const std::string id_;
    const unsigned slotCount_;
    std::vector<bool> supported_;
    PictureFactory pictures_;

    std::atomic<bool> plugged_{true};
    std::atomic<uint64_t> generation_{1};
    std::mutex functionsMutex_;
    std::vector<std::weak_ptr<UsbFunction>> functions_;

    mutable std::mutex mutex_;
    // Connection.
    bool sessionOpen_ = false;
    uint32_t lastTransactionId_ = 0;
    std::chrono::microseconds cancelWindDown_{0};
    bool tetherMode_ = false;
    bool writeToCard_ = false;
    // Body.
    int32_t exposureMode_ = 5;
    uint16_t fNumber_ = 560;
    Exposure::ShutterSpeed shutter_{1, 125};
    uint32_t iso_ = 400;
    uint16_t whiteBalance_ = 0x0002;
    int16_t compensation_ = 0;
    uint8_t userSettingsMode_ = 0;
    bool movieMode_ = false;
    bool captureInhibited_ = false;
    uint32_t cameraState_ = 0;
    uint8_t battery_;
    Wire::ImageFormatFields imageFormat_;
    Clock::time_point settlingUntil_{};
    int64_t clockOffset_ = 0;
    // Focus and live view.
    bool liveView_ = false;
    size_t frameCounter_ = 0;
    int32_t focusPosition_ = 500;
    uint16_t focusPointX_;
    uint16_t focusPointY_;
    // Shooting.
    std::optional<Shot> shot_;
    bool recording_ = false;
    Clock::time_point recordingStart_{};
    unsigned fileNumber_ = 0;
    uint32_t newObjectHandle_ = 0;  ///< a movie file not yet acknowledged with 0x9003
    uint32_t lastSlotIndex_ = 0;
    // Storage.
    std::vector<Slot> slots_;
    std::map<uint32_t, StoredObject> objects_;
    uint32_t nextHandle_ = 1;
    std::deque<TetherImage> tether_;
    std::optional<TransferProgram> transfer_;
    TetherTransferStyle transferStyle_ = TetherTransferStyle::Sequential;
    // Test controls.
    std::map<uint16_t, Fault> faults_;
    std::chrono::microseconds latency_{0};
    double timeScale_;
    std::deque<TransactionRecord> log_;
};

}  // namespace Corvane::CameraController::Emulator
