// Configuration of an emulated Quorin camera: what the body is, what its cards hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::CameraController::Emulator {

/// A file that is already on a card when the camera starts or the card is inserted.
struct FileSpec {
    /// Path on the card with '/' separators, e.g. "DCIM/100QUORN/QRN_0001.JPG". Folders on the
    /// way are created as association objects. The extension picks the object format
    /// (.JPG, .QRW, .DNG, .TIF, .MOV, .MP4; anything else is an undefined object).
    std::string path;
    /// Size in bytes. JPEG files are real pictures padded to this size when it is larger
    /// than the picture; 0 keeps the picture's natural size (other formats get 1 MiB). Other
    /// files of 256 MiB and more are generated on the fly as they are read, never held in
    /// memory, so a card may hold files of 4 GiB and more.
    uint64_t size = 0;
    bool writeProtected = false;
    /// The camera's ObjectInfo gives 0 as the file's size although the file has its bytes (as
    /// cameras do for files they cannot size in 32 bits or have not finished writing).
    bool sizeAnnouncedAsZero = false;
};

/// One card slot of the body.
struct CardSlotConfig {
    bool cardInserted = true;
    uint64_t capacity = 64ull << 30;
    std::vector<FileSpec> files;
    /// False when the body is set not to record to this slot (the condition then reports it
    /// inactive even with a card in it).
    bool recording = true;
};

/// Everything the camera is before it is switched on. Defaults describe a "QUORIN Alto II"
/// with a card in slot 1 and an empty slot 2.
/// The PTP session rules the camera enforces, each on by default as on a real camera. A test
/// that needs a forgiving camera turns off only the rule it must.
struct SessionRules {
    /// Operations other than GetDeviceInfo and OpenSession need an open session (0x2003).
    bool requireSession = true;
    /// Inside a session every transaction id follows the previous one (0x2004 otherwise).
    bool checkTransactionIds = true;
    /// A data phase the camera refuses from the command alone (a read-only property, no
    /// session) is stalled, with the reason in GET_DEVICE_STATUS, instead of being taken
    /// and answered.
    bool stallRefusedData = true;
};

struct CameraConfig {
    std::string manufacturer = "QUORIN";
    std::string model = "QUORIN Alto II";
    std::string firmwareVersion = "1.50";
    std::string serialNumber = "3000001";
    /// Operations the camera lists in its DeviceInfo and answers; others get 0x2005.
    std::vector<uint16_t> operations = allOperations();
    /// Card slots; empty means the model's own number of slots (2 for the two-slot bodies,
    /// 1 otherwise) with a card only in slot 1.
    std::vector<CardSlotConfig> slots;
    uint8_t batteryLevel = 80;
    /// Multiplies the camera's own delays (focusing, exposure, writing); 0.01 makes a shot
    /// take milliseconds. Transport latency is separate (EmulatedCamera::setLatency).
    double timeScale = 1.0;
    uint16_t liveViewWidth = 640;
    uint16_t liveViewHeight = 480;
    /// Size of the synthetic raw files a capture writes.
    uint64_t rawFileSize = 20ull << 20;
    /// The body only records raw and JPEG together (image format dataset byte 9 = 3).
    bool rawAndJpegOnly = false;
    /// Largest piece the camera hands out per tether data request (0x900D).
    uint32_t tetherChunkSize = 1u << 20;
    /// Identity used as the device key; empty gives a process-unique "emulator-N".
    std::string id;
    SessionRules sessionRules;

    /// Every operation the emulator implements.
    static std::vector<uint16_t> allOperations();
    /// `allOperations()` minus the given codes.
    static std::vector<uint16_t> operationsWithout(const std::vector<uint16_t>& codes);
    /// Number of card slots of a model name (2 or 1; 1 for unknown models).
    static unsigned slotCountOf(const std::string& model);
};

}  // namespace Corvane::CameraController::Emulator
