#include "image/png_reader.h"

#include "image/gray_conversion.h"

#include <cstdlib>
#include <cstring>

#ifdef PDF417_HAVE_SPNG
#include <spng.h>
#endif

bool isPng(const unsigned char* bytes, size_t size) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return bytes && size >= 8 && std::memcmp(bytes, kSignature, 8) == 0;
}

#ifdef PDF417_HAVE_SPNG

namespace {

enum { kGrey = 0, kRgb = 2, kIndexed = 3, kGreyAlpha = 4, kRgba = 6 };

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

// Hands the file to the context and reads its header.
bool openPng(spng_ctx* ctx, const unsigned char* bytes, size_t size, spng_ihdr* header) {
  return spng_set_png_buffer(ctx, bytes, size) == 0 &&
         spng_set_image_limits(ctx, kMaxPictureSide, kMaxPictureSide) == 0 && spng_get_ihdr(ctx, header) == 0;
}

// Whether a file of `size` bytes can hold the header's picture, and the
// decoder's rows are rowBytes each.
bool plausiblePicture(spng_ctx* ctx, const spng_ihdr& header, size_t size, size_t rowBytes) {
  long long pixels = (long long)header.width * header.height;
  // A header can claim any size; compression shrinks a picture a few
  // thousand times at most.
  if (pixels < 1 || pixels > kMaxPicturePixels || pixels > (long long)size * 4096 + 65536) return false;
  size_t length = 0;
  return spng_decoded_image_size(ctx, SPNG_FMT_PNG, &length) == 0 && length == rowBytes * header.height;
}

// Whether an opened PNG is of a kind whose bytes are channels (8-bit grey,
// grey with alpha, RGB, RGBA, no transparency chunk): *handled true with
// the channels once it is one. False too when it cannot be taken.
bool channelKind(spng_ctx* ctx, const spng_ihdr& header, size_t size, bool* handled, int* channels) {
  spng_trns transparency;
  *channels = channelsOf(header.color_type);
  if (header.bit_depth != 8 || *channels == 0 || spng_get_trns(ctx, &transparency) != SPNG_ECHUNKAVAIL)
    return false;
  *handled = true;
  return plausiblePicture(ctx, header, size, (size_t)header.width * *channels);
}

// Where red, green, blue and alpha sit in a pixel of so many channels.
void channelOffsets(int channels, int* red, int* green, int* blue, int* alpha) {
  bool grey = channels <= 2;
  *red = 0, *green = grey ? 0 : 1, *blue = grey ? 0 : 2;
  *alpha = channels == 2 ? 1 : channels == 4 ? 3 : -1;
}

// The pixel data's checksum is not checked, as the general reader does not
// check it either: it costs a fifth of a large picture's decoding, and a
// damaged stream is caught by inflating it all the same.
const int kContextFlags = SPNG_CTX_IGNORE_ADLER32;

// Decodes the picture a row at a time into `row` (rowBytes bytes), handing
// each to onRow(y); true when every row came.
template <typename OnRow>
bool decodeRows(spng_ctx* ctx, size_t height, unsigned char* row, size_t rowBytes, OnRow onRow) {
  if (spng_decode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE) != 0) return false;
  size_t y = 0;
  for (; y < height; y++) {
    int status = spng_decode_row(ctx, row, rowBytes);
    if (status != 0 && status != SPNG_EOI) break;
    onRow(y);
    if (status == SPNG_EOI) {
      y++;
      break;
    }
  }
  return y == height;
}

// An indexed picture, or a grey one of 1, 2 or 4 bits a pixel, not
// interlaced: its pixels are table indexes, packed as they come.
bool packedLayout(const spng_ihdr& header) {
  bool indexed = header.color_type == kIndexed, lowGrey = header.color_type == kGrey && header.bit_depth < 8;
  return (indexed || lowGrey) && header.interlace_method == SPNG_INTERLACE_NONE;
}

// Whether an opened PNG is of a packed kind decodePacked takes: *handled
// true once it is one. False too when it cannot be taken.
bool packedKind(spng_ctx* ctx, const spng_ihdr& header, size_t size, bool* handled) {
  if (!packedLayout(header)) return false;
  // A grey one with a transparent level is left to the general reader.
  spng_trns transparency;
  if (header.color_type == kGrey && spng_get_trns(ctx, &transparency) != SPNG_ECHUNKAVAIL) return false;
  *handled = true;
  return plausiblePicture(ctx, header, size, ((size_t)header.width * header.bit_depth + 7) / 8);
}

// The colour of each table index as red, green, blue and alpha: palette
// entries (with their alpha) or grey levels scaled to 8 bits, as the
// general reader takes them. Indexes past the palette are black.
bool colourTable(spng_ctx* ctx, const spng_ihdr& header, unsigned char* rgba) {
  for (int i = 0; i < 256; i++) rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = 0, rgba[4 * i + 3] = 255;
  if (header.color_type == kIndexed) {
    spng_plte palette;
    if (spng_get_plte(ctx, &palette)) return false;
    spng_trns transparency;
    bool alpha = spng_get_trns(ctx, &transparency) == 0;
    for (uint32_t i = 0; i < palette.n_entries && i < 256; i++) {
      rgba[4 * i] = palette.entries[i].red;
      rgba[4 * i + 1] = palette.entries[i].green;
      rgba[4 * i + 2] = palette.entries[i].blue;
      if (alpha && i < transparency.n_type3_entries) rgba[4 * i + 3] = transparency.type3_alpha[i];
    }
  } else {
    int levels = (1 << header.bit_depth) - 1;
    for (int v = 0; v <= levels; v++)
      rgba[4 * v] = rgba[4 * v + 1] = rgba[4 * v + 2] = (unsigned char)(v * 255 / levels);
  }
  return true;
}

// The table index of pixel x of a row packed `depth` bits a pixel, most
// significant bits first.
inline int packedIndex(const unsigned char* packed, int x, int depth) {
  if (depth == 8) return packed[x];
  int perByte = 8 / depth;
  return (packed[x / perByte] >> (8 - depth * (x % perByte + 1))) & ((1 << depth) - 1);
}

// One packed row through the table, `Bytes` bytes an entry.
template <int Bytes>
void packedRow(const unsigned char* packed, int width, int depth, const unsigned char* table, unsigned char* out) {
  for (int x = 0; x < width; x++) {
    const unsigned char* entry = table + packedIndex(packed, x, depth) * Bytes;
    for (int k = 0; k < Bytes; k++) out[x * Bytes + k] = entry[k];
  }
}

// A packed picture, a row at a time, each pixel's index through the table
// of `bytes` (1 or 3) bytes an entry to out; false on failure.
bool decodePacked(spng_ctx* ctx, const spng_ihdr& header, const unsigned char* table, int bytes,
                  unsigned char* out) {
  size_t width = header.width, height = header.height;
  size_t rowBytes = (width * header.bit_depth + 7) / 8;
  unsigned char* packed = (unsigned char*)std::malloc(rowBytes);
  bool done = packed && decodeRows(ctx, height, packed, rowBytes, [&](size_t y) {
    unsigned char* row = out + y * width * bytes;
    if (bytes == 1)
      packedRow<1>(packed, (int)width, header.bit_depth, table, row);
    else
      packedRow<3>(packed, (int)width, header.bit_depth, table, row);
  });
  std::free(packed);
  return done;
}

// A packed picture straight to grey; null on failure.
unsigned char* decodePackedGray(spng_ctx* ctx, const spng_ihdr& header) {
  unsigned char rgba[256 * 4], grey[256];
  if (!colourTable(ctx, header, rgba)) return nullptr;
  pixelRowToGray(rgba, 256, 4, 0, 1, 2, 3, grey);
  unsigned char* out = (unsigned char*)std::malloc((size_t)header.width * header.height);
  if (out && decodePacked(ctx, header, grey, 1, out)) return out;
  std::free(out);
  return nullptr;
}

// A packed picture as a bitmap; null on failure.
PictureBitmap* decodePackedBitmap(spng_ctx* ctx, const spng_ihdr& header) {
  unsigned char rgba[256 * 4], bgr[256 * 3];
  if (!colourTable(ctx, header, rgba)) return nullptr;
  toBgr(rgba, 256, 4, bgr);
  PictureBitmap* bitmap = (PictureBitmap*)std::malloc(sizeof(PictureBitmap));
  unsigned char* pixels = (unsigned char*)std::malloc((size_t)header.width * header.height * 3);
  if (bitmap && pixels && decodePacked(ctx, header, bgr, 3, pixels)) {
    bitmap->width = (int)header.width;
    bitmap->height = (int)header.height;
    bitmap->pixels = pixels;
    return bitmap;
  }
  std::free(bitmap);
  std::free(pixels);
  return nullptr;
}

// The grey picture, decoded a row at a time (all at once when interlaced:
// its rows come in several passes); null on failure.
unsigned char* decodeGrayWith(spng_ctx* ctx, const spng_ihdr& header, int channels) {
  size_t width = header.width, height = header.height, rowBytes = width * channels;
  int red, green, blue, alpha;
  channelOffsets(channels, &red, &green, &blue, &alpha);
  unsigned char* grey = (unsigned char*)std::malloc(width * height);
  bool interlaced = header.interlace_method != SPNG_INTERLACE_NONE;
  unsigned char* native = (unsigned char*)std::malloc(interlaced ? rowBytes * height : rowBytes);
  bool done = false;
  if (grey && native && interlaced) {
    done = spng_decode_image(ctx, native, rowBytes * height, SPNG_FMT_PNG, 0) == 0;
    for (size_t y = 0; done && y < height; y++)
      pixelRowToGray(native + y * rowBytes, (int)width, channels, red, green, blue, alpha, grey + y * width);
  } else if (grey && native) {
    done = decodeRows(ctx, height, native, rowBytes, [&](size_t y) {
      pixelRowToGray(native, (int)width, channels, red, green, blue, alpha, grey + y * width);
    });
  }
  std::free(native);
  if (done) return grey;
  std::free(grey);
  return nullptr;
}

// The decoded picture of a channel kind, or null.
PictureBitmap* decodeChannels(spng_ctx* ctx, const spng_ihdr& header, int channels) {
  long long pixels = (long long)header.width * header.height;
  size_t length = (size_t)pixels * channels;
  unsigned char* native = (unsigned char*)std::malloc(length);
  PictureBitmap* bitmap = (PictureBitmap*)std::malloc(sizeof(PictureBitmap));
  unsigned char* bgr = (unsigned char*)std::malloc((size_t)pixels * 3);
  if (native && bitmap && bgr && spng_decode_image(ctx, native, length, SPNG_FMT_PNG, 0) == 0) {
    toBgr(native, (size_t)pixels, channels, bgr);
    bitmap->width = (int)header.width;
    bitmap->height = (int)header.height;
    bitmap->pixels = bgr;
    std::free(native);
    return bitmap;
  }
  std::free(native);
  std::free(bitmap);
  std::free(bgr);
  return nullptr;
}

}  // namespace

PictureBitmap* decodeCommonPng(const unsigned char* bytes, size_t size, bool* handled) {
  *handled = false;
  if (!isPng(bytes, size)) return nullptr;
  // Checked as decodeCommonPngGray checks: both readings of a file agree.
  spng_ctx* ctx = spng_ctx_new(kContextFlags);
  if (!ctx) return nullptr;
  spng_ihdr header;
  int channels = 0;
  PictureBitmap* bitmap = nullptr;
  if (openPng(ctx, bytes, size, &header)) {
    if (channelKind(ctx, header, size, handled, &channels))
      bitmap = decodeChannels(ctx, header, channels);
    else if (!*handled && packedKind(ctx, header, size, handled))
      bitmap = decodePackedBitmap(ctx, header);
  }
  spng_ctx_free(ctx);
  return bitmap;
}

unsigned char* decodeCommonPngGray(const unsigned char* bytes, size_t size, int* width, int* height, bool* handled) {
  *handled = false;
  if (!isPng(bytes, size)) return nullptr;
  spng_ctx* ctx = spng_ctx_new(kContextFlags);
  if (!ctx) return nullptr;
  spng_ihdr header;
  int channels = 0;
  unsigned char* grey = nullptr;
  if (openPng(ctx, bytes, size, &header)) {
    if (channelKind(ctx, header, size, handled, &channels))
      grey = decodeGrayWith(ctx, header, channels);
    else if (!*handled && packedKind(ctx, header, size, handled))
      grey = decodePackedGray(ctx, header);
  }
  spng_ctx_free(ctx);
  if (grey) *width = (int)header.width, *height = (int)header.height;
  return grey;
}

#else

PictureBitmap* decodeCommonPng(const unsigned char*, size_t, bool* handled) {
  *handled = false;
  return nullptr;
}

unsigned char* decodeCommonPngGray(const unsigned char*, size_t, int*, int*, bool* handled) {
  *handled = false;
  return nullptr;
}

#endif
