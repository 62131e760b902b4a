// The tether transfer instruction stream (0x900C) and the data pieces it asks for (0x900D),
// copied into a stream as the download of a tether image does.
#include <sstream>

#include "fuzz_adapter_support.hpp"

using namespace Corvane::CameraController;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Fuzzing::FuzzedCamera camera(input, "QUORIN Alto II");
    std::stringstream out;
    camera.adapter->transferTetherBuffer(out);
    return 0;
}
