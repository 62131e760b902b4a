// Pictures that reach the server through the camera's transfer buffer (no card, or saving to
// the host). The camera releases each one as soon as it is announced, so the server takes its
// bytes at once and keeps them in memory, the oldest going first beyond a bound.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <corvane/camera_controller.hpp>
#include <nlohmann/json.hpp>

namespace camctl::serve {

namespace cc = Corvane::CameraController;

struct TetherPicture {
    std::string id;  ///< "t1", "t2"...: never one of the camera's object handles
    std::string name;
    nlohmann::json json;  ///< the image's API form
    std::shared_ptr<const std::string> data;
    std::shared_ptr<const std::string> thumbnail;  ///< null when the camera gave none
};

class TetherGallery : public cc::CameraEventListener {
public:
    static constexpr size_t maxPictures = 200;
    static constexpr uint64_t maxBytes = 512ull * 1024 * 1024;

    /// `publish(name, data)` announces a kept picture ("imageAdded") or a lost one
    /// ("imageFailed") to the pages.
    explicit TetherGallery(std::function<void(const std::string&, const nlohmann::json&)> publish);

    /// Oldest first.
    std::vector<TetherPicture> pictures() const;
    std::optional<TetherPicture> find(const std::string& id) const;
    bool remove(const std::string& id);

    /// Takes the picture's bytes and thumbnail out of the transfer buffer (they are gone once
    /// this returns), on the library's event thread.
    void imageAdded(const std::shared_ptr<const cc::CameraDevice>& device,
                    const std::shared_ptr<const cc::CameraImage>& image) override;

private:
    void keep(TetherPicture picture);

    const std::function<void(const std::string&, const nlohmann::json&)> publish;
    mutable std::mutex mutex;
    std::deque<TetherPicture> kept;  ///< oldest first
    uint64_t keptBytes = 0;
    uint64_t counter = 0;
};

/// True for an id that names a tether picture rather than a file on a card.
bool isTetherId(const std::string& id);

}  // namespace camctl::serve
