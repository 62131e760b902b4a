// The abstract MTP (PTP) transport through which every camera transaction runs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Corvane::CameraController::Impl {

/// Direction of a transaction's data phase.
enum class MtpDataPhase : uint32_t {
    None = 0,
    Read = 1,   ///< device to host
    Write = 2,  ///< host to device (any value other than None and Read means Write)
};

/// One request, built by the caller and read-only to the transport.
struct MtpRequest {
    uint16_t operationCode = 0;
    /// Only the first five are sent; on the wire at least one word goes out (0 when empty).
    std::vector<uint32_t> parameters;
    MtpDataPhase dataPhase = MtpDataPhase::None;
    /// Outgoing bytes for Write; borrowed for the call, not owned.
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
};

/// Owning byte buffer released with the C allocator's free(). Moving hands it over.
using MtpBuffer = std::unique_ptr<uint8_t, decltype(&std::free)>;

/// The answer to one request, owned by the caller.
struct MtpResponse {
    /// The camera's response code; 0 when the transport obtained none.
    uint16_t responseCode = 0;
    /// At most five; filled only when responseCode is 0x2001.
    std::vector<uint32_t> parameters;
    /// Bytes of a Read data phase (null when none). Also delivered with a failure code.
    MtpBuffer data{nullptr, &std::free};
    uint32_t dataSize = 0;
};

/// Decoded StorageInfo dataset.
struct MtpStorageInfo {
    uint32_t storageId = 0;
    uint16_t storageType = 0;
    uint16_t filesystemType = 0;
    uint16_t accessCapability = 0;
    uint64_t maxCapacity = 0;
    uint64_t freeSpaceInBytes = 0;
    uint32_t freeSpaceInImages = 0;
    std::string storageDescription;
    std::string volumeLabel;
};

/// Decoded ObjectInfo dataset. Dates are seconds since 1970 read as local time, 0 when empty.
struct MtpObjectInfo {
    uint32_t objectHandle = 0;
    uint32_t storageId = 0;
    uint16_t objectFormat = 0;
    uint16_t protectionStatus = 0;
    uint32_t objectCompressedSize = 0;
    uint16_t thumbFormat = 0;
    uint32_t thumbCompressedSize = 0;
    uint32_t thumbPixWidth = 0;
    uint32_t thumbPixHeight = 0;
    uint32_t imagePixWidth = 0;
    uint32_t imagePixHeight = 0;
    uint32_t imageBitDepth = 0;
    uint32_t parentObject = 0;
    uint16_t associationType = 0;
    uint32_t associationDesc = 0;
    uint32_t sequenceNumber = 0;
    std::string filename;
    int64_t captureDate = 0;
    int64_t modificationDate = 0;
    std::string keywords;
};

/// Marks the calling thread's transactions as background work (a storage listing) while it
/// lives: on a binding that supports it, each execute() of this thread first lets every
/// transaction that another thread is already waiting to run go ahead, so an application's
/// call waits for at most the one background transaction in flight. When nobody waits it
/// costs nothing. Scopes nest; the mark is per thread.
class BackgroundTransactions {
public:
    BackgroundTransactions();
    ~BackgroundTransactions();
    BackgroundTransactions(const BackgroundTransactions&) = delete;
    BackgroundTransactions& operator=(const BackgroundTransactions&) = delete;

    /// True on a thread inside such a scope.
    static bool active();

private:
    const bool outer_;
};

/// An MTP device as the library sees it. Bindings (libusb, WPD, the emulator's in-memory pipe)
/// implement open/close/isConnected, the identity getters and execute(); the dataset
/// operations are built here on execute().
///
/// Threads: any thread may call any operation. A binding serialises execute() per device,
/// data phase included; transactions on different devices may run in parallel. A binding
/// may give waiting transactions precedence over those of a BackgroundTransactions thread.
class MtpDevice {
public:
    MtpDevice() = default;
    MtpDevice(const MtpDevice&) = delete;
    MtpDevice& operator=(const MtpDevice&) = delete;
    virtual ~MtpDevice() = default;

    /// True when the device can take transactions. Devices from getDevices() are already open
    /// with their session started.
    virtual bool open() = 0;
    /// Ends the library's use of the device. A binding that gives the device back to the
    /// system (so that other programs can use it) ends its session first.
    virtual bool close() = 0;
    /// True while the device is still attached. Must not block for long (no transaction).
    virtual bool isConnected() = 0;

    /// Identity strings, fixed when the device was opened; empty when not delivered.
    virtual std::string getManufacturer() = 0;
    virtual std::string getModel() = 0;
    virtual std::string getFirmwareVersion() = 0;
    virtual std::string getSerialNumber() = 0;

    /// Copy of the OperationsSupported list cached by loadDeviceInfo(); empty before it.
    virtual std::vector<uint16_t> getSupportedOperations();
    /// GetDeviceInfo (0x1001); caches OperationsSupported. False on any failure.
    virtual bool loadDeviceInfo();
    /// GetStorageIDs (0x1004); empty on failure.
    virtual std::vector<uint32_t> getStorageIds();
    /// GetStorageInfo (0x1005); null on failure.
    virtual std::unique_ptr<MtpStorageInfo> getStorageInfo(uint32_t storageId);
    /// GetObjectHandles (0x1007) with [storageId, objectFormat, 0]. Empties `handles` first;
    /// true when the camera answered OK with data (also for an empty array).
    virtual bool getObjectHandles(uint32_t storageId, uint16_t objectFormat,
                                  std::vector<uint32_t>& handles);
    /// GetObjectInfo (0x1008); null on failure.
    virtual std::unique_ptr<MtpObjectInfo> getObjectInfo(uint32_t objectHandle);

    /// Runs one whole transaction. Never throws for a camera or platform failure: a
    /// transaction that obtained no response code returns responseCode 0, no parameters and
    /// no data. May block for as long as the transfer takes (bounded by the binding's
    /// timeouts); returns at once with code 0 when the device is gone.
    virtual MtpResponse execute(const MtpRequest& request) = 0;

    /// Counts the MTP sessions the binding has opened on the camera. It changes when the
    /// binding had to open a new one by itself (after a device reset), so a caller that set
    /// up session state (tether mode, storage writing) learns that it must do so again. Does
    /// not block; 0 for bindings that do not track sessions.
    virtual uint64_t sessionNumber() { return 0; }

private:
    std::mutex supportedOperationsMutex_;
    std::vector<uint16_t> supportedOperations_;
};

}  // namespace Corvane::CameraController::Impl
