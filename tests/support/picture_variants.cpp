#include "support/picture_variants.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/picture_reader.h"
#include "locate/gray_histogram.h"

namespace pdf417read::detail {

enum {
  kMinEnlarge = 2, kMaxEnlarge = 4,
  kMinShrink = 2, kMaxShrink = 8,
};

static bool sizeFits(long long width, long long height) {
  return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

static bool validPicture(const unsigned char* gray, int width, int height) {
  return gray && sizeFits(width, height);
}

// Clears the size outputs, so a refused call leaves no stale size behind.
static unsigned char* refuse(int* newWidth, int* newHeight) {
  if (newWidth) *newWidth = 0;
  if (newHeight) *newHeight = 0;
  return nullptr;
}

// A new width x height buffer, or null when the size is out of range or the
// allocation fails; the sizes are written only on success.
static unsigned char* newPicture(long long width, long long height, int* newWidth,
                                 int* newHeight) {
  if (!newWidth || !newHeight || !sizeFits(width, height)) return refuse(newWidth, newHeight);
  unsigned char* picture = (unsigned char*)malloc((size_t)width * (size_t)height);
  if (!picture) return refuse(newWidth, newHeight);
  *newWidth = (int)width;
  *newHeight = (int)height;
  return picture;
}

unsigned char* padPicture(const unsigned char* gray, int width, int height, int margin,
                          unsigned char level, int* newWidth, int* newHeight) {
  if (!validPicture(gray, width, height) || margin < 0) return refuse(newWidth, newHeight);
  long long paddedWidth = width + 2LL * margin, paddedHeight = height + 2LL * margin;
  unsigned char* padded = newPicture(paddedWidth, paddedHeight, newWidth, newHeight);
  if (!padded) return nullptr;
  memset(padded, level, (size_t)paddedWidth * (size_t)paddedHeight);
  for (int y = 0; y < height; y++)
    memcpy(padded + (size_t)(y + margin) * (size_t)paddedWidth + margin,
           gray + (size_t)y * width, (size_t)width);
  return padded;
}

// Where output coordinate o of an enlargement by factor lands in the input,
// in units of 1 / (2 * factor): first pixel, the weight of the pixel after it
// (0 .. 2 * factor - 1), both neighbours clamped to 0 .. size - 1.
struct SamplePair {
  int first, second, weight;
};

static SamplePair enlargedSample(int o, int factor, int size) {
  int scale = 2 * factor;
  int position = 2 * o + 1 - factor;  // (o + 0.5) / factor - 0.5, times scale
  int first = position >= 0 ? position / scale : -((-position + scale - 1) / scale);
  SamplePair pair;
  pair.weight = position - first * scale;
  pair.first = first < 0 ? 0 : (first > size - 1 ? size - 1 : first);
  pair.second = first + 1 > size - 1 ? size - 1 : (first + 1 < 0 ? 0 : first + 1);
  return pair;
}

unsigned char* enlargePicture(const unsigned char* gray, int width, int height, int factor,
                              int* newWidth, int* newHeight) {
  if (!validPicture(gray, width, height) || factor < kMinEnlarge || factor > kMaxEnlarge)
    return refuse(newWidth, newHeight);
  long long bigWidth = (long long)width * factor, bigHeight = (long long)height * factor;
  unsigned char* big = newPicture(bigWidth, bigHeight, newWidth, newHeight);
  if (!big) return nullptr;
  int scale = 2 * factor, area = scale * scale;
  for (int y = 0; y < bigHeight; y++) {
    SamplePair row = enlargedSample(y, factor, height);
    const unsigned char* upper = gray + (size_t)row.first * width;
    const unsigned char* lower = gray + (size_t)row.second * width;
    unsigned char* out = big + (size_t)y * (size_t)bigWidth;
    for (int x = 0; x < bigWidth; x++) {
      SamplePair column = enlargedSample(x, factor, width);
      int top = upper[column.first] * (scale - column.weight) + upper[column.second] * column.weight;
      int bottom =
          lower[column.first] * (scale - column.weight) + lower[column.second] * column.weight;
      out[x] = (unsigned char)((top * (scale - row.weight) + bottom * row.weight + area / 2) / area);
    }
  }
  return big;
}

// Rounded mean of the block [x0, x1) x [y0, y1).
static unsigned char blockMean(const unsigned char* gray, int width, int x0, int x1, int y0,
                               int y1) {
  int sum = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) sum += gray[(size_t)y * width + x];
  int count = (x1 - x0) * (y1 - y0);
  return (unsigned char)((sum + count / 2) / count);
}

unsigned char* shrinkPicture(const unsigned char* gray, int width, int height, int factor,
                             int* newWidth, int* newHeight) {
  if (!validPicture(gray, width, height) || factor < kMinShrink || factor > kMaxShrink)
    return refuse(newWidth, newHeight);
  int smallWidth = (width + factor - 1) / factor, smallHeight = (height + factor - 1) / factor;
  unsigned char* small = newPicture(smallWidth, smallHeight, newWidth, newHeight);
  if (!small) return nullptr;
  for (int y = 0; y < smallHeight; y++) {
    int y0 = y * factor, y1 = y0 + factor < height ? y0 + factor : height;
    for (int x = 0; x < smallWidth; x++) {
      int x0 = x * factor, x1 = x0 + factor < width ? x0 + factor : width;
      small[(size_t)y * smallWidth + x] = blockMean(gray, width, x0, x1, y0, y1);
    }
  }
  return small;
}

unsigned char* turnPictureQuarter(const unsigned char* gray, int width, int height,
                                  int quarterTurns, int* newWidth, int* newHeight) {
  if (!validPicture(gray, width, height)) return refuse(newWidth, newHeight);
  int turns = (quarterTurns % 4 + 4) % 4;
  int turnedWidth = turns % 2 ? height : width, turnedHeight = turns % 2 ? width : height;
  unsigned char* turned = newPicture(turnedWidth, turnedHeight, newWidth, newHeight);
  if (!turned) return nullptr;
  // Each output pixel (x, y) reads the input pixel that the turn carries onto it.
  for (int y = 0; y < turnedHeight; y++) {
    unsigned char* out = turned + (size_t)y * turnedWidth;
    for (int x = 0; x < turnedWidth; x++) {
      int sourceX = x, sourceY = y;
      if (turns == 1) sourceX = y, sourceY = height - 1 - x;
      if (turns == 2) sourceX = width - 1 - x, sourceY = height - 1 - y;
      if (turns == 3) sourceX = width - 1 - y, sourceY = x;
      out[x] = gray[(size_t)sourceY * width + sourceX];
    }
  }
  return turned;
}

// Side of the turned picture's bounding box, given the extent along it, with
// the parity of the input side that lies mostly along it. The tolerance keeps
// cos(pi / 2) = 6e-17 from adding a pixel.
static long long turnedSide(double extent, int alignedSide) {
  if (!(extent < 4.0 * kMaxPictureSide)) return -1;
  long long side = (long long)std::ceil(extent - 1e-6);
  if ((side - alignedSide) % 2) side++;
  return side;
}

// Pixel (x, y) of the input, or fill outside it.
static double pixelOrFill(const unsigned char* gray, int width, int height, int x, int y,
                          unsigned char fill) {
  if (x < 0 || y < 0 || x >= width || y >= height) return fill;
  return gray[(size_t)y * width + x];
}

// Bilinear sample at (sx, sy); neighbours outside the picture count as fill,
// so its border blends into the fill instead of smearing outward.
static unsigned char bilinearSample(const unsigned char* gray, int width, int height, double sx,
                                    double sy, unsigned char fill) {
  if (!(sx > -1.0 && sy > -1.0 && sx < width && sy < height)) return fill;
  double floorX = std::floor(sx), floorY = std::floor(sy);
  int x = (int)floorX, y = (int)floorY;
  double fx = sx - floorX, fy = sy - floorY;
  double top = pixelOrFill(gray, width, height, x, y, fill) * (1 - fx) +
               pixelOrFill(gray, width, height, x + 1, y, fill) * fx;
  double bottom = pixelOrFill(gray, width, height, x, y + 1, fill) * (1 - fx) +
                  pixelOrFill(gray, width, height, x + 1, y + 1, fill) * fx;
  double value = top * (1 - fy) + bottom * fy + 0.5;
  return (unsigned char)(value < 0 ? 0 : (value > 255 ? 255 : value));
}

unsigned char* rotatePicture(const unsigned char* gray, int width, int height,
                             double angleRadians, unsigned char fill, int* newWidth,
                             int* newHeight) {
  if (!validPicture(gray, width, height) || !std::isfinite(angleRadians))
    return refuse(newWidth, newHeight);
  double cosine = std::cos(angleRadians), sine = std::sin(angleRadians);
  double across = width * std::fabs(cosine) + height * std::fabs(sine);
  double down = width * std::fabs(sine) + height * std::fabs(cosine);
  bool mostlyUpright = std::fabs(cosine) >= std::fabs(sine);
  long long turnedWidth = turnedSide(across, mostlyUpright ? width : height);
  long long turnedHeight = turnedSide(down, mostlyUpright ? height : width);
  unsigned char* turned = newPicture(turnedWidth, turnedHeight, newWidth, newHeight);
  if (!turned) return nullptr;
  // Output pixel p reads input c_in + R(-angle) (p - c_out), R turning
  // clockwise on screen (y down).
  double inCentreX = (width - 1) / 2.0, inCentreY = (height - 1) / 2.0;
  double outCentreX = (turnedWidth - 1) / 2.0, outCentreY = (turnedHeight - 1) / 2.0;
  for (int y = 0; y < turnedHeight; y++) {
    double dy = y - outCentreY;
    unsigned char* out = turned + (size_t)y * (size_t)turnedWidth;
    for (int x = 0; x < turnedWidth; x++) {
      double dx = x - outCentreX;
      double sx = inCentreX + cosine * dx + sine * dy;
      double sy = inCentreY - sine * dx + cosine * dy;
      out[x] = bilinearSample(gray, width, height, sx, sy, fill);
    }
  }
  return turned;
}

int lightLevel(const unsigned char* gray, int width, int height) {
  if (!validPicture(gray, width, height)) return 255;
  unsigned histogram[256];
  countGrayLevels(gray, width, height, (size_t)width, histogram);
  return grayPercentile(histogram, 90);
}

}  // namespace pdf417read::detail
