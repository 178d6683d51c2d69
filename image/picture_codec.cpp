// The picture reader's implementation, compiled from Debian's stb_image header
// with the decoder's own size limit so that oversized headers are refused
// before any pixel buffer is allocated.
#include "image/picture_codec.h"

#include <climits>
#include <cstdlib>

#include "image/picture_limits.h"

// The reader leaves the pixels that a truncated uncompressed TGA file lacks
// unwritten: every buffer it takes starts zeroed, so that they read as
// black, never as whatever the memory held before (another picture).
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(pointer, size) std::realloc(pointer, size)
#define STBI_FREE(pointer) std::free(pointer)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_MAX_DIMENSIONS pdf417read::detail::kMaxPictureSide
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_NO_PSD
#define STBI_NO_PIC
// Netpbm files have a reader of their own (image/pnm_reader.cpp).
#define STBI_NO_PNM
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>

namespace pdf417read::detail {

namespace {

// The JPEG reader builds each Huffman table in fixed arrays of 256 symbols
// without checking the counts a file declares, so a table claiming more
// symbols writes past them. Such files are refused before it sees them.
bool huffmanSegmentSound(const unsigned char* bytes, size_t size, size_t at, size_t length) {
  size_t end = at + length;
  while (at < end) {
    int symbols = 0;  // counts past the end of the file read as zeros
    for (size_t i = at + 1; i <= at + 16 && i < size; i++) symbols += bytes[i];
    if (symbols > 256) return false;
    at += 17 + (size_t)symbols;
  }
  return true;
}

// Walks the markers the way the reader meets them, entropy-coded data and
// stray bytes included, and checks every Huffman table segment.
bool jpegTablesSound(const unsigned char* bytes, size_t size) {
  // The reader takes any run of 0xFF fill bytes before the start marker.
  size_t at = 0;
  while (at < size && bytes[at] == 0xFF) at++;
  if (at == 0 || at >= size || bytes[at] != 0xD8) return true;
  at++;
  while (at + 1 < size) {
    unsigned char marker = bytes[at + 1];
    bool standalone = marker == 0x00 || marker == 0x01 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD9);
    if (bytes[at] != 0xFF || standalone) {
      at++;
      continue;
    }
    if (at + 3 >= size) break;
    size_t length = (size_t)bytes[at + 2] << 8 | bytes[at + 3];
    if (length < 2) length = 2;
    if (marker == 0xC4 && !huffmanSegmentSound(bytes, size, at + 4, length - 2)) return false;
    at += 2 + length;
  }
  return true;
}

// A JPEG file holds no transparency: its pixels decode to three bytes each.
int channelsToDecode(const unsigned char* bytes, size_t size) {
  return size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8 ? 3 : 4;
}

}  // namespace

bool decodeWithStb(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                   PictureStatus* status) {
  if (!bytes || size == 0 || size > (size_t)INT_MAX) return pictureFails(status, kPictureUnknownFormat);
  if (!jpegTablesSound(bytes, size)) return pictureFails(status, kPictureDamaged);
  int width = 0, height = 0, native = 0;
  if (!stbi_info_from_memory(bytes, (int)size, &width, &height, &native))
    return pictureFails(status, status->format ? kPictureDamaged : kPictureUnknownFormat);
  // Of the formats this reader is given, only TGA has no mark the caller
  // knows it by.
  if (!status->format) status->format = "TGA";
  if (!pictureSizeAllowed(size, width, height, status)) return false;
  int decoded = channelsToDecode(bytes, size);
  unsigned char* pixels = stbi_load_from_memory(bytes, (int)size, &width, &height, &native, decoded);
  if (!pixels) return pictureFails(status, kPictureDamaged);
  // The pixels must be the size the header claimed, which was checked.
  if (width != status->width || height != status->height) {
    stbi_image_free(pixels);
    return pictureFails(status, kPictureDamaged);
  }
  adoptPackedPixels(pixels, width, height, decoded, channels, picture);
  return true;
}

}  // namespace pdf417read::detail
