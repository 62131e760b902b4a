// Wide strings from WPD to the multibyte strings the rest of the library uses.
#pragma once

#include <cstddef>
#include <string>

namespace Corvane::CameraController::Impl {

/// PnP ids are kept to this many bytes after conversion; ids that agree up to here are one
/// device.
inline constexpr std::size_t kWpdPnpIdLimit = 512;

/// Converts with the C library's current locale. A character the locale cannot express
/// becomes '?', so one odd character does not cost the whole string.
std::string wpdToMultibyte(const std::wstring& text);

/// The identity of a device inside the transport: its PnP id converted and cut to
/// kWpdPnpIdLimit bytes. Every comparison of PnP ids goes through this.
std::string wpdDeviceKey(const std::wstring& pnpDeviceId);

}  // namespace Corvane::CameraController::Impl
