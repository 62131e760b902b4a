// The vendor operations: tether mode, condition, shooting, focus, live view, tether buffer.
#include <algorithm>

#include "byte_writer.hpp"
#include "camera_model.hpp"
#include "codes.hpp"

namespace Corvane::CameraController::Emulator {

namespace {

constexpr uint32_t kTetherKey = 0x0D;
constexpr int32_t kFocusMax = 1000;
// One coarse focus unit of 0x9016 moves as far as this many fine steps of 0x9017.
constexpr int64_t kCoarseStep = 6;
constexpr uint64_t kMovieBytesPerSecond = 2u << 20;

enum Instruction : uint8_t { kDone = 2, kData = 3, kSeekSet = 4, kSeekCurrent = 5, kSeekEnd = 6 };

}  // namespace

Reply CameraModel::tetherMode(const Operation& op) {
    if (op.param(0) != kTetherKey || op.param(2) > 1) {
        return Reply::error(Code::InvalidParameter);
    }
    tetherMode_ = op.param(2) == 1;
    if (!tetherMode_) {
        liveView_ = false;
    }
    return Reply::ok();
}

Reply CameraModel::storageWriting(const Operation& op) {
    const uint32_t mode = op.param(0);
    if (mode != 0 && mode != 3) {
        return Reply::error(Code::InvalidParameter);
    }
    const bool anyCard =
        std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.hasCard; });
    if (mode == 3 && !anyCard) {
        return Reply::error(Code::StoreNotAvailable);
    }
    writeToCard_ = mode == 3;
    return Reply::ok();
}

Reply CameraModel::imageInfoRequest(const Operation& op) {
    const uint32_t handle = op.param(0);
    if (handle != 0 && handle == newObjectHandle_) {
        newObjectHandle_ = 0;
        return Reply::ok();
    }
    // A body without a transfer buffer operation hands its tether picture over by handle and
    // lets go of it when asked about it.
    if (!tether_.empty() && tether_.front().object.handle == handle) {
        tether_.pop_front();
        transfer_.reset();
        return Reply::ok();
    }
    return objects_.count(handle) != 0 ? Reply::ok() : Reply::error(Code::InvalidObjectHandle);
}

Reply CameraModel::liveViewFrame() {
    if (!liveView_) {
        return Reply::error(Code::DeviceBusy);
    }
    const auto& frames = pictures_.liveViewFrames(config_.liveViewWidth, config_.liveViewHeight);
    const SharedBytes& frame = frames[frameCounter_++ % frames.size()];
    return Reply::withData(Payload::slice(frame, 0, frame->size()));
}

Reply CameraModel::tetherTransferStart(const Operation& op) {
    if (tether_.empty()) {
        return Reply::error(Code::VendorNoObject);
    }
    const TetherImage& image = tether_.front();
    const uint32_t what = op.param(0);
    SharedBytes source;
    if (what == 0) {
        source = image.object.data;
    } else if (what == 0xFF || what == 0xFE) {
        source = image.object.thumbnail;
        if (!source) {
            return Reply::error(Code::NoThumbnailPresent);
        }
    } else {
        return Reply::error(Code::InvalidParameter);
    }
    TransferProgram program;
    const auto size = static_cast<uint32_t>(source->size());
    if (transferStyle_ == TetherTransferStyle::Scattered && size >= 2) {
        // The body writes the second half first and then goes back for the first.
        const uint32_t half = size / 2;
        program.instructions = {{kSeekSet, half, 0}, {kData, size - half, half}, {kSeekSet, 0, 0},
                                {kData, half, 0},    {kSeekEnd, 0, 0},           {kDone, 0, 0}};
    } else {
        if (size > 0) {
            program.instructions.push_back({kData, size, 0});
        }
        program.instructions.push_back({kDone, 0, 0});
    }
    program.source = std::move(source);
    transfer_ = std::move(program);

    Wire::ByteWriter w(64);
    w.u8(image.type).u16(0).string(image.object.name);
    return Reply::withData(w.take());
}

Reply CameraModel::tetherTransferNext() {
    if (!transfer_) {
        return Reply::error(Code::VendorNoObject);
    }
    TransferProgram& program = *transfer_;
    Instruction instruction{kDone, 0, 0};
    if (program.next < program.instructions.size()) {
        instruction = program.instructions[program.next++];
    }
    if (instruction.code == kData) {
        program.dataPosition = instruction.sourceOffset;
        program.dataLeft = instruction.value;
    } else {
        program.dataLeft = 0;
    }
    Wire::ByteWriter w(5);
    w.u8(instruction.code).u32(instruction.value);
    return Reply::withData(w.take());
}

Reply CameraModel::tetherTransferData(const Operation& op) {
    if (!transfer_ || transfer_->dataLeft == 0) {
        return Reply::error(Code::VendorNoObject);
    }
    const uint32_t requested = op.param(0);
    if (requested == 0) {
        return Reply::error(Code::InvalidParameter);
    }
    TransferProgram& program = *transfer_;
    const size_t n = std::min<size_t>(
        {static_cast<size_t>(requested), program.dataLeft, config_.tetherChunkSize});
    Reply reply = Reply::withData(Payload::slice(program.source, program.dataPosition, n));
    reply.parameters = {static_cast<uint32_t>(n)};
    program.dataPosition += n;
    program.dataLeft -= n;
    return reply;
}

Reply CameraModel::tetherRelease() {
    if (tether_.empty()) {
        return Reply::error(Code::VendorNoObject);
    }
    tether_.pop_front();
    transfer_.reset();
    return Reply::ok();
}

Reply CameraModel::condition(Clock::time_point now) {
    if (shot_) {
        shot_->seenByHost = true;
    }
    return Reply::withData(Wire::encodeCondition(conditionFields(now)));
}

void CameraModel::startShot(Clock::time_point now, bool withFocus, bool openEnded) {
    Shot shot;
    shot.focusEnd = now + (withFocus ? scaled(0.3) : Clock::duration::zero());
    const double exposure = std::clamp(shutter_.seconds(), 1.0 / 8000, 30.0);
    shot.exposureEnd = shot.focusEnd + scaled(exposure);
    shot.writeEnd = shot.exposureEnd + scaled(0.5);
    shot.openEnded = openEnded;
    shot_ = shot;
}

Reply CameraModel::shutterPress(const Operation& op, Clock::time_point now) {
    const uint32_t kind = op.param(0);
    const uint32_t action = op.param(1);
    if ((kind != 0 && kind != 3) || action < 1 || action > 3 || (kind == 3 && action == 1)) {
        return Reply::error(Code::InvalidParameter);
    }
    if (shot_ || captureInhibited_) {
        return Reply::error(Code::DeviceBusy);
    }
    if (action == 1) {
        return Reply::ok();  // focus only: the lens is where it needs to be at once
    }
    const bool anyCard =
        std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.hasCard; });
    if (kind == 3) {
        if (!movieMode_ || recording_) {
            return Reply::error(Code::DeviceBusy);
        }
        if (!anyCard) {
            return Reply::error(Code::StoreNotAvailable);
        }
        recording_ = true;
        recordingStart_ = now;
        return Reply::ok();
    }
    if (movieMode_) {
        return Reply::error(Code::DeviceBusy);
    }
    if (writeToCard_ || !tetherMode_) {
        bool roomSomewhere = false;
        bool anyDestination = false;
        for (unsigned slot = 1; slot <= slotCount_; ++slot) {
            if (slots_[slot - 1].hasCard && slotActive(slot - 1)) {
                anyDestination = true;
                roomSomewhere = roomSomewhere || freeBytes(slot) >= estimatedShotSize();
            }
        }
        if (anyDestination && !roomSomewhere) {
            return Reply::error(Code::StoreFull);
        }
    }
    startShot(now, action == 3, exposureMode_ == Exposure::kModeBulb);
    return Reply::ok();
}

Reply CameraModel::shutterRelease(const Operation& op, Clock::time_point now) {
    const uint32_t kind = op.param(0);
    if (kind == 3) {
        if (!recording_) {
            return Reply::error(Code::GeneralError);
        }
        finishMovie(now);
        return Reply::ok();
    }
    if (kind != 0) {
        return Reply::error(Code::InvalidParameter);
    }
    if (!shot_ || !shot_->openEnded) {
        return Reply::error(Code::GeneralError);
    }
    shot_->openEnded = false;
    shot_->exposureEnd = now;
    shot_->writeEnd = now + scaled(0.5);
    return Reply::ok();
}

void CameraModel::finishMovie(Clock::time_point now) {
    recording_ = false;
    const double seconds = std::chrono::duration<double>(now - recordingStart_).count();
    const auto size = std::clamp<uint64_t>(static_cast<uint64_t>(seconds * kMovieBytesPerSecond),
                                           1u << 20, 64u << 20);
    const unsigned number = ++fileNumber_;
    char name[16];
    std::snprintf(name, sizeof name, "QRN_%04u.MOV", number % 10000);
    for (unsigned slot = 1; slot <= slotCount_; ++slot) {
        if (!slots_[slot - 1].hasCard || !slots_[slot - 1].recording || freeBytes(slot) < size) {
            continue;
        }
        const uint32_t folder = folderFor(slot, "DCIM/100QUORN");
        Bytes bytes(size);
        for (size_t i = 0; i < bytes.size(); i += 4096) {
            bytes[i] = static_cast<uint8_t>(i >> 12);
        }
        newObjectHandle_ =
            createFile(slot, folder, name, Code::FormatMov,
                       std::make_shared<const Bytes>(std::move(bytes)), nullptr, 1920, 1080);
        lastSlotIndex_ = slot - 1;
    }
}

Reply CameraModel::focusMove(const Operation& op, Clock::time_point) {
    int64_t delta = 0;
    if (op.code == Code::FocusMoveCoarse) {
        if (op.param(1) > 1) {
            return Reply::error(Code::InvalidParameter);
        }
        const bool needsLiveView =
            config_.model == "QUORIN Alto" || config_.model == "QUORIN Alto II";
        if (recording_ || (needsLiveView && !liveView_)) {
            return Reply::error(Code::DeviceBusy);
        }
        delta = static_cast<int64_t>(op.param(0)) * kCoarseStep * (op.param(1) == 1 ? 1 : -1);
    } else {
        delta = static_cast<int32_t>(op.param(0));
    }
    focusPosition_ =
        static_cast<int32_t>(std::clamp<int64_t>(focusPosition_ + delta, 0, kFocusMax));
    return Reply::ok();
}

}  // namespace Corvane::CameraController::Emulator
