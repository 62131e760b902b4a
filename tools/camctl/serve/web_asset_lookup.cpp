#include "serve/web_assets.hpp"

namespace camctl::serve {

const WebAsset* findWebAsset(const std::string& name) {
    for (const auto& asset : webAssets()) {
        if (name == asset.name) {
            return &asset;
        }
    }
    return nullptr;
}

std::string contentTypeOf(const std::string& name) {
    const auto dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (extension == "html") {
        return "text/html; charset=utf-8";
    }
    if (extension == "js") {
        return "text/javascript; charset=utf-8";
    }
    if (extension == "css") {
        return "text/css; charset=utf-8";
    }
    if (extension == "svg") {
        return "image/svg+xml";
    }
    if (extension == "png") {
        return "image/png";
    }
    return "application/octet-stream";
}

}  // namespace camctl::serve
