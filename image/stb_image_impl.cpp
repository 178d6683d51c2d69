// The picture reader's implementation, compiled from Debian's stb_image header
// with the decoder's own size limit so that oversized headers are refused
// before any pixel buffer is allocated.
#include "image/picture_bitmap.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_MAX_DIMENSIONS kMaxPictureSide
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_NO_PSD
#define STBI_NO_PIC
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
