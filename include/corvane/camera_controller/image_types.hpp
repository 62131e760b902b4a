// Enumerations describing images, storages, listings and captures.
#pragma once

#include <cstdint>

namespace Corvane::CameraController {

/// Broad kind of an image file, derived from its ImageFormat.
enum class ImageType : uint32_t {
    Unknown = 0,
    StillImage = 1,  ///< JPEG, TIFF, DPOF, QRW, DNG
    Movie = 2,       ///< MP4, MOV, AVI
};

/// File format of an image on the camera.
enum class ImageFormat : uint32_t {
    Unknown = 0,
    JPEG = 1,
    TIFF = 2,
    DPOF = 3,
    QRW = 4,
    DNG = 5,
    MP4 = 6,
    MOV = 7,
    AVI = 8,
};

/// Kind of storage; Unknown while no card is present.
enum class StorageType : uint32_t {
    Unknown = 0,
    FixedROM = 1,
    RemovableROM = 2,
    FixedRAM = 3,
    RemovableRAM = 4,
};

/// Access to a storage; Unknown while no card is present.
enum class StoragePermission : uint32_t {
    Unknown = 0,
    ReadWrite = 1,
    ReadOnly = 2,
    ReadOnlyWithDeletion = 3,
};

/// Progress of the background image listing of one storage.
enum class ListingState : uint32_t {
    Idle = 0,      ///< never listed
    Running = 1,   ///< the listing is working
    Paused = 2,    ///< the listing waits for a capture start to pass
    Complete = 3,  ///< every object was examined
    Stopped = 4,   ///< the listing ended early: stopped, card removed, or no objects
    Failed = 5,    ///< the camera's answers ended the listing; the image list may be partial
};

/// State of a capture.
enum class CaptureState : uint32_t {
    Unknown = 0,    ///< ended without its files being confirmed
    Executing = 1,  ///< started; files still expected
    Complete = 2,   ///< every expected file has arrived
};

}  // namespace Corvane::CameraController
