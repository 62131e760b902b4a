// The agent's HTTP face: the files of its shots, served from its disk.
#pragma once

#include <filesystem>

namespace httplib {
class Server;
}

namespace camctl::rig {

/// GET /api/rig/files/SHOT/NAME answers the file NAME of shot folder SHOT under `root`,
/// streamed from disk; names that could leave `root` or reach a staging folder are 404.
void addShotFileRoutes(httplib::Server& server, const std::filesystem::path& root);

/// True for a shot or file name an agent serves: letters, digits, '-', '_', '.', not starting
/// with '.', at most 200 characters.
bool isServableName(const std::string& name);

}  // namespace camctl::rig
