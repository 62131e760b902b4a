// Needs a POSIX directory API; on other systems the provider that uses it is not built.
#if __has_include(<dirent.h>)

#include "mtp/usb/usb_access_diagnostic.hpp"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <memory>

namespace Corvane::CameraController::Impl {
namespace {

struct DirClose {
    void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirClose>;

bool isNumber(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (!std::isdigit(static_cast<unsigned char>(*text))) {
            return false;
        }
    }
    return true;
}

std::string readLink(const std::string& path) {
    char target[256];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) {
        return {};
    }
    return std::string(target, static_cast<size_t>(length));
}

bool hasOpen(const std::string& processDir, const std::string& deviceNode) {
    const std::string fdDir = processDir + "/fd";
    Dir dir(opendir(fdDir.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = readdir(dir.get())) {
        if (isNumber(entry->d_name) && readLink(fdDir + "/" + entry->d_name) == deviceNode) {
            return true;
        }
    }
    return false;
}

std::string commandName(const std::string& processDir) {
    std::ifstream comm(processDir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string describe(const std::vector<DeviceHolder>& holders) {
    std::string text;
    for (const auto& holder : holders) {
        text += text.empty() ? "" : ", ";
        text += (holder.name.empty() ? std::string("process") : holder.name) + " (pid " +
                std::to_string(holder.pid) + ")";
    }
    return text;
}

}  // namespace

std::vector<DeviceHolder> findDeviceHolders(const std::string& procRoot,
                                            const std::string& deviceNode, int selfPid) {
    std::vector<DeviceHolder> holders;
    Dir dir(opendir(procRoot.c_str()));
    if (!dir) {
        return holders;
    }
    while (const dirent* entry = readdir(dir.get())) {
        if (!isNumber(entry->d_name)) {
            continue;
        }
        const int pid = std::atoi(entry->d_name);
        const std::string processDir = procRoot + "/" + entry->d_name;
        if (pid != selfPid && hasOpen(processDir, deviceNode)) {
            holders.push_back({pid, commandName(processDir)});
        }
    }
    return holders;
}

std::string cameraBusyMessage(const std::string& deviceNode,
                              const std::vector<DeviceHolder>& holders) {
    std::string line = "[error][usb] The camera at " + deviceNode + " is in use by ";
    if (holders.empty()) {
#ifdef __APPLE__
        line += "another program (usually the system's image capture service, ptpcamerad)";
#else
        line += "another program";
#endif
        return line + ". Quit it, then detect the camera again.";
    }
    line += describe(holders);
    return line + ". Quit it (or end it with: kill " + std::to_string(holders.front().pid) +
           "), then detect the camera again. Desktop photo-import services claim cameras on "
           "every plug-in; see docs/linux-usb.md to stop them.";
}

std::string cameraAccessDeniedMessage(const std::string& deviceNode) {
    return "[error][usb] No permission to open the camera at " + deviceNode +
           ". Install udev/60-corvane-camera.rules, add your user to the plugdev group and "
           "plug the camera in again; see docs/linux-usb.md.";
}

}  // namespace Corvane::CameraController::Impl

#endif
