// Every standard dataset decoder over the same bytes; none may read past them or crash.
#include <cstddef>
#include <cstdint>

#include "mtp/mtp_datasets.hpp"

using namespace Corvane::CameraController::Impl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    decodeDeviceInfo(data, size);
    decodeU32Array(data, size);
    decodeStorageInfo(data, size);
    decodeObjectInfo(data, size);
    if (const auto text = decodeMtpString(data, size)) {
        parseMtpDate(*text);
    }
    return 0;
}
