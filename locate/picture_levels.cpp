#include "locate/picture_levels.h"

#include <cmath>
#include <cstddef>

#include "locate/adaptive_binarize.h"
#include "locate/gray_histogram.h"

namespace pdf417read::detail {

namespace {

// Halfway between the mean levels below and from `split`: an edge between a
// dark and a light pixel then falls halfway between them, and a picture of
// pure black and white splits at 128, not at 1.
int classMidpoint(const unsigned int* histogram, int split) {
  double count[2] = {0, 0}, sum[2] = {0, 0};
  for (int level = 0; level < 256; level++) {
    int side = level >= split;
    count[side] += histogram[level];
    sum[side] += (double)level * histogram[level];
  }
  if (count[0] == 0 || count[1] == 0) return split;
  return (int)std::lround((sum[0] / count[0] + sum[1] / count[1]) * 0.5);
}

}  // namespace

void sampleLevels(const unsigned char* gray, int width, int height, int* threshold, int* light) {
  *threshold = 128;
  *light = 255;
  if (!gray || width < 1 || height < 1) return;
  // Some 300 rows and every other pixel of them count: the shape of the
  // histogram is what matters.
  int rowStep = height / 300 > 1 ? height / 300 : 1;
  int step = (long long)width * height > (1 << 16) ? 2 : 1;
  unsigned histogram[256];
  countSampledGrayLevels(gray, width, height, (size_t)width, rowStep, step, histogram);
  *light = grayPercentile(histogram, 90);
  *threshold = classMidpoint(histogram, twoLevelSplit(histogram));
}

}  // namespace pdf417read::detail
