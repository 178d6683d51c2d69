#include "image/gray_conversion.h"

#include <cstdio>
#include <cstdlib>

unsigned char* bitmapToGray(const PictureBitmap* bitmap, int* width, int* height) {
  if (!bitmap || !bitmap->pixels || bitmap->width < 1 || bitmap->height < 1) return nullptr;
  int w = bitmap->width, h = bitmap->height;
  *width = w;
  *height = h;
  size_t pixelCount = (size_t)w * h;
  unsigned char* gray = (unsigned char*)std::malloc(pixelCount);
  if (!gray) {
    std::printf(" image alloc error\n");
    return nullptr;
  }
  for (size_t i = 0; i < pixelCount; i++) {
    const unsigned char* bgr = bitmap->pixels + 3 * i;
    // Weighed in this order in double precision and truncated, not rounded.
    double value = (bgr[0] * 0.11 + bgr[1] * 0.59) + bgr[2] * 0.3;
    gray[i] = (unsigned char)(int)value;
  }
  return gray;
}
