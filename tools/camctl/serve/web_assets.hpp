// The page's files, compiled into the program so that it serves the page wherever it runs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace camctl::serve {

struct WebAsset {
    const char* name;  ///< file name in the web folder, e.g. "index.html"
    const unsigned char* data;
    size_t size;
};

const std::vector<WebAsset>& webAssets();

/// The asset named `name`, or nullptr.
const WebAsset* findWebAsset(const std::string& name);

/// "text/html; charset=utf-8" and the like, from the file's extension.
std::string contentTypeOf(const std::string& name);

}  // namespace camctl::serve
