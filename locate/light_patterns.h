// The look-out for symbols printed light on dark. The scan keeps where every
// other row and column it cuts at the picture's level crosses it; only when
// the picture as it is read nothing are the light runs of those lines
// matched as light wide bars. A picture whose symbol reads pays for the
// keeping alone, and one without a symbol scans no line twice.
#ifndef PDF417_LOCATE_LIGHT_PATTERNS_H
#define PDF417_LOCATE_LIGHT_PATTERNS_H

#include <cstddef>

#include "locate/pattern_scan.h"

namespace pdf417read::detail {

// One line's crossings, kept: `line` as PatternHit has it (a row's y + 0.5,
// a column's x + 0.5), its crossings positions[first, first + count).
struct KeptLine {
  float line;
  int direction;  // kScanRows or kScanColumns
  size_t first;
  int count;
};

struct KeptCrossings {
  unsigned short* positions;  // room for `capacity`
  size_t capacity, used;
  KeptLine* lines;  // room for `lineCapacity`
  int lineCapacity, lineCount;
};

// Room for what the scan keeps of a picture whose rows and columns it
// scans `step` apart: every other one, each crossing no more often than a
// line of noise. False when it could not be allocated.
bool makeKeptCrossings(int width, int height, int step, KeptCrossings* kept);
void freeKeptCrossings(KeptCrossings* kept);

// Keeps starts[1..count] (as findCrossings leaves them) of a row or column;
// a line there is no room for is left out.
void keepCrossings(KeptCrossings* kept, float line, int direction, const int* starts, int count);

// Appends the light-on-dark sightings (as the negative would show them,
// give or take the threshold) of the kept lines of the picture, cut at
// `level` as the scan cut them. False only when a working buffer could not
// be allocated.
bool findLightPatterns(const unsigned char* gray, int width, int height, int level, const KeptCrossings& kept,
                       HitList* lightBars);

}  // namespace pdf417read::detail

#endif
