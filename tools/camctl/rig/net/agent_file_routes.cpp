#include "rig/net/agent_file_routes.hpp"

#include <fstream>
#include <memory>

#include <httplib.h>

#include "serve/api_json.hpp"

namespace camctl::rig {

namespace fs = std::filesystem;

bool isServableName(const std::string& name) {
    return !name.empty() && name.size() <= 200 && name.front() != '.' &&
           name.find_first_not_of(
               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
               "0123456789-_.") == std::string::npos;
}

void addShotFileRoutes(httplib::Server& server, const fs::path& root) {
    server.Get(R"(/api/rig/files/([^/]+)/([^/]+))", [root](const httplib::Request& request,
                                                           httplib::Response& response) {
        const std::string shot = request.matches[1];
        const std::string name = request.matches[2];
        const fs::path path = root / shot / name;
        std::error_code error;
        if (!isServableName(shot) || !isServableName(name) || !fs::is_regular_file(path, error)) {
            serve::setError(response, 404, "NotFound", "no such file");
            return;
        }
        auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
        const auto size = fs::file_size(path, error);
        if (!*file || error) {
            serve::setError(response, 500, "LocalFileError", "cannot read the file");
            return;
        }
        // Streamed: raw files may be far larger than memory should hold.
        response.set_content_provider(
            static_cast<size_t>(size), "application/octet-stream",
            [file](size_t offset, size_t length, httplib::DataSink& sink) {
                char buffer[64 * 1024];
                file->seekg(static_cast<std::streamoff>(offset));
                const auto wanted = static_cast<std::streamsize>(std::min(length, sizeof buffer));
                file->read(buffer, wanted);
                const std::streamsize got = file->gcount();
                return got > 0 && sink.write(buffer, static_cast<size_t>(got));
            });
    });
}

}  // namespace camctl::rig
