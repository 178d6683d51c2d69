#include "locate/light_patterns.h"

#include <cstdlib>

#include "image/picture_limits.h"
#include "locate/line_crossings.h"
#include "locate/run_matching.h"

namespace pdf417read::detail {

using namespace pattern_scan;

namespace {

// Lines first, first + 2 * step, ... before `end`.
int everyOther(int first, int step, int end) { return first < end ? (end - first - 1) / (2 * step) + 1 : 0; }

}  // namespace

bool makeKeptCrossings(int width, int height, int step, KeptCrossings* kept) {
  *kept = KeptCrossings{nullptr, 0, 0, nullptr, 0, 0};
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide || step < 1) return false;
  int rows = everyOther(step / 2, step, height), columns = everyOther(step / 2, step, width);
  size_t room = (size_t)rows * noiseCrossings(width) + (size_t)columns * noiseCrossings(height);
  kept->positions = (unsigned short*)std::malloc(sizeof(unsigned short) * (room > 0 ? room : 1));
  kept->lines = (KeptLine*)std::malloc(sizeof(KeptLine) * (size_t)(rows + columns));
  if (!kept->positions || !kept->lines) {
    freeKeptCrossings(kept);
    return false;
  }
  kept->capacity = room;
  kept->lineCapacity = rows + columns;
  return true;
}

void freeKeptCrossings(KeptCrossings* kept) {
  std::free(kept->positions);
  std::free(kept->lines);
  *kept = KeptCrossings{nullptr, 0, 0, nullptr, 0, 0};
}

void keepCrossings(KeptCrossings* kept, float line, int direction, const int* starts, int count) {
  // A light wide bar and the seven runs beside it, not cut by the line's
  // ends, take eight crossings at least.
  if (count < 8 || kept->lineCount >= kept->lineCapacity || (size_t)count > kept->capacity - kept->used) return;
  unsigned short* out = kept->positions + kept->used;
  for (int k = 0; k < count; k++) out[k] = (unsigned short)starts[k + 1];
  kept->lines[kept->lineCount++] = KeptLine{line, direction, kept->used, count};
  kept->used += (size_t)count;
}

bool findLightPatterns(const unsigned char* gray, int width, int height, int level, const KeptCrossings& kept,
                       HitList* lightBars) {
  if (!gray || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide || !lightBars)
    return true;
  int longest = width > height ? width : height;
  int* starts = (int*)std::malloc(sizeof(int) * (size_t)(longest + 2));
  if (!starts) return false;
  for (int i = 0; i < kept.lineCount; i++) {
    const KeptLine& l = kept.lines[i];
    bool rows = l.direction == kScanRows;
    int length = rows ? width : height, index = (int)l.line;
    if ((!rows && l.direction != kScanColumns) || index < 0 || index >= (rows ? height : width) || l.count < 0 ||
        l.count >= length || l.first > kept.used || (size_t)l.count > kept.used - l.first)
      continue;
    starts[0] = 0;
    for (int k = 0; k < l.count; k++) starts[k + 1] = kept.positions[l.first + k];
    starts[l.count + 1] = length;
    const unsigned char* values = rows ? gray + (size_t)index * width : gray + index;
    matchLightRuns(values, rows ? 1 : width, length, level, starts, l.count, l.line, l.direction,
                   lightBars);
  }
  std::free(starts);
  return true;
}

}  // namespace pdf417read::detail
