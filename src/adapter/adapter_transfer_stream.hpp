// Moving the write position of a download stream as the camera's transfer instructions ask.
#pragma once

#include <ios>
#include <ostream>

namespace Corvane::CameraController::Impl {

/// Moves the write position of `out` to `offset` bytes from `direction`: the beginning, the
/// current position or the end of what the stream holds. A position past the end is reached by
/// writing zero bytes, so that string streams, file streams and every other seekable stream
/// end up holding the same bytes. A stream that cannot seek only ever stands at its end, so it
/// takes forward moves from the current position or the end (as zero bytes) and refuses moves
/// from the beginning. Returns false, with the stream's failbit or badbit set, when the stream
/// refuses; the position is then unspecified.
bool seekOrZeroFill(std::ostream& out, std::ios_base::seekdir direction, std::streamoff offset);

}  // namespace Corvane::CameraController::Impl
