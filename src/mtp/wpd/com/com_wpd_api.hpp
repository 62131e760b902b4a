// WpdApi over the Windows Portable Devices COM interfaces.
#pragma once

#include <memory>

#include "mtp/wpd/wpd_api.hpp"

namespace Corvane::CameraController::Impl {

/// Stateless; COM objects are created per call and released before it returns, except a
/// connection's device object, which lives as long as the WpdConnection.
std::shared_ptr<WpdApi> makeComWpdApi();

}  // namespace Corvane::CameraController::Impl
