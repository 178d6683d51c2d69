#include "locate/adaptive_binarize.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/picture_limits.h"
#include "locate/binarize.h"
#include "locate/gray_histogram.h"

namespace pdf417read::detail {

enum {
  // A pixel must lie this many levels (plus mean / 16) below its
  // neighbourhood's mean to count as dark.
  kFlatContrast = 5,
  kMinWindow = 3,
  // Box sums live in wrapping 32-bit integers; a box of up to 4095 x 4095
  // pixels of 255 sums below 2^32, so its sum comes out exact.
  kMaxWindow = 4095,
};

static bool validPicture(const unsigned char* pixels, int width, int height) {
  return pixels && width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         (long long)width * height <= kMaxPicturePixels;
}

static constexpr bool darkerThanMean(int pixel, int mean) {
  return pixel < mean - kFlatContrast - mean / 16;
}

static void binarizeByGlobalMean(unsigned char* pixels, int width, int height) {
  size_t count = (size_t)width * height;
  uint64_t sum = 0;
  for (size_t i = 0; i < count; i++) sum += pixels[i];
  int mean = (int)((sum + count / 2) / count);
  for (size_t i = 0; i < count; i++) pixels[i] = darkerThanMean(pixels[i], mean) ? 1 : 0;
}

// The highest rounded mean at which `level` is not yet dark, per level:
// darkerThanMean rises with the mean, so a pixel is dark exactly when its
// box's rounded mean exceeds this.
struct LightUpTo {
  int of[256];
  constexpr LightUpTo() : of() {
    for (int level = 0; level < 256; level++) {
      int mean = 0;
      while (mean < 255 && !darkerThanMean(level, mean + 1)) mean++;
      of[level] = mean;
    }
  }
};
static constexpr LightUpTo kLightUpTo;

// Running sums for the boxes of one row at a time: the column sums over the
// window's rows, their prefix sums along the row, and the original values
// of the rows that will leave the window, which binarising overwrites.
// Sums wrap in 32 bits: a box's sum, taken as a difference, comes out exact
// whenever its true sum fits (kMaxWindow).
struct BoxSums {
  uint32_t* columns;  // width
  uint32_t* prefix;   // width + 1
  unsigned char* kept;  // keptRows rows, row y in slot y % keptRows
  unsigned char* blank;  // width zeros: the row that enters or leaves past an edge
  int keptRows;
};

static bool allocateBoxSums(BoxSums* b, int width, int height, int radius) {
  b->keptRows = radius + 1 < height ? radius + 1 : height;
  b->columns = (uint32_t*)calloc((size_t)width, sizeof(uint32_t));
  b->prefix = (uint32_t*)malloc(((size_t)width + 1) * sizeof(uint32_t));
  b->kept = (unsigned char*)malloc((size_t)b->keptRows * width);
  b->blank = (unsigned char*)calloc((size_t)width, 1);
  return b->columns && b->prefix && b->kept && b->blank;
}

static void freeBoxSums(BoxSums* b) {
  free(b->columns);
  free(b->prefix);
  free(b->kept);
  free(b->blank);
}

// Moves the window down a row: the entering row joins the column sums, the
// leaving one leaves them, and the prefix sums along the row are taken
// afresh.
static void slideWindow(uint32_t* columns, uint32_t* prefix, const unsigned char* entering,
                        const unsigned char* leaving, int width) {
  uint32_t sum = 0;
  prefix[0] = 0;
  for (int x = 0; x < width; x++) {
    uint32_t column = columns[x] + entering[x] - leaving[x];
    columns[x] = column;
    sum += column;
    prefix[x + 1] = sum;
  }
}

// The rounded mean (sum + count / 2) / count exceeds m exactly when
// sum + count / 2 >= (m + 1) * count: a product in place of a division.

// Pixels [from, to) of a row whose boxes, prefix columns x - radius to
// x + radius, all hold `count` pixels, fewer than 2^23: the products fit
// 32 bits.
static void binarizeWholeBoxes(unsigned char* row, const uint32_t* prefix, int from, int to, int radius,
                               uint32_t count) {
  uint32_t half = count / 2;
  for (int x = from; x < to; x++) {
    uint32_t boxSum = prefix[x + radius + 1] - prefix[x - radius];
    row[x] = boxSum + half >= (uint32_t)(kLightUpTo.of[row[x]] + 1) * count ? 1 : 0;
  }
}

// Pixels [from, to) of a row against their boxes clipped to the row's
// width, of columns `rows` tall.
static void binarizeClippedBoxes(unsigned char* row, const uint32_t* prefix, int from, int to, int width, int radius,
                                 int rows) {
  for (int x = from; x < to; x++) {
    int left = x - radius < 0 ? 0 : x - radius;
    int right = x + radius + 1 > width ? width : x + radius + 1;
    uint32_t boxSum = prefix[right] - prefix[left];
    uint64_t count = (uint64_t)(right - left) * (uint64_t)rows;
    uint64_t darkFrom = (uint64_t)(kLightUpTo.of[row[x]] + 1) * count;
    row[x] = (uint64_t)boxSum + count / 2 >= darkFrom ? 1 : 0;
  }
}

// One row against its boxes, taken from the prefix sums of columns `rows`
// tall (the window's height at this row). Where the box lies wholly inside
// the row its count is the same for every pixel.
static void binarizeRow(unsigned char* row, const uint32_t* prefix, int width, int radius, int rows) {
  int wholeFrom = radius, wholeTo = width - radius;
  uint64_t wholeCount = (uint64_t)(2 * radius + 1) * (uint64_t)rows;
  if (wholeFrom >= wholeTo || wholeCount >= (1u << 23)) {
    binarizeClippedBoxes(row, prefix, 0, width, width, radius, rows);
    return;
  }
  binarizeClippedBoxes(row, prefix, 0, wholeFrom, width, radius, rows);
  binarizeWholeBoxes(row, prefix, wholeFrom, wholeTo, radius, (uint32_t)wholeCount);
  binarizeClippedBoxes(row, prefix, wholeTo, width, width, radius, rows);
}

void adaptiveBinarize(unsigned char* pixels, int width, int height, int window) {
  if (!validPicture(pixels, width, height)) return;
  if (window < kMinWindow) window = kMinWindow;
  if (window > kMaxWindow) window = kMaxWindow;
  int radius = window / 2;
  BoxSums b;
  if (!allocateBoxSums(&b, width, height, radius)) {
    freeBoxSums(&b);
    binarizeByGlobalMean(pixels, width, height);
    return;
  }
  // Row y's window holds rows [y - radius, y + radius], clipped. A row joins
  // it before any row at or below it is overwritten, and leaves it from the
  // copy kept when it was overwritten: the keptRows rows since then went to
  // other slots.
  for (int y = 0; y < radius && y < height; y++)
    for (int x = 0; x < width; x++) b.columns[x] += pixels[(size_t)y * width + x];
  for (int y = 0; y < height; y++) {
    int entering = y + radius, leaving = y - radius - 1;
    slideWindow(b.columns, b.prefix, entering < height ? pixels + (size_t)entering * width : b.blank,
                leaving >= 0 ? b.kept + (size_t)(leaving % b.keptRows) * width : b.blank, width);
    unsigned char* row = pixels + (size_t)y * width;
    memcpy(b.kept + (size_t)(y % b.keptRows) * width, row, (size_t)width);
    int top = y - radius < 0 ? 0 : y - radius;
    int bottom = entering + 1 > height ? height : entering + 1;
    binarizeRow(row, b.prefix, width, radius, bottom - top);
  }
  freeBoxSums(&b);
}

// The level t maximising the between-class variance w0 * w1 * (m0 - m1)^2,
// pixels below t forming the dark class.
int twoLevelSplit(const unsigned int histogram[256]) {
  double total = 0, count = 0;
  for (int level = 0; level < 256; level++) total += (double)level * histogram[level], count += histogram[level];
  double darkCount = 0, darkSum = 0, best = -1;
  int bestLevel = 128;
  for (int t = 1; t < 256; t++) {
    darkCount += histogram[t - 1];
    darkSum += (double)(t - 1) * histogram[t - 1];
    double lightCount = count - darkCount;
    if (darkCount == 0 || lightCount == 0) continue;
    double difference = darkSum / darkCount - (total - darkSum) / lightCount;
    double between = darkCount * lightCount * difference * difference;
    if (between > best) best = between, bestLevel = t;
  }
  return bestLevel;
}

void binarizeTwoLevels(unsigned char* pixels, int width, int height) {
  if (!validPicture(pixels, width, height)) return;
  size_t count = (size_t)width * height;
  unsigned histogram[256];
  countGrayLevels(pixels, width, height, (size_t)width, histogram);
  applyThreshold(pixels, pixels, count, twoLevelSplit(histogram));
}

void binarizeAlongRows(unsigned char* pixels, int width, int height, int reach) {
  if (!validPicture(pixels, width, height)) return;
  if (reach < 1) reach = 1;
  size_t count = (size_t)width * height;
  unsigned histogram[256];
  countGrayLevels(pixels, width, height, (size_t)width, histogram);
  int split = twoLevelSplit(histogram);
  int darkest = 0, lightest = 255;
  while (darkest < 255 && !histogram[darkest]) darkest++;
  while (lightest > 0 && !histogram[lightest]) lightest--;
  int minSwing = (lightest - darkest) / 4;
  unsigned char* row = (unsigned char*)malloc((size_t)width);
  if (!row) {
    applyThreshold(pixels, pixels, count, split);
    return;
  }
  for (int y = 0; y < height; y++) {
    unsigned char* line = pixels + (size_t)y * width;
    memcpy(row, line, (size_t)width);
    for (int x = 0; x < width; x++) {
      int from = x - reach < 0 ? 0 : x - reach, to = x + reach >= width ? width - 1 : x + reach;
      int low = 255, high = 0;
      for (int k = from; k <= to; k++) {
        low = row[k] < low ? row[k] : low;
        high = row[k] > high ? row[k] : high;
      }
      int level = high - low >= minSwing ? (low + high + 1) / 2 : split;
      line[x] = row[x] < level ? 1 : 0;
    }
  }
  free(row);
}

}  // namespace pdf417read::detail
