// The few libturbojpeg calls the emulator makes, implemented with the header-only stb codecs
// for builds where libturbojpeg is missing (Debian ships none for MinGW). Only what the
// emulator uses: RGB input, compression to a buffer, and reading a JPEG's dimensions.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef void* tjhandle;

enum { TJPF_RGB = 0 };
enum { TJSAMP_420 = 2 };
enum { TJFLAG_FASTDCT = 2048 };

tjhandle tjInitCompress(void);
tjhandle tjInitDecompress(void);
int tjDestroy(tjhandle handle);
/// Encodes `height` rows of packed RGB (pitch 0: width * 3) into a buffer allocated here and
/// freed with tjFree. Subsampling and flags are stb's own choice; 0 on success.
int tjCompress2(tjhandle handle, const unsigned char* srcBuf, int width, int pitch, int height,
                int pixelFormat, unsigned char** jpegBuf, unsigned long* jpegSize, int jpegSubsamp,
                int jpegQual, int flags);
void tjFree(unsigned char* buffer);
/// Width and height of a JPEG; subsampling and colour space are reported as 4:2:0 and YCbCr.
int tjDecompressHeader3(tjhandle handle, const unsigned char* jpegBuf, unsigned long jpegSize,
                        int* width, int* height, int* jpegSubsamp, int* jpegColorspace);

#ifdef __cplusplus
}
#endif
