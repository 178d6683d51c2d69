#include "locate/gray_histogram.h"

namespace pdf417read::detail {

namespace {

enum { kGrayLevels = 256 };

// Four tables take turns so that runs of equal bytes do not wait on each
// other's increments. Inlined into each caller, so that the steps of a whole
// picture's count are constants.
__attribute__((always_inline)) inline void countLevels(const unsigned char* pixels, int width, int height,
                                                       size_t stride, int rowStep, int columnStep,
                                                       unsigned histogram[kGrayLevels]) {
  unsigned counts[4][kGrayLevels] = {};
  for (int y = 0; y < height; y += rowStep) {
    const unsigned char* row = pixels + (size_t)y * stride;
    int x = 0;
    for (; x + 3 * columnStep < width; x += 4 * columnStep) {
      counts[0][row[x]]++;
      counts[1][row[x + columnStep]]++;
      counts[2][row[x + 2 * columnStep]]++;
      counts[3][row[x + 3 * columnStep]]++;
    }
    for (; x < width; x += columnStep) counts[0][row[x]]++;
  }
  for (int k = 0; k < kGrayLevels; k++) histogram[k] = counts[0][k] + counts[1][k] + counts[2][k] + counts[3][k];
}

}  // namespace

void countGrayLevels(const unsigned char* pixels, int width, int height, size_t stride, unsigned histogram[256]) {
  countLevels(pixels, width, height, stride, 1, 1, histogram);
}

void countSampledGrayLevels(const unsigned char* pixels, int width, int height, size_t stride, int rowStep,
                            int columnStep, unsigned histogram[256]) {
  countLevels(pixels, width, height, stride, rowStep < 1 ? 1 : rowStep, columnStep < 1 ? 1 : columnStep, histogram);
}

int grayPercentile(const unsigned histogram[256], int percent) {
  long long total = 0;
  for (int level = 0; level < kGrayLevels; level++) total += histogram[level];
  long long seen = 0;
  for (int level = 0; level < kGrayLevels; level++) {
    seen += histogram[level];
    if (seen * 100 >= total * percent) return level;
  }
  return kGrayLevels - 1;
}

}  // namespace pdf417read::detail
