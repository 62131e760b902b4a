// The library's image list: a deque of image handles guarded by its own mutex.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "corvane/camera_controller/camera_image_list.hpp"

namespace Corvane::CameraController::Impl {

/// Every operation takes the list's mutex for its own span only; no callback runs under it
/// except the predicate of removeIf, which must not touch the list.
class CameraImageListImpl : public CameraImageList {
public:
    CameraImageListImpl() = default;
    /// Copies the other list's sequence (the same image objects); the mutex is a new one.
    CameraImageListImpl(const CameraImageListImpl& other);
    CameraImageListImpl& operator=(const CameraImageListImpl& other);
    ~CameraImageListImpl() override = default;

    std::shared_ptr<const CameraImage> get(size_t index) const override;
    size_t size() const override;
    std::unique_ptr<CameraImageList> clone() const override;

    /// Appends `image` (a null pointer is ignored).
    void add(const std::shared_ptr<CameraImage>& image);
    /// Appends `image` unless an image with the same id is listed already; returns whether it
    /// was appended. The check and the append are one step, so two threads that find the same
    /// object never list it twice.
    bool addIfAbsent(const std::shared_ptr<CameraImage>& image);
    /// Removes every entry that is `image` itself; returns whether one was found.
    bool remove(const std::shared_ptr<const CameraImage>& image);
    /// Removes every entry for which `predicate` holds and returns them in list order.
    std::vector<std::shared_ptr<CameraImage>> removeIf(
        const std::function<bool(const CameraImage&)>& predicate);
    /// The first image whose getId() equals `id`, or null.
    std::shared_ptr<CameraImage> findById(const std::string& id) const;
    /// Whether the list holds `image` itself.
    bool contains(const std::shared_ptr<const CameraImage>& image) const;
    /// A copy of the current sequence, for iterating without holding the lock.
    std::vector<std::shared_ptr<CameraImage>> snapshot() const;
    void clear();

private:
    /// Require mutex. Keep idCounts in step with images.
    void countIn(const CameraImage& image);
    void countOut(const CameraImage& image);
    void recount();

    mutable std::mutex mutex;
    std::deque<std::shared_ptr<CameraImage>> images;
    /// How many entries carry each id: a listing asks about every object it finds, and a
    /// scan of the whole list for each made listing a card quadratic in its size.
    std::unordered_map<std::string, size_t> idCounts;
};

}  // namespace Corvane::CameraController::Impl
