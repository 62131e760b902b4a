// A thread-safe sequence of image handles.
#pragma once

#include <cstddef>
#include <memory>

#include "corvane/camera_controller/export.hpp"

namespace Corvane::CameraController {

class CameraImage;

/// A list of images that the library updates in the background while the application reads it.
/// Each call is atomic with respect to those updates, but the list may change between two
/// calls: take clone() for a stable view.
class CORVANE_API CameraImageList {
public:
    CameraImageList() = default;
    CameraImageList(const CameraImageList&) = default;
    CameraImageList& operator=(const CameraImageList&) = default;
    virtual ~CameraImageList() = default;

    /// The image at `index`. Throws std::out_of_range ("invalid deque<T> subscript") when
    /// `index` is not below size().
    virtual std::shared_ptr<const CameraImage> get(size_t index) const = 0;
    virtual size_t size() const = 0;
    /// A snapshot: a new list holding the same image objects, unaffected by later changes.
    virtual std::unique_ptr<CameraImageList> clone() const = 0;
};

}  // namespace Corvane::CameraController
