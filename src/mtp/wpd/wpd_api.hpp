// The thin layer between the WPD binding's logic and Windows Portable Devices. Everything that
// decides what happens (retries, the order of commands, what counts as failure) lives above
// this interface, so it can run against a fake; the COM implementation only makes the calls.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::CameraController::Impl {

/// An HRESULT. Negative values are failures.
using WpdStatus = int32_t;

inline constexpr WpdStatus kWpdOk = 0;
inline constexpr WpdStatus kWpdFail = static_cast<WpdStatus>(0x80004005u);
inline constexpr WpdStatus kWpdAccessDenied = static_cast<WpdStatus>(0x80070005u);
inline constexpr WpdStatus kWpdOutOfMemory = static_cast<WpdStatus>(0x8007000Eu);
inline constexpr WpdStatus kWpdComNotInitialized = static_cast<WpdStatus>(0x800401F0u);

inline bool wpdFailed(WpdStatus status) {
    return status < 0;
}

/// GENERIC_READ, asked for when a device refuses the default access.
inline constexpr uint32_t kWpdGenericRead = 0x80000000u;

/// The client information that goes with every Open.
struct WpdClientInfo {
    std::wstring name = L"WPD SDK Application";
    uint32_t majorVersion = 1;
    uint32_t minorVersion = 0;
    uint32_t revision = 0;
    uint32_t securityQualityOfService = 0x20000;  // SECURITY_IMPERSONATION
    std::optional<uint32_t> desiredAccess;        // left to WPD unless set
};

/// The WPD MTP-extension commands the binding sends (all in the vendor-operations category).
enum class WpdCommand {
    ExecuteWithoutDataPhase,
    ExecuteWithDataToRead,
    ExecuteWithDataToWrite,
    ReadData,
    WriteData,
    EndDataTransfer,
};

/// Borrowed bytes for a buffer value; WPD copies them when the command is built.
struct WpdBytes {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

/// The parameter bag of one command. Fields left empty are not put into the bag.
struct WpdCommandParameters {
    WpdCommand command = WpdCommand::ExecuteWithoutDataPhase;
    std::optional<uint32_t> operationCode;
    /// Operation parameters, each sent as an unsigned 32-bit value in this order.
    std::optional<std::vector<uint32_t>> operationParameters;
    std::optional<std::wstring> transferContext;
    /// Sent as an unsigned 64-bit value.
    std::optional<uint64_t> transferTotalDataSize;
    std::optional<uint32_t> numBytesToRead;
    std::optional<uint32_t> numBytesToWrite;
    std::optional<WpdBytes> transferData;
};

/// Values a command's results may carry.
enum class WpdResultKey {
    Hresult,                  // WPD_PROPERTY_COMMON_HRESULT, an error value
    ResponseCode,             // WPD_PROPERTY_MTP_EXT_RESPONSE_CODE
    ResponseParameters,       // WPD_PROPERTY_MTP_EXT_RESPONSE_PARAMS, a collection
    TransferContext,          // WPD_PROPERTY_MTP_EXT_TRANSFER_CONTEXT, a string
    TransferTotalDataSize,    // WPD_PROPERTY_MTP_EXT_TRANSFER_TOTAL_DATA_SIZE
    TransferData,             // WPD_PROPERTY_MTP_EXT_TRANSFER_DATA, a buffer
    TransferNumBytesWritten,  // WPD_PROPERTY_MTP_EXT_TRANSFER_NUM_BYTES_WRITTEN
};

/// Bytes handed out by the platform, released with the platform's own allocator.
struct WpdBuffer {
    std::unique_ptr<uint8_t, void (*)(void*)> data{nullptr, &std::free};
    uint32_t size = 0;
};

/// A collection of unsigned values inside a result. Entries are read one at a time because
/// each read may fail on its own.
class WpdUnsignedList {
public:
    virtual ~WpdUnsignedList() = default;
    virtual WpdStatus getCount(uint32_t& count) const = 0;
    /// The entry as an unsigned 32-bit value; fails when it has another type.
    virtual WpdStatus getAt(uint32_t index, uint32_t& value) const = 0;
};

/// The results of one SendCommand. Each getter reads one value and may fail on its own; none
/// blocks or touches the device.
class WpdResults {
public:
    virtual ~WpdResults() = default;
    virtual WpdStatus getError(WpdResultKey key, WpdStatus& value) const = 0;
    virtual WpdStatus getUnsigned(WpdResultKey key, uint32_t& value) const = 0;
    virtual WpdStatus getString(WpdResultKey key, std::wstring& value) const = 0;
    virtual WpdStatus getBuffer(WpdResultKey key, WpdBuffer& value) const = 0;
    virtual WpdStatus getUnsignedList(WpdResultKey key,
                                      std::unique_ptr<WpdUnsignedList>& value) const = 0;
};

/// One identity property: the status of its read and the text when it read.
struct WpdStringValue {
    WpdStatus status = kWpdFail;
    std::wstring value;
};

struct WpdIdentity {
    WpdStringValue manufacturer;
    WpdStringValue model;
    WpdStringValue firmwareVersion;
    WpdStringValue serialNumber;
};

/// One WPD device object (IPortableDevice). Made by WpdApi::createConnection() for one
/// transaction (MtpDeviceWin::execute, with that device's mutex held) or for one opening
/// (openWpdDevice, during enumeration, no lock held), used by that thread only and destroyed
/// before the call returns; destroying it releases the object and with it any connection it
/// still has. It takes no lock of its own.
class WpdConnection {
public:
    virtual ~WpdConnection() = default;

    /// IPortableDevice::Open. `clientInfo` goes along as an IPortableDeviceValues; when that
    /// cannot be built, Open gets none. Blocks while the driver opens the device. Returns Open's
    /// status; E_ACCESSDENIED comes back as kWpdAccessDenied.
    virtual WpdStatus open(const std::wstring& pnpDeviceId, const WpdClientInfo& clientInfo) = 0;

    /// Reads manufacturer, model, firmware version and serial number of the "DEVICE" object
    /// with one GetValues. Fails when the content, properties, key collection or GetValues
    /// fail; otherwise each value carries the status of its own GetStringValue.
    virtual WpdStatus readIdentity(WpdIdentity& identity) = 0;

    /// SendCommand with flags 0. Builds the bag from `parameters` (a failure to build it is
    /// returned as the command's failure) and, on success, hands the results over. Blocks for
    /// as long as the driver takes.
    virtual WpdStatus sendCommand(const WpdCommandParameters& parameters,
                                  std::unique_ptr<WpdResults>& results) = 0;

    /// IPortableDevice::Close.
    virtual void close() = 0;
};

/// Entry to Windows Portable Devices. Shared by the provider and every MtpDeviceWin it made;
/// any thread may call it at any time, with or without a device's mutex held. It keeps no
/// state between calls beyond what COM keeps per thread.
class WpdApi {
public:
    virtual ~WpdApi() = default;

    /// CoInitializeEx(nullptr, COINIT_MULTITHREADED) on the calling thread. Called once by the
    /// provider's first listing and again on any thread where COM turns out to be missing.
    /// Does not block; returns CoInitializeEx's status.
    virtual WpdStatus initializeCom() = 0;

    /// Appends the PnP ids of every WPD device attached now, in WPD's order (device manager,
    /// GetDevices twice). Called by enumeration, by openWpdDevice and by every presence check
    /// (MtpDeviceWin::isConnected), never under a device's mutex. Fails with
    /// kWpdComNotInitialized when the manager cannot be created on a thread without COM;
    /// success with no ids when nothing is attached. May block briefly while WPD answers.
    virtual WpdStatus listDeviceIds(std::vector<std::wstring>& pnpDeviceIds) = 0;

    /// Creates a WPD device object (CLSID_PortableDeviceFTM, in-process), not yet opened.
    /// Fails with kWpdComNotInitialized on a thread without COM. Does not block.
    virtual WpdStatus createConnection(std::unique_ptr<WpdConnection>& connection) = 0;
};

}  // namespace Corvane::CameraController::Impl
