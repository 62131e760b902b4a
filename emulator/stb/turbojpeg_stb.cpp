#include "turbojpeg.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image.h>
#include <stb_image_write.h>

namespace {

// Any non-null handle: stb keeps no state between calls.
int handleToken = 0;

void append(void* context, void* data, int size) {
    auto& out = *static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

}  // namespace

extern "C" {

tjhandle tjInitCompress(void) {
    return &handleToken;
}

tjhandle tjInitDecompress(void) {
    return &handleToken;
}

int tjDestroy(tjhandle) {
    return 0;
}

int tjCompress2(tjhandle handle, const unsigned char* srcBuf, int width, int pitch, int height,
                int pixelFormat, unsigned char** jpegBuf, unsigned long* jpegSize, int,
                int jpegQual, int) {
    if (handle == nullptr || srcBuf == nullptr || jpegBuf == nullptr || jpegSize == nullptr ||
        pixelFormat != TJPF_RGB || (pitch != 0 && pitch != width * 3)) {
        return -1;
    }
    std::vector<unsigned char> out;
    if (stbi_write_jpg_to_func(append, &out, width, height, 3, srcBuf, jpegQual) == 0 ||
        out.empty()) {
        return -1;
    }
    *jpegBuf = static_cast<unsigned char*>(std::malloc(out.size()));
    if (*jpegBuf == nullptr) {
        return -1;
    }
    std::memcpy(*jpegBuf, out.data(), out.size());
    *jpegSize = static_cast<unsigned long>(out.size());
    return 0;
}

void tjFree(unsigned char* buffer) {
    std::free(buffer);
}

int tjDecompressHeader3(tjhandle handle, const unsigned char* jpegBuf, unsigned long jpegSize,
                        int* width, int* height, int* jpegSubsamp, int* jpegColorspace) {
    int components = 0;
    if (handle == nullptr || jpegBuf == nullptr ||
        stbi_info_from_memory(jpegBuf, static_cast<int>(jpegSize), width, height, &components) ==
            0) {
        return -1;
    }
    *jpegSubsamp = TJSAMP_420;
    *jpegColorspace = 1;  // YCbCr
    return 0;
}

}  // extern "C"
