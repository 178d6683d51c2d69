#include "locate/pattern_scan.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/picture_bitmap.h"
#include "locate/adaptive_binarize.h"

namespace {

// Module widths, first run first, and how the inner and outer edges sit in
// the window of runs: `innerAtEnd` puts the inner edge after the last run.
struct PatternShape {
  int runs;
  int widths[9];
  int modules;
  bool firstDark;
  bool innerAtEnd;
  int kind;
  bool reversed;
  int wideRun;  // the pattern's wide bar, to reject most windows cheaply
  int nextRun;  // a one-module run beside it
};

const PatternShape kShapes[4] = {
    {8, {8, 1, 1, 1, 1, 1, 1, 3}, 17, true, true, kStartPatternKind, false, 0, 1},
    {8, {3, 1, 1, 1, 1, 1, 1, 8}, 17, false, false, kStartPatternKind, true, 7, 6},
    {9, {7, 1, 1, 3, 1, 1, 1, 2, 1}, 18, true, false, kStopPatternKind, false, 0, 1},
    {9, {1, 2, 1, 1, 1, 3, 1, 1, 7}, 18, true, true, kStopPatternKind, true, 8, 7},
};

// Every run within 0.8 of a module of its width and the deviations together
// within 0.42 of the pattern's length: the tolerances of the row search.
bool runsMatch(const float* runs, const PatternShape& shape) {
  float total = 0;
  for (int k = 0; k < shape.runs; k++) total += runs[k];
  if (total < shape.modules * 0.8f) return false;
  float unit = total / shape.modules, limit = unit * (204.0f / 256.0f), sum = 0;
  for (int k = 0; k < shape.runs; k++) {
    float deviation = runs[k] - shape.widths[k] * unit;
    if (deviation < 0) deviation = -deviation;
    if (deviation > limit) return false;
    sum += deviation;
  }
  return sum < total * (107.0f / 256.0f);
}

void addHit(HitList* hits, float line, float inner, float outer, int direction, const PatternShape& shape,
            int threshold) {
  if (hits->count >= hits->capacity) return;
  PatternHit& hit = hits->hits[hits->count++];
  hit.line = line;
  hit.inner = inner;
  hit.outer = outer;
  hit.direction = (unsigned char)direction;
  hit.kind = (unsigned char)shape.kind;
  hit.reversed = shape.reversed;
  hit.threshold = (unsigned char)threshold;
}

// Colour changes along the line at sub-pixel positions: where the grey value
// crosses the threshold between two pixel centres. edges[0] is the line's
// start and the last entry its end. Returns the number of entries.
int findEdges(const unsigned char* values, int length, const int* thresholds, float* edges, bool* firstDark) {
  int count = 0;
  edges[count++] = 0;
  *firstDark = values[0] < thresholds[0];
  int previous = values[0] - thresholds[0];
  for (int x = 1; x < length; x++) {
    int current = values[x] - thresholds[x];
    if ((previous < 0) != (current < 0)) edges[count++] = x - 0.5f + (float)previous / (float)(previous - current);
    previous = current;
  }
  edges[count++] = (float)length;
  return count;
}

}  // namespace

namespace {

// scanLine with its working room given: edges holds 2 * length + 2 floats.
void scanLineInto(const unsigned char* values, int length, const int* thresholds, float line, int direction,
                  int threshold, float* edges, HitList* hits) {
  bool firstDark = false;
  int edgeCount = findEdges(values, length, thresholds, edges, &firstDark);
  int runCount = edgeCount - 1;
  float* runs = edges + edgeCount;
  for (int i = 0; i < runCount; i++) runs[i] = edges[i + 1] - edges[i];
  for (int i = 0; i < runCount; i++) {
    bool dark = firstDark == (i % 2 == 0);
    for (const PatternShape& shape : kShapes) {
      if (dark != shape.firstDark || i + shape.runs > runCount) continue;
      const float* window = runs + i;
      // The wide bar spans at least five pixels while modules are 0.8 pixel
      // or more, and is at least three times its neighbour.
      float wide = window[shape.wideRun];
      if (wide < 5.0f || wide < 3.0f * window[shape.nextRun]) continue;
      if (!runsMatch(window, shape)) continue;
      float first = edges[i], end = edges[i + shape.runs];
      addHit(hits, line, shape.innerAtEnd ? end : first, shape.innerAtEnd ? first : end, direction, shape,
             threshold);
    }
  }
}

}  // namespace

void scanLine(const unsigned char* values, int length, const int* thresholds, float line, int direction,
              int threshold, HitList* hits) {
  if (!values || length < 17 || !thresholds || !hits) return;
  float* edges = (float*)std::malloc(sizeof(float) * (size_t)(2 * length + 2));
  if (!edges) return;
  scanLineInto(values, length, thresholds, line, direction, threshold, edges, hits);
  std::free(edges);
}

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

namespace {

// Darker than the mean of the window around it by 2 levels plus 1/32 of the
// mean: a small margin keeps paper grain light, and blurred thin bars beside
// the start pattern's wide bar, which pulls the mean down, still count dark.
void localThresholds(const unsigned char* values, int length, int window, int* thresholds) {
  int radius = window / 2;
  if (radius < 1) radius = 1;
  if (2 * radius + 1 > length) radius = (length - 1) / 2;
  // Near the ends the window is cut short and divides by what it holds; in
  // between a whole window divides by a multiplication.
  long long sum = 0;
  for (int x = 0; x <= radius && x < length; x++) sum += values[x];
  const long long full = 2LL * radius + 1, reciprocal = (1LL << 32) / full + 1;
  int count = radius + 1;
  for (int x = 0; x < length; x++) {
    int mean;
    if (count == full) {
      mean = (int)((sum * reciprocal) >> 32);
    } else {
      mean = (int)(sum / count);
    }
    thresholds[x] = mean - 2 - mean / 32;
    // Slide: the pixel radius + 1 ahead comes in, the one radius behind goes.
    if (x + radius + 1 < length) sum += values[x + radius + 1], count++;
    if (x - radius >= 0) sum -= values[x - radius], count--;
  }
}

// A line whose grey levels span less than this cannot show a pattern.
enum { kMinLineContrast = 24 };

void scanWithThresholds(const unsigned char* values, int length, const ScanSettings& settings, float line,
                        int direction, int* thresholds, float* edges, HitList* hits) {
  if (length < 17) return;
  int low = 255, high = 0;
  for (int x = 0; x < length; x++) {
    low = values[x] < low ? values[x] : low;
    high = values[x] > high ? values[x] : high;
  }
  if (high - low < kMinLineContrast) return;
  bool crossesGlobal = low < settings.globalLevel && high >= settings.globalLevel;
  if ((settings.thresholds & (1 << kGlobalThreshold)) && crossesGlobal) {
    for (int x = 0; x < length; x++) thresholds[x] = settings.globalLevel;
    scanLineInto(values, length, thresholds, line, direction, kGlobalThreshold, edges, hits);
  }
  if (settings.thresholds & (1 << kLocalThreshold)) {
    localThresholds(values, length, settings.window, thresholds);
    scanLineInto(values, length, thresholds, line, direction, kLocalThreshold, edges, hits);
  }
}

}  // namespace

bool scanForPatterns(const unsigned char* grey, int width, int height, const ScanSettings& settings,
                     HitList* hits) {
  if (!grey || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide || !hits)
    return true;
  int step = settings.step < 1 ? 1 : settings.step;
  int longest = width > height ? width : height;
  int* thresholds = (int*)std::malloc(sizeof(int) * (size_t)longest);
  float* edges = (float*)std::malloc(sizeof(float) * (size_t)(2 * longest + 2));
  // Columns are gathered a block at a time, so that each pass over the
  // picture's rows serves many columns.
  enum { kColumnBlock = 64 };
  unsigned char* columns = (unsigned char*)std::malloc((size_t)kColumnBlock * height);
  bool ok = thresholds && edges && columns;
  if (ok) {
    for (int y = step / 2; y < height; y += step)
      scanWithThresholds(grey + (size_t)y * width, width, settings, y + 0.5f, kScanRows, thresholds, edges, hits);
    for (int first = step / 2; first < width; first += kColumnBlock * step) {
      int count = 0;
      for (int x = first; x < width && count < kColumnBlock; x += step) count++;
      for (int y = 0; y < height; y++) {
        const unsigned char* row = grey + (size_t)y * width + first;
        for (int c = 0; c < count; c++) columns[(size_t)c * height + y] = row[c * step];
      }
      for (int c = 0; c < count; c++)
        scanWithThresholds(columns + (size_t)c * height, height, settings, first + c * step + 0.5f, kScanColumns,
                           thresholds, edges, hits);
    }
  }
  std::free(thresholds);
  std::free(edges);
  std::free(columns);
  return ok;
}
