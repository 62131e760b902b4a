// Shared helpers of the emulator tests: a camera reached through the real transport.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "adapter/quorin_camera_condition.hpp"
#include "corvane/emulator/emulated_camera.hpp"
#include "mtp/mtp_device.hpp"
#include "mtp/usb/byte_order.hpp"
#include "pictures.hpp"
#include "support/dataset_builder.hpp"
#include "support/eventually.hpp"
#include "support/mtp_requests.hpp"

namespace Corvane::CameraController::Emulator::Testing {

using Impl::MtpDevice;
using Impl::MtpResponse;

inline constexpr auto le16 = Impl::Ptp::loadLe16;
inline constexpr auto le32 = Impl::Ptp::loadLe32;

using CameraController::Testing::bytesOf;

/// Runs one transaction; `write` non-empty makes it a Write data phase.
inline MtpResponse run(MtpDevice& device, uint16_t code, std::vector<uint32_t> parameters = {},
                       const std::vector<uint8_t>& write = {}) {
    using namespace CameraController::Testing;
    return device.execute(write.empty() ? mtpRequest(code, std::move(parameters))
                                        : writeRequest(code, write, std::move(parameters)));
}

inline MtpResponse read(MtpDevice& device, uint16_t code, std::vector<uint32_t> parameters = {}) {
    return device.execute(CameraController::Testing::readRequest(code, std::move(parameters)));
}

/// The camera's condition dataset (0x900F) read through the host's own decoder; empty when
/// the camera refused it.
inline std::shared_ptr<const Impl::QuorinCameraCondition> condition(MtpDevice& device) {
    const MtpResponse response = read(device, 0x900F);
    return std::make_shared<const Impl::QuorinCameraCondition>(
        response.data.get(), response.responseCode == 0x2001 ? response.dataSize : 0);
}

/// Polls the condition, as the library does, until `done` holds or five seconds pass.
template <typename Predicate>
bool pollCondition(MtpDevice& device, Predicate done) {
    return CameraController::Testing::eventually([&] { return done(*condition(device)); },
                                                 std::chrono::seconds(5));
}

/// A camera whose own delays take microseconds.
inline CameraConfig fastConfig() {
    CameraConfig config;
    config.timeScale = 0.001;
    config.rawFileSize = 256 * 1024;
    return config;
}

/// Width and height of a JPEG file; zeros when it cannot be read.
inline std::pair<uint32_t, uint32_t> jpegSize(const Bytes& file) {
    uint32_t width = 0;
    uint32_t height = 0;
    Jpeg::dimensions(file.data(), file.size(), width, height);
    return {width, height};
}

inline std::vector<uint8_t> u32Bytes(uint32_t v) {
    return CameraController::Testing::DatasetBuilder().u32(v).bytes();
}

}  // namespace Corvane::CameraController::Emulator::Testing
