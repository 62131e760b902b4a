// Handle of one storage (card slot) of the camera.
#pragma once

#include <cstdint>
#include <string>

#include "corvane/camera_controller/export.hpp"
#include "corvane/camera_controller/image_types.hpp"

namespace Corvane::CameraController {

class CameraImageList;

/// A card slot of the camera. The library refreshes the figures in the background; every getter
/// reads the current figure without blocking (getId takes a short lock) and never fails.
class CORVANE_API CameraStorage {
public:
    CameraStorage() = default;
    CameraStorage(const CameraStorage&) = default;
    CameraStorage& operator=(const CameraStorage&) = default;
    virtual ~CameraStorage() = default;

    /// The decimal text of the storage id (lowest bit cleared). The reference stays valid for
    /// the storage's lifetime.
    virtual const std::string& getId() const = 0;
    /// Whether a card is present.
    virtual bool isAvailable() const = 0;
    virtual StorageType getType() const = 0;
    virtual StoragePermission getPermission() const = 0;
    /// Capacity in bytes.
    virtual uint64_t getMaxCapacity() const = 0;
    virtual uint64_t getFreeSpaceInBytes() const = 0;
    /// How many more images the camera expects to fit.
    virtual uint32_t getFreeSpaceInImages() const = 0;
    /// Progress of the background listing of this storage's images.
    virtual ListingState getListingState() const = 0;
    /// The images found on this storage so far.
    virtual const CameraImageList& getImages() const = 0;
};

}  // namespace Corvane::CameraController
