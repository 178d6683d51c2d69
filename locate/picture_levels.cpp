#include "locate/picture_levels.h"

#include <cmath>
#include <cstddef>

#include "locate/adaptive_binarize.h"

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

void sampleLevels(const unsigned char* grey, int width, int height, int* threshold, int* light) {
  *threshold = 128;
  *light = 255;
  if (!grey || width < 1 || height < 1) return;
  // Some 300 rows and every other pixel of them count: the shape of the
  // histogram is what matters. Four histograms take turns, so that a run
  // of equal pixels does not wait on one counter.
  int histograms[4][256] = {{0}};
  int rowStep = height / 300 > 1 ? height / 300 : 1;
  int step = (long long)width * height > (1 << 16) ? 2 : 1;
  for (int y = 0; y < height; y += rowStep) {
    const unsigned char* row = grey + (size_t)y * width;
    int x = 0;
    for (; x + 3 * step < width; x += 4 * step) {
      histograms[0][row[x]]++;
      histograms[1][row[x + step]]++;
      histograms[2][row[x + 2 * step]]++;
      histograms[3][row[x + 3 * step]]++;
    }
    for (; x < width; x += step) histograms[0][row[x]]++;
  }
  unsigned int histogram[256];
  for (int level = 0; level < 256; level++)
    histogram[level] = histograms[0][level] + histograms[1][level] + histograms[2][level] + histograms[3][level];
  long long total = 0;
  for (int level = 0; level < 256; level++) total += histogram[level];
  long long seen = 0;
  for (int level = 0; level < 256; level++) {
    seen += histogram[level];
    if (seen * 10 >= total * 9) {
      *light = level;
      break;
    }
  }
  *threshold = classMidpoint(histogram, twoLevelSplit(histogram));
}
