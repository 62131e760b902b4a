// A thread-safe sequence of storage handles.
#pragma once

#include <cstddef>
#include <memory>

#include "corvane/camera_controller/export.hpp"

namespace Corvane::CameraController {

class CameraStorage;

/// The storages of a camera. Each call is atomic with respect to the library's updates.
class CORVANE_API CameraStorageList {
public:
    CameraStorageList() = default;
    CameraStorageList(const CameraStorageList&) = default;
    CameraStorageList& operator=(const CameraStorageList&) = default;
    virtual ~CameraStorageList() = default;

    /// The storage at `index`. Throws std::out_of_range ("invalid vector<T> subscript") when
    /// `index` is not below size().
    virtual std::shared_ptr<const CameraStorage> get(size_t index) const = 0;
    virtual size_t size() const = 0;
};

}  // namespace Corvane::CameraController
