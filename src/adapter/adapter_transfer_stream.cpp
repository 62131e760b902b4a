#include "adapter/adapter_transfer_stream.hpp"

#include <algorithm>

namespace Corvane::CameraController::Impl {

namespace {

bool writeZeros(std::ostream& out, std::streamoff count) {
    static const char zeros[64 * 1024] = {};
    while (count > 0 && out) {
        const auto piece = std::min<std::streamoff>(count, sizeof zeros);
        out.write(zeros, static_cast<std::streamsize>(piece));
        count -= piece;
    }
    return static_cast<bool>(out);
}

bool refuse(std::ostream& out) {
    out.setstate(std::ios_base::failbit);
    return false;
}

}  // namespace

bool seekOrZeroFill(std::ostream& out, std::ios_base::seekdir direction, std::streamoff offset) {
    if (!out) {
        return false;
    }
    const std::streamoff current = out.tellp();
    if (current < 0) {
        if (direction == std::ios_base::beg || offset < 0 || offset > kMaxTransferPosition) {
            return refuse(out);
        }
        return writeZeros(out, offset);
    }
    // A string stream cannot be moved past its end at all, and a file stream only leaves a gap
    // that stays missing unless something is written after it; find the end to fill it.
    out.seekp(0, std::ios_base::end);
    const std::streamoff end = out.tellp();
    if (!out || end < 0) {
        return refuse(out);
    }
    const std::streamoff base = direction == std::ios_base::beg   ? 0
                                : direction == std::ios_base::cur ? current
                                                                  : end;
    const std::streamoff target = base + offset;
    if (target < 0 || target > kMaxTransferPosition) {
        return refuse(out);
    }
    if (target > end) {
        return writeZeros(out, target - end);
    }
    out.seekp(target);
    return static_cast<bool>(out);
}

}  // namespace Corvane::CameraController::Impl
