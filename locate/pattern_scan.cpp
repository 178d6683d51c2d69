#include "locate/pattern_scan.h"

#include <cstdlib>
#include <cstring>

#include "image/picture_bitmap.h"
#include "locate/binarize.h"

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

void scanLine(const unsigned char* values, int length, const int* thresholds, float line, int direction,
              int threshold, HitList* hits) {
  if (!values || length < 17 || !thresholds || !hits) return;
  float* edges = (float*)std::malloc(sizeof(float) * (size_t)(2 * length + 2));
  if (!edges) return;
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
      if (window[shape.wideRun] < 3.0f * window[shape.nextRun]) continue;
      if (!runsMatch(window, shape)) continue;
      float first = edges[i], end = edges[i + shape.runs];
      addHit(hits, line, shape.innerAtEnd ? end : first, shape.innerAtEnd ? first : end, direction, shape,
             threshold);
    }
  }
  std::free(edges);
}

void sampleLevels(const unsigned char* grey, int width, int height, int* threshold, int* light) {
  int histogram[256] = {0};
  *threshold = 128;
  *light = 255;
  if (!grey || width < 1 || height < 1) return;
  // Every other pixel of every other row counts once: the shape of the
  // histogram is what matters.
  int step = (long long)width * height > (1 << 16) ? 2 : 1;
  for (int y = 0; y < height; y += step) {
    const unsigned char* row = grey + (size_t)y * width;
    for (int x = 0; x < width; x += step) histogram[row[x]]++;
  }
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
  *threshold = selectThreshold(histogram);
}

namespace {

// Darker than the mean of the window around it by 2 levels plus 1/32 of the
// mean: a small margin keeps paper grain light, and blurred thin bars beside
// the start pattern's wide bar, which pulls the mean down, still count dark.
void localThresholds(const unsigned char* values, int length, int window, int* thresholds) {
  int radius = window / 2;
  if (radius < 1) radius = 1;
  long long sum = 0;
  int from = 0, to = 0;  // the window [from, to)
  // A whole window divides by a multiplication; the ends of the line by a
  // division.
  const long long full = 2LL * radius + 1, reciprocal = (1LL << 32) / full + 1;
  for (int x = 0; x < length; x++) {
    int wantedTo = x + radius + 1 < length ? x + radius + 1 : length;
    int wantedFrom = x - radius > 0 ? x - radius : 0;
    while (to < wantedTo) sum += values[to++];
    while (from < wantedFrom) sum -= values[from++];
    int mean = to - from == full ? (int)((sum * reciprocal) >> 32) : (int)(sum / (to - from));
    thresholds[x] = mean - 2 - mean / 32;
  }
}

void scanWithThresholds(const unsigned char* values, int length, const ScanSettings& settings, float line,
                        int direction, int* thresholds, HitList* hits) {
  if (settings.thresholds & (1 << kGlobalThreshold)) {
    for (int x = 0; x < length; x++) thresholds[x] = settings.globalLevel;
    scanLine(values, length, thresholds, line, direction, kGlobalThreshold, hits);
  }
  if (settings.thresholds & (1 << kLocalThreshold)) {
    localThresholds(values, length, settings.window, thresholds);
    scanLine(values, length, thresholds, line, direction, kLocalThreshold, hits);
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
  // Columns are gathered a block at a time, so that each pass over the
  // picture's rows serves many columns.
  enum { kColumnBlock = 64 };
  unsigned char* columns = (unsigned char*)std::malloc((size_t)kColumnBlock * height);
  bool ok = thresholds && columns;
  if (ok) {
    for (int y = step / 2; y < height; y += step)
      scanWithThresholds(grey + (size_t)y * width, width, settings, y + 0.5f, kScanRows, thresholds, hits);
    for (int first = step / 2; first < width; first += kColumnBlock * step) {
      int count = 0;
      for (int x = first; x < width && count < kColumnBlock; x += step) count++;
      for (int y = 0; y < height; y++) {
        const unsigned char* row = grey + (size_t)y * width + first;
        for (int c = 0; c < count; c++) columns[(size_t)c * height + y] = row[c * step];
      }
      for (int c = 0; c < count; c++)
        scanWithThresholds(columns + (size_t)c * height, height, settings, first + c * step + 0.5f, kScanColumns,
                           thresholds, hits);
    }
  }
  std::free(thresholds);
  std::free(columns);
  return ok;
}
