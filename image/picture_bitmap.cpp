#include "image/picture_bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/gray_conversion.h"
#include "image/picture_codec.h"
#include "image/png_reader.h"

// A header can claim any size. Compression shrinks a picture by a few
// thousand times at most, so a claim far beyond the file's size is a corrupt
// or hostile file, refused before the pixels are allocated.
static bool plausibleSize(size_t fileBytes, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
  long long pixels = (long long)width * height;
  return pixels <= kMaxPicturePixels && pixels <= (long long)fileBytes * 4096 + 65536;
}

// Alpha composited over white, as a viewer shows the picture on a page.
static unsigned char overWhite(unsigned char value, unsigned char alpha) {
  return (unsigned char)((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

static PictureBitmap* bitmapFromRgba(const unsigned char* rgba, int width, int height) {
  PictureBitmap* bitmap = (PictureBitmap*)std::malloc(sizeof *bitmap);
  if (!bitmap) return nullptr;
  size_t pixelCount = (size_t)width * height;
  bitmap->pixels = (unsigned char*)std::malloc(pixelCount * 3);
  if (!bitmap->pixels) {
    std::free(bitmap);
    return nullptr;
  }
  bitmap->width = width;
  bitmap->height = height;
  for (size_t i = 0; i < pixelCount; i++) {
    const unsigned char* in = rgba + 4 * i;
    unsigned char* out = bitmap->pixels + 3 * i;
    out[0] = overWhite(in[2], in[3]);
    out[1] = overWhite(in[1], in[3]);
    out[2] = overWhite(in[0], in[3]);
  }
  return bitmap;
}

// The JPEG reader builds each Huffman table in fixed arrays of 256 symbols
// without checking the counts a file declares, so a table claiming more
// symbols writes past them. Such files are refused before it sees them.
static bool huffmanSegmentSound(const unsigned char* bytes, size_t size, size_t at, size_t length) {
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
static bool jpegTablesSound(const unsigned char* bytes, size_t size) {
  // The reader takes any run of 0xFF fill bytes before the start marker.
  size_t at = 0;
  while (at < size && bytes[at] == 0xFF) at++;
  if (at == 0 || at >= size || bytes[at] != 0xD8) return true;
  at++;
  while (at + 1 < size) {
    unsigned char marker = bytes[at + 1];
    bool standalone = marker == 0x00 || marker == 0x01 || marker == 0xFF ||
                      (marker >= 0xD0 && marker <= 0xD9);
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

// Reads a whole file; null when it cannot be read, is empty or is larger than
// any picture the decoder takes could need.
static unsigned char* readFile(const char* path, size_t* size) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return nullptr;
  unsigned char* bytes = nullptr;
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length > 0 && length <= kMaxPictureFileBytes && std::fseek(file, 0, SEEK_SET) == 0)
    bytes = (unsigned char*)std::malloc((size_t)length);
  if (bytes && std::fread(bytes, 1, (size_t)length, file) != (size_t)length) {
    std::free(bytes);
    bytes = nullptr;
  }
  std::fclose(file);
  *size = bytes ? (size_t)length : 0;
  return bytes;
}

// The general reader's pixels (RGBA) of a file, checked as decodePictureBytes
// checks them; null when they cannot be had.
static unsigned char* decodeGeneral(const unsigned char* bytes, size_t size, int* width, int* height) {
  if (!jpegTablesSound(bytes, size)) return nullptr;
  if (!readPictureSize(bytes, size, width, height)) return nullptr;
  if (!plausibleSize(size, *width, *height)) return nullptr;
  unsigned char* rgba = decodePictureRgba(bytes, size, width, height);
  if (rgba && !plausibleSize(size, *width, *height)) {
    freePictureRgba(rgba);
    return nullptr;
  }
  return rgba;
}

PictureBitmap* decodePictureBytes(const unsigned char* bytes, size_t size) {
  if (!bytes || size == 0 || size > (size_t)kMaxPictureFileBytes) return nullptr;
  bool handled = false;
  PictureBitmap* png = decodeCommonPng(bytes, size, &handled);
  if (handled) return png;
  int width = 0, height = 0;
  unsigned char* rgba = decodeGeneral(bytes, size, &width, &height);
  if (!rgba) return nullptr;
  PictureBitmap* bitmap = bitmapFromRgba(rgba, width, height);
  freePictureRgba(rgba);
  return bitmap;
}

// A JPEG file holds no transparency: its pixels decode to three bytes each.
static int channelsToDecode(const unsigned char* bytes, size_t size) {
  return size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8 ? 3 : 4;
}

unsigned char* decodePictureGray(const unsigned char* bytes, size_t size, int* width, int* height) {
  if (!bytes || size == 0 || size > (size_t)kMaxPictureFileBytes || !width || !height) return nullptr;
  bool handled = false;
  unsigned char* png = decodeCommonPngGray(bytes, size, width, height, &handled);
  if (handled) return png;
  if (!jpegTablesSound(bytes, size)) return nullptr;
  int w = 0, h = 0;
  if (!readPictureSize(bytes, size, &w, &h) || !plausibleSize(size, w, h)) return nullptr;
  int channels = channelsToDecode(bytes, size);
  unsigned char* pixels = decodePicturePixels(bytes, size, channels, &w, &h);
  if (!pixels) return nullptr;
  if (!plausibleSize(size, w, h)) {
    freePictureRgba(pixels);
    return nullptr;
  }
  // The decoded pixels turn grey where they lie: no second copy beside them.
  size_t count = (size_t)w * h;
  packedToGrayInPlace(pixels, count, channels);
  // Shrinking keeps the bytes; should it fail, the larger buffer serves.
  unsigned char* grey = (unsigned char*)std::realloc(pixels, count);
  *width = w;
  *height = h;
  return grey ? grey : pixels;
}

unsigned char* loadPictureGray(const char* path, int* width, int* height) {
  if (!path) return nullptr;
  size_t size = 0;
  unsigned char* bytes = readFile(path, &size);
  if (!bytes) return nullptr;
  unsigned char* grey = decodePictureGray(bytes, size, width, height);
  std::free(bytes);
  return grey;
}

PictureBitmap* loadPictureBitmap(const char* path) {
  if (!path) return nullptr;
  size_t size = 0;
  unsigned char* bytes = readFile(path, &size);
  if (!bytes) return nullptr;
  PictureBitmap* bitmap = decodePictureBytes(bytes, size);
  std::free(bytes);
  return bitmap;
}

void freePictureBitmap(PictureBitmap* bitmap) {
  if (!bitmap) return;
  std::free(bitmap->pixels);
  std::free(bitmap);
}
