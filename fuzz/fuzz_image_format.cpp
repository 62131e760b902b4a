// The image-format dataset (0xD01B): the keys read from it and the edits written back into it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "adapter/adapter_wire.hpp"

using namespace Corvane::CameraController::Impl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t key = data[0];
    const uint8_t* dataset = data + 1;
    const size_t length = size - 1;
    isImageFormatLocked(dataset, length);
    decodeCaptureFormatKey(dataset, length);
    decodeQualityKey(dataset, length);

    // An edit either leaves the dataset alone or keeps its length: the camera gets back as
    // many bytes as it sent.
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
    return 0;
}
