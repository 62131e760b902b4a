// The decoders of camera values that take bytes alone, all over the same input: the standard
// datasets, the DevicePropDesc view, the battery level, the live view geometry (0xD009), the
// camera clock (0x5011) and, past a first key byte, the image-format dataset (0xD01B) with the
// edits written back into it. None may read past the bytes or crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "adapter/adapter_wire.hpp"
#include "mtp/mtp_datasets.hpp"

using namespace Corvane::CameraController::Impl;

namespace {

// Whatever clock text is accepted must be a calendar date mktime can take without rolling it
// over.
void checkClock(const std::string& text) {
    const auto broken = parseCameraDateTime(text);
    if (!broken) {
        return;
    }
    if (text.size() != 15 || broken->tm_mon < 0 || broken->tm_mon > 11 || broken->tm_mday < 1 ||
        broken->tm_mday > 31 || broken->tm_hour > 23 || broken->tm_min > 59 ||
        broken->tm_sec > 60 || broken->tm_isdst != -1) {
        std::abort();
    }
}

// An edit either leaves the dataset alone or keeps its length: the camera gets back as many
// bytes as it sent.
void checkImageFormat(uint8_t key, const uint8_t* dataset, size_t length) {
    isImageFormatLocked(dataset, length);
    decodeCaptureFormatKey(dataset, length);
    decodeQualityKey(dataset, length);
    for (const bool lockByte : {false, true}) {
        std::vector<uint8_t> edited(dataset, dataset + length);
        if (applyCaptureFormatKey(edited, key % 7, lockByte) && edited.size() != length) {
            std::abort();
        }
        edited.assign(dataset, dataset + length);
        if (applyQualityKey(edited, key % 13, lockByte) && edited.size() != length) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decodeDeviceInfo(data, size);
    decodeU32Array(data, size);
    decodeStorageInfo(data, size);
    decodeObjectInfo(data, size);
    if (const auto text = decodeMtpString(data, size)) {
        parseMtpDate(*text);
    }
    const PropDescView view{data, size};
    view.dataType();
    for (const size_t width : {1, 2, 4, 8}) {
        view.current(width);
        view.enumeration(width);
    }
    decodeBatteryLevel(data, size);
    decodeLiveViewSize(data, size);
    decodeLiveViewGeometry(data, size);
    checkClock(decodePtpString(data, size));
    // The text as it might come from any other source, not only a decoded string.
    checkClock(std::string(reinterpret_cast<const char*>(data), size));
    if (size >= 1) {
        checkImageFormat(data[0], data + 1, size - 1);
    }
    return 0;
}
