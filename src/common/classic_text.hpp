// Texts the library builds from numbers read the same under every locale the application sets.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace Corvane::CameraController::Impl {

/// An output string stream in the classic "C" locale: no digit grouping and a '.' decimal
/// point whatever the application's global C++ locale or C LC_NUMERIC is. Every text the
/// library builds with a stream starts from this one.
std::ostringstream classicTextStream();

/// `value` in lower-case hexadecimal, without prefix or leading zeros ("2019", "5007").
std::string lowerHex(uint64_t value);

/// `value` as C's "%f" prints it in the "C" locale: six decimals, '.' as the point.
std::string fixedSixDecimals(double value);

}  // namespace Corvane::CameraController::Impl
