// Telling the user why a camera that is plugged in cannot be opened.
#pragma once

#include <string>
#include <vector>

namespace Corvane::CameraController::Impl {

struct DeviceHolder {
    int pid = 0;
    std::string name;  ///< the process's command name, empty when unreadable
};

/// Processes other than `selfPid` that have `deviceNode` open, found by reading the fd links
/// under `procRoot` (normally "/proc"). Processes whose descriptors cannot be read (other
/// users' when not root) are skipped. Empty on systems without such a tree. Blocks for a scan
/// of the process table: call only on the failure path.
std::vector<DeviceHolder> findDeviceHolders(const std::string& procRoot,
                                            const std::string& deviceNode, int selfPid);

/// The line for a camera claimed by another process, naming the holders when known.
std::string cameraBusyMessage(const std::string& deviceNode,
                              const std::vector<DeviceHolder>& holders);

/// The line for a camera this user may not open.
std::string cameraAccessDeniedMessage(const std::string& deviceNode);

}  // namespace Corvane::CameraController::Impl
