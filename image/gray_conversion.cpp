#include "image/gray_conversion.h"

#include <cstdlib>
#include <cstring>

#include "runtime/trace.h"

// Weighed in this order in double precision and truncated, not rounded.
static unsigned char weighed(unsigned char red, unsigned char green, unsigned char blue) {
  double value = (blue * 0.11 + green * 0.59) + red * 0.3;
  return (unsigned char)(int)value;
}

unsigned char* bitmapToGray(const PictureBitmap* bitmap, int* width, int* height) {
  if (!bitmap || !bitmap->pixels || bitmap->width < 1 || bitmap->height < 1) return nullptr;
  int w = bitmap->width, h = bitmap->height;
  *width = w;
  *height = h;
  size_t pixelCount = (size_t)w * h;
  unsigned char* gray = (unsigned char*)std::malloc(pixelCount);
  if (!gray) {
    trace(" image alloc error\n");
    return nullptr;
  }
  for (size_t i = 0; i < pixelCount; i++) {
    const unsigned char* bgr = bitmap->pixels + 3 * i;
    gray[i] = weighed(bgr[2], bgr[1], bgr[0]);
  }
  return gray;
}

static unsigned char overWhite(unsigned char value, unsigned char alpha) {
  return (unsigned char)((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

void packedToGrayInPlace(unsigned char* pixels, size_t count, int channels) {
  bool colour = channels >= 3, alpha = channels == 2 || channels == 4;
  // Each pixel is read whole before its grey is written, at or before its
  // own first byte.
  for (size_t i = 0; i < count; i++) {
    const unsigned char* pixel = pixels + i * channels;
    unsigned char red = pixel[0], green = pixel[colour ? 1 : 0], blue = pixel[colour ? 2 : 0];
    if (alpha) {
      unsigned char opacity = pixel[channels - 1];
      red = overWhite(red, opacity);
      green = overWhite(green, opacity);
      blue = overWhite(blue, opacity);
    }
    pixels[i] = weighed(red, green, blue);
  }
}

static bool offsetInside(int offset, int pixelBytes) { return offset >= 0 && offset < pixelBytes; }

unsigned char* pixelsToGray(const unsigned char* pixels, int width, int height, long long rowStride,
                            int pixelBytes, int redOffset, int greenOffset, int blueOffset,
                            int alphaOffset) {
  if (!pixels || width < 1 || height < 1 || pixelBytes < 1) return nullptr;
  if (!offsetInside(redOffset, pixelBytes) || !offsetInside(greenOffset, pixelBytes) ||
      !offsetInside(blueOffset, pixelBytes) || (alphaOffset != -1 && !offsetInside(alphaOffset, pixelBytes)))
    return nullptr;
  if (rowStride < (long long)width * pixelBytes) return nullptr;
  unsigned char* gray = (unsigned char*)std::malloc((size_t)width * height);
  if (!gray) return nullptr;
  bool alreadyGrey = pixelBytes == 1 && alphaOffset == -1;
  for (int y = 0; y < height; y++) {
    const unsigned char* row = pixels + (size_t)y * (size_t)rowStride;
    unsigned char* out = gray + (size_t)y * width;
    if (alreadyGrey) {
      std::memcpy(out, row, (size_t)width);
      continue;
    }
    for (int x = 0; x < width; x++) {
      const unsigned char* pixel = row + (size_t)x * pixelBytes;
      unsigned char red = pixel[redOffset], green = pixel[greenOffset], blue = pixel[blueOffset];
      if (alphaOffset != -1) {
        unsigned char alpha = pixel[alphaOffset];
        red = overWhite(red, alpha);
        green = overWhite(green, alpha);
        blue = overWhite(blue, alpha);
      }
      out[x] = weighed(red, green, blue);
    }
  }
  return gray;
}
