// The picture reader's implementation, compiled from Debian's stb_image header
// with the decoder's own size limit so that oversized headers are refused
// before any pixel buffer is allocated.
#include "image/picture_codec.h"

#include <climits>
#include <cstdlib>

#include "image/picture_bitmap.h"

// The reader leaves the pixels that a truncated PNM or uncompressed TGA file
// lacks unwritten: every buffer it takes starts zeroed, so that they read as
// black, never as whatever the memory held before (another picture).
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(pointer, size) std::realloc(pointer, size)
#define STBI_FREE(pointer) std::free(pointer)
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

namespace {

bool isPnmSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The reader adds up a PNM header's decimal numbers in a plain int, which
// overflows on too many digits. Its width, height and maximum value are
// parsed here first, the same way (blanks and # comments between them), and
// a file with one beyond INT_MAX is refused. Other formats pass.
bool pnmNumbersFit(const unsigned char* bytes, size_t size) {
  if (size < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return true;
  size_t at = 2;
  for (int number = 0; number < 3; ++number) {
    for (;;) {
      while (at < size && isPnmSpace(bytes[at])) ++at;
      if (at >= size || bytes[at] != '#') break;
      while (at < size && bytes[at] != '\n' && bytes[at] != '\r') ++at;
    }
    long long value = 0;
    for (; at < size && bytes[at] >= '0' && bytes[at] <= '9'; ++at) {
      value = value * 10 + (bytes[at] - '0');
      if (value > INT_MAX) return false;
    }
  }
  return true;
}

}  // namespace

bool readPictureSize(const unsigned char* bytes, size_t size, int* width, int* height) {
  if (!bytes || size == 0 || size > (size_t)INT_MAX || !pnmNumbersFit(bytes, size)) return false;
  int channels = 0;
  return stbi_info_from_memory(bytes, (int)size, width, height, &channels) != 0;
}

unsigned char* decodePicturePixels(const unsigned char* bytes, size_t size, int channels, int* width,
                                   int* height) {
  if (!bytes || size == 0 || size > (size_t)INT_MAX || channels < 3 || channels > 4) return nullptr;
  if (!pnmNumbersFit(bytes, size)) return nullptr;
  int native = 0;
  return stbi_load_from_memory(bytes, (int)size, width, height, &native, channels);
}

unsigned char* decodePictureRgba(const unsigned char* bytes, size_t size, int* width, int* height) {
  return decodePicturePixels(bytes, size, 4, width, height);
}

void freePictureRgba(unsigned char* rgba) { stbi_image_free(rgba); }
