// Moving the write position of a download stream as the camera's transfer instructions ask.
#pragma once

#include <ios>
#include <ostream>

namespace Corvane::CameraController::Impl {

/// The furthest position a transfer may fill up to. A still picture never needs more; a camera
/// asking for more would otherwise make the host write gigabytes of zeros.
constexpr std::streamoff kMaxTransferPosition = std::streamoff{512} << 20;

/// Moves the write position of `out` to `offset` bytes from `direction`: the beginning, the
/// current position or the end of what the stream holds. A position past the end is reached by
/// writing zero bytes, so that string streams, file streams and every other seekable stream
/// end up holding the same bytes. A stream that cannot seek only ever stands at its end, so it
/// takes forward moves from the current position or the end (as zero bytes) and refuses moves
/// from the beginning. Returns false, with the stream's failbit or badbit set, when the stream
/// refuses, or when the move would pass kMaxTransferPosition; the position is then unspecified.
bool seekOrZeroFill(std::ostream& out, std::ios_base::seekdir direction, std::streamoff offset);

}  // namespace Corvane::CameraController::Impl
