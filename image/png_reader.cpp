#include "image/png_reader.h"

#include "image/gray_conversion.h"
#include "image/picture_limits.h"

#include <cstdlib>
#include <cstring>

#ifdef PDF417_HAVE_SPNG
#include <spng.h>
#endif

namespace pdf417read::detail {

bool isPng(const unsigned char* bytes, size_t size) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return bytes && size >= 8 && std::memcmp(bytes, kSignature, 8) == 0;
}

#ifdef PDF417_HAVE_SPNG

namespace {

enum { kGray = 0, kRgb = 2, kIndexed = 3, kGrayAlpha = 4, kRgba = 6 };

int channelsOf(int colourType) {
  switch (colourType) {
    case kGray: return 1;
    case kRgb: return 3;
    case kGrayAlpha: return 2;
    case kRgba: return 4;
    default: return 0;
  }
}

// Hands the file to the context and reads its header.
bool openPng(spng_ctx* ctx, const unsigned char* bytes, size_t size, spng_ihdr* header) {
  return spng_set_png_buffer(ctx, bytes, size) == 0 &&
         spng_set_image_limits(ctx, kMaxPictureSide, kMaxPictureSide) == 0 && spng_get_ihdr(ctx, header) == 0;
}

// Whether a file of `size` bytes can hold the header's picture, and the
// decoder's rows are rowBytes each.
bool plausiblePicture(spng_ctx* ctx, const spng_ihdr& header, size_t size, size_t rowBytes, PictureStatus* status) {
  if (!pictureSizeAllowed(size, header.width, header.height, status)) return false;
  size_t length = 0;
  if (spng_decoded_image_size(ctx, SPNG_FMT_PNG, &length) == 0 && length == rowBytes * header.height) return true;
  return pictureFails(status, kPictureDamaged);
}

// Whether an opened PNG is of a kind whose bytes are channels (8-bit gray,
// gray with alpha, RGB, RGBA, no transparency chunk): *handled true with
// the channels once it is one. False too when it cannot be taken.
bool channelKind(spng_ctx* ctx, const spng_ihdr& header, size_t size, bool* handled, int* channels,
                 PictureStatus* status) {
  spng_trns transparency;
  *channels = channelsOf(header.color_type);
  if (header.bit_depth != 8 || *channels == 0 || spng_get_trns(ctx, &transparency) != SPNG_ECHUNKAVAIL)
    return false;
  *handled = true;
  return plausiblePicture(ctx, header, size, (size_t)header.width * *channels, status);
}

// Where red, green, blue and alpha sit in a pixel of so many channels.
void channelOffsets(int channels, int* red, int* green, int* blue, int* alpha) {
  bool gray = channels <= 2;
  *red = 0, *green = gray ? 0 : 1, *blue = gray ? 0 : 2;
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

// An indexed picture, or a gray one of 1, 2 or 4 bits a pixel, not
// interlaced: its pixels are table indexes, packed as they come.
bool packedLayout(const spng_ihdr& header) {
  bool indexed = header.color_type == kIndexed, lowGray = header.color_type == kGray && header.bit_depth < 8;
  return (indexed || lowGray) && header.interlace_method == SPNG_INTERLACE_NONE;
}

// Whether an opened PNG is of a packed kind decodePacked takes: *handled
// true once it is one. False too when it cannot be taken.
bool packedKind(spng_ctx* ctx, const spng_ihdr& header, size_t size, bool* handled, PictureStatus* status) {
  if (!packedLayout(header)) return false;
  // A gray one with a transparent level is left to the general reader.
  spng_trns transparency;
  if (header.color_type == kGray && spng_get_trns(ctx, &transparency) != SPNG_ECHUNKAVAIL) return false;
  *handled = true;
  return plausiblePicture(ctx, header, size, ((size_t)header.width * header.bit_depth + 7) / 8, status);
}

// The colour of each table index as red, green, blue and alpha: palette
// entries (with their alpha) or gray levels scaled to 8 bits, as the
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

// A packed picture, a row at a time, each pixel's index through the
// table of `channels` (1 or 3) bytes an entry; false on failure.
bool decodePacked(spng_ctx* ctx, const spng_ihdr& header, DecodedPicture* picture) {
  unsigned char rgba[256 * 4], table[256 * 3];
  if (!colourTable(ctx, header, rgba)) return false;
  pixelRowTo(picture->channels, rgba, 256, 4, 0, 1, 2, 3, table);
  size_t width = header.width, height = header.height;
  size_t rowBytes = (width * header.bit_depth + 7) / 8;
  unsigned char* packed = (unsigned char*)std::malloc(rowBytes);
  bool done = packed && decodeRows(ctx, height, packed, rowBytes, [&](size_t y) {
    unsigned char* row = pictureRow(*picture, (int)y);
    if (picture->channels == 1)
      packedRow<1>(packed, (int)width, header.bit_depth, table, row);
    else
      packedRow<3>(packed, (int)width, header.bit_depth, table, row);
  });
  std::free(packed);
  return done;
}

// A picture of a channel kind, decoded a row at a time (all at once when
// interlaced: its rows come in several passes); false on failure.
bool decodeChannels(spng_ctx* ctx, const spng_ihdr& header, int channels, DecodedPicture* picture) {
  size_t width = header.width, height = header.height, rowBytes = width * channels;
  int red, green, blue, alpha;
  channelOffsets(channels, &red, &green, &blue, &alpha);
  int out = picture->channels;
  bool interlaced = header.interlace_method != SPNG_INTERLACE_NONE;
  unsigned char* native = (unsigned char*)std::malloc(interlaced ? rowBytes * height : rowBytes);
  bool done = false;
  if (native && interlaced) {
    done = spng_decode_image(ctx, native, rowBytes * height, SPNG_FMT_PNG, 0) == 0;
    for (size_t y = 0; done && y < height; y++)
      pixelRowTo(out, native + y * rowBytes, (int)width, channels, red, green, blue, alpha, pictureRow(*picture, (int)y));
  } else if (native) {
    done = decodeRows(ctx, height, native, rowBytes, [&](size_t y) {
      pixelRowTo(out, native, (int)width, channels, red, green, blue, alpha, pictureRow(*picture, (int)y));
    });
  }
  std::free(native);
  return done;
}

}  // namespace

bool decodeCommonPng(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                     PictureStatus* status, bool* handled) {
  *handled = false;
  if (!isPng(bytes, size)) return false;
  spng_ctx* ctx = spng_ctx_new(kContextFlags);
  if (!ctx) return pictureFails(status, kPictureOutOfMemory);
  spng_ihdr header;
  int native = 0;
  bool done = false;
  if (openPng(ctx, bytes, size, &header)) {
    bool packed = false;
    if (channelKind(ctx, header, size, handled, &native, status) ||
        (!*handled && (packed = packedKind(ctx, header, size, handled, status)))) {
      done = allocatePicture(picture, (int)header.width, (int)header.height, channels, status) &&
             (packed ? decodePacked(ctx, header, picture) : decodeChannels(ctx, header, native, picture));
      if (!done && picture->pixels) {
        freeDecodedPicture(picture);
        pictureFails(status, kPictureDamaged);
      }
    }
  }
  spng_ctx_free(ctx);
  return done;
}

#else

bool decodeCommonPng(const unsigned char*, size_t, int, DecodedPicture*, PictureStatus*, bool* handled) {
  *handled = false;
  return false;
}

#endif

}  // namespace pdf417read::detail
