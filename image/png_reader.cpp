#include "image/png_reader.h"

#include <cstdlib>
#include <cstring>

#include "image/gray_conversion.h"

#ifdef PDF417_HAVE_SPNG
#include <spng.h>
#endif

bool isPng(const unsigned char* bytes, size_t size) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return bytes && size >= 8 && std::memcmp(bytes, kSignature, 8) == 0;
}

#ifdef PDF417_HAVE_SPNG

namespace {

enum { kGrey = 0, kRgb = 2, kGreyAlpha = 4, kRgba = 6 };

int channelsOf(int colourType) {
  switch (colourType) {
    case kGrey: return 1;
    case kRgb: return 3;
    case kGreyAlpha: return 2;
    case kRgba: return 4;
    default: return 0;
  }
}

// Alpha composited over white, as the general reader's pictures are.
unsigned char overWhite(unsigned char value, unsigned char alpha) {
  return (unsigned char)((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

// Native pixels (channels bytes each) to blue, green, red.
void toBgr(const unsigned char* in, size_t pixels, int channels, unsigned char* out) {
  for (size_t i = 0; i < pixels; i++, in += channels, out += 3) {
    unsigned char r, g, b, a = 255;
    if (channels <= 2) {
      r = g = b = in[0];
      if (channels == 2) a = in[1];
    } else {
      r = in[0], g = in[1], b = in[2];
      if (channels == 4) a = in[3];
    }
    out[0] = overWhite(b, a);
    out[1] = overWhite(g, a);
    out[2] = overWhite(r, a);
  }
}

// Reads the header and the channels of a PNG of a kind taken here; false
// when it is none (*handled false) or its size is refused (*handled true).
bool acceptedHeader(spng_ctx* ctx, const unsigned char* bytes, size_t size, bool* handled, spng_ihdr* header,
                    int* channels) {
  spng_trns transparency;
  if (spng_set_png_buffer(ctx, bytes, size) || spng_set_image_limits(ctx, kMaxPictureSide, kMaxPictureSide) ||
      spng_get_ihdr(ctx, header))
    return false;
  *channels = channelsOf(header->color_type);
  if (header->bit_depth != 8 || *channels == 0 || spng_get_trns(ctx, &transparency) != SPNG_ECHUNKAVAIL)
    return false;
  *handled = true;
  long long pixels = (long long)header->width * header->height;
  // A header can claim any size; compression shrinks a picture a few
  // thousand times at most.
  return pixels >= 1 && pixels <= kMaxPicturePixels && pixels <= (long long)size * 4096 + 65536;
}

// The pixels as the file holds them, channels bytes each, or null.
unsigned char* decodeNative(spng_ctx* ctx, const spng_ihdr& header, int channels) {
  size_t pixels = (size_t)header.width * header.height;
  size_t length = 0;
  if (spng_decoded_image_size(ctx, SPNG_FMT_PNG, &length) || length != pixels * channels) return nullptr;
  unsigned char* native = (unsigned char*)std::malloc(length);
  if (native && spng_decode_image(ctx, native, length, SPNG_FMT_PNG, 0) == 0) return native;
  std::free(native);
  return nullptr;
}

// The decoded picture, or null; *handled false when it is not a kind taken here.
PictureBitmap* decodeWith(spng_ctx* ctx, const unsigned char* bytes, size_t size, bool* handled) {
  spng_ihdr header;
  int channels = 0;
  if (!acceptedHeader(ctx, bytes, size, handled, &header, &channels)) return nullptr;
  size_t pixels = (size_t)header.width * header.height;
  PictureBitmap* bitmap = (PictureBitmap*)std::malloc(sizeof(PictureBitmap));
  unsigned char* bgr = (unsigned char*)std::malloc(pixels * 3);
  unsigned char* native = bitmap && bgr ? decodeNative(ctx, header, channels) : nullptr;
  if (native) {
    toBgr(native, pixels, channels, bgr);
    bitmap->width = (int)header.width;
    bitmap->height = (int)header.height;
    bitmap->pixels = bgr;
    std::free(native);
    return bitmap;
  }
  std::free(bitmap);
  std::free(bgr);
  return nullptr;
}

unsigned char* decodeGrayWith(spng_ctx* ctx, const unsigned char* bytes, size_t size, bool* handled, int* width,
                              int* height) {
  spng_ihdr header;
  int channels = 0;
  if (!acceptedHeader(ctx, bytes, size, handled, &header, &channels)) return nullptr;
  unsigned char* native = decodeNative(ctx, header, channels);
  if (!native) return nullptr;
  size_t pixels = (size_t)header.width * header.height;
  packedToGrayInPlace(native, pixels, channels);
  // Shrinking keeps the bytes; should it fail, the larger buffer serves.
  unsigned char* grey = channels > 1 ? (unsigned char*)std::realloc(native, pixels) : native;
  *width = (int)header.width;
  *height = (int)header.height;
  return grey ? grey : native;
}

}  // namespace

PictureBitmap* decodeCommonPng(const unsigned char* bytes, size_t size, bool* handled) {
  *handled = false;
  if (!isPng(bytes, size)) return nullptr;
  spng_ctx* ctx = spng_ctx_new(0);
  if (!ctx) return nullptr;
  PictureBitmap* bitmap = decodeWith(ctx, bytes, size, handled);
  spng_ctx_free(ctx);
  return bitmap;
}

unsigned char* decodeCommonPngGray(const unsigned char* bytes, size_t size, bool* handled, int* width,
                                   int* height) {
  *handled = false;
  if (!isPng(bytes, size)) return nullptr;
  spng_ctx* ctx = spng_ctx_new(0);
  if (!ctx) return nullptr;
  unsigned char* grey = decodeGrayWith(ctx, bytes, size, handled, width, height);
  spng_ctx_free(ctx);
  return grey;
}

#else

PictureBitmap* decodeCommonPng(const unsigned char*, size_t, bool* handled) {
  *handled = false;
  return nullptr;
}

unsigned char* decodeCommonPngGray(const unsigned char*, size_t, bool* handled, int*, int*) {
  *handled = false;
  return nullptr;
}

#endif
