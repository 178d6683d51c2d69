#include "image/picture_bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <stb_image.h>

enum { kUrlCapacity = 268 };

int pathToFileUrl(const char* path, wchar_t* wideUrl, int capacity) {
  static const char prefix[] = "file://";
  char url[kUrlCapacity];
  size_t prefixLength = sizeof prefix - 1;
  size_t pathLength = std::strlen(path);
  if (prefixLength + pathLength + 1 > sizeof url) return 0;
  if (capacity < 1 || prefixLength + pathLength + 1 > (size_t)capacity) return 0;
  std::memcpy(url, prefix, prefixLength);
  std::memcpy(url + prefixLength, path, pathLength + 1);
  for (char* p = url; *p; p++)
    if (*p == '\\') *p = '/';
  // Bytes widen one to one: the URL only names a file, no text is shown.
  int count = 0;
  do {
    wideUrl[count] = (wchar_t)(unsigned char)url[count];
  } while (url[count++] != 0);
  return count;
}

// A header can claim any size; compressed formats cannot expand a file by more
// than about a thousand times, so a claim far beyond that is a corrupt file.
static bool plausibleSize(long fileBytes, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
  long long pixels = (long long)width * height;
  return pixels <= (long long)fileBytes * 4096 + 65536;
}

static long fileSize(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(file);
  if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return size;
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

PictureBitmap* loadPictureBitmap(const char* path) {
  if (!path) return nullptr;
  wchar_t url[kUrlCapacity];
  if (pathToFileUrl(path, url, kUrlCapacity) == 0) return nullptr;

  FILE* file = std::fopen(path, "rb");
  if (!file) return nullptr;
  long bytes = fileSize(file);
  int width = 0, height = 0, channels = 0;
  bool sizeOk = bytes > 0 && stbi_info_from_file(file, &width, &height, &channels) &&
                plausibleSize(bytes, width, height);
  unsigned char* rgba = nullptr;
  if (sizeOk) {
    std::fseek(file, 0, SEEK_SET);
    rgba = stbi_load_from_file(file, &width, &height, &channels, 4);
  }
  std::fclose(file);
  if (!rgba) return nullptr;
  PictureBitmap* bitmap = nullptr;
  if (plausibleSize(bytes, width, height)) bitmap = bitmapFromRgba(rgba, width, height);
  stbi_image_free(rgba);
  return bitmap;
}

void freePictureBitmap(PictureBitmap* bitmap) {
  if (!bitmap) return;
  std::free(bitmap->pixels);
  std::free(bitmap);
}
