#include "serve/tether_gallery.hpp"

#include <algorithm>
#include <sstream>

#include "serve/api_json.hpp"

namespace camctl::serve {

namespace {

std::string failureText(const cc::Response& response) {
    const auto& errors = response.getErrors();
    return errors.empty() || errors[0]->getMessage().empty() ? "transfer failed"
                                                             : errors[0]->getMessage();
}

}  // namespace

TetherGallery::TetherGallery(std::function<void(const std::string&, const nlohmann::json&)> publish)
    : publish(std::move(publish)) {}

void TetherGallery::imageAdded(const std::shared_ptr<const cc::CameraDevice>&,
                               const std::shared_ptr<const cc::CameraImage>& image) {
    if (image && image->getStorage()) {
        return;  // a new file on a card (movie mode); the card listing has it
    }
    if (!image) {
        publish("imageFailed", {{"message", "a picture in the camera's buffer could not be read"}});
        return;
    }
    // A seekable stream: the camera may send the picture's parts out of order.
    std::stringstream data;
    const cc::Response fetched = image->getData(data);
    if (fetched.getResult() != cc::Result::Ok) {
        publish("imageFailed", {{"name", image->getName()},
                                {"message", "download failed: " + failureText(fetched)}});
        return;
    }
    TetherPicture picture;
    picture.name = image->getName();
    picture.data = std::make_shared<const std::string>(data.str());
    if (picture.data->size() > maxBytes) {
        publish("imageFailed", {{"name", picture.name}, {"message", "too large to keep"}});
        return;
    }
    std::stringstream thumbnail;
    if (image->hasThumbnail() && image->getThumbnail(thumbnail).getResult() == cc::Result::Ok &&
        thumbnail.tellp() > 0) {
        picture.thumbnail = std::make_shared<const std::string>(thumbnail.str());
    }
    picture.json = imageJsonOf(*image);
    picture.json["size"] = picture.data->size();
    picture.json["thumbnail"] = picture.thumbnail != nullptr;
    picture.json["tether"] = true;
    keep(std::move(picture));
}

void TetherGallery::keep(TetherPicture picture) {
    nlohmann::json announced;
    {
        std::lock_guard<std::mutex> lock(mutex);
        picture.id = "t" + std::to_string(++counter);
        picture.json["id"] = picture.id;
        keptBytes += picture.data->size();
        announced = picture.json;
        kept.push_back(std::move(picture));
        while (kept.size() > maxPictures || keptBytes > maxBytes) {
            keptBytes -= kept.front().data->size();
            kept.pop_front();
        }
    }
    publish("imageAdded", {{"image", announced}});
}

std::vector<TetherPicture> TetherGallery::pictures() const {
    std::lock_guard<std::mutex> lock(mutex);
    return {kept.begin(), kept.end()};
}

std::optional<TetherPicture> TetherGallery::find(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& picture : kept) {
        if (picture.id == id) {
            return picture;
        }
    }
    return std::nullopt;
}

bool TetherGallery::remove(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = std::find_if(kept.begin(), kept.end(),
                                    [&](const TetherPicture& picture) { return picture.id == id; });
    if (found == kept.end()) {
        return false;
    }
    keptBytes -= found->data->size();
    kept.erase(found);
    return true;
}

bool isTetherId(const std::string& id) {
    return !id.empty() && id[0] == 't';
}

}  // namespace camctl::serve
