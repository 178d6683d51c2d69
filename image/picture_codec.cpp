// The picture reader's implementation, compiled from Debian's stb_image header
// with the decoder's own size limit so that oversized headers are refused
// before any pixel buffer is allocated.
#include "image/picture_codec.h"

#include <climits>

#include "image/picture_bitmap.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_MAX_DIMENSIONS kMaxPictureSide
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_NO_PSD
#define STBI_NO_PIC
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>

bool readPictureSize(const unsigned char* bytes, size_t size, int* width, int* height) {
  if (!bytes || size == 0 || size > (size_t)INT_MAX) return false;
  int channels = 0;
  return stbi_info_from_memory(bytes, (int)size, width, height, &channels) != 0;
}

unsigned char* decodePictureRgba(const unsigned char* bytes, size_t size, int* width, int* height) {
  if (!bytes || size == 0 || size > (size_t)INT_MAX) return nullptr;
  int channels = 0;
  return stbi_load_from_memory(bytes, (int)size, width, height, &channels, 4);
}

void freePictureRgba(unsigned char* rgba) { stbi_image_free(rgba); }
