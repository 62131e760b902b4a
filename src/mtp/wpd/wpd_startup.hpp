// The two WPD entry points that need COM on the calling thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mtp/wpd/wpd_api.hpp"

namespace Corvane::CameraController::Impl {

// Library calls arrive on threads the library did not start (the application's, std::async
// workers), so COM may be missing on any of them. Both helpers start COM (multithreaded
// apartment) on such a thread and try once more, rather than failing that first call.

WpdStatus createWpdConnection(WpdApi& api, std::unique_ptr<WpdConnection>& connection);
WpdStatus listWpdDeviceIds(WpdApi& api, std::vector<std::wstring>& pnpDeviceIds);

}  // namespace Corvane::CameraController::Impl
