// The start and stop patterns as runs of modules, read either way along a
// line, and the test of a window of runs against them.
#ifndef PDF417_LOCATE_PATTERN_SHAPES_H
#define PDF417_LOCATE_PATTERN_SHAPES_H

#include "locate/pattern_scan.h"

namespace pdf417read::detail::pattern_scan {

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

inline constexpr PatternShape kShapes[4] = {
    {8, {8, 1, 1, 1, 1, 1, 1, 3}, 17, true, true, kStartPatternKind, false, 0, 1},
    {8, {3, 1, 1, 1, 1, 1, 1, 8}, 17, false, false, kStartPatternKind, true, 7, 6},
    {9, {7, 1, 1, 3, 1, 1, 1, 2, 1}, 18, true, false, kStopPatternKind, false, 0, 1},
    {9, {1, 2, 1, 1, 1, 3, 1, 1, 7}, 18, true, true, kStopPatternKind, true, 8, 7},
};

// The shape's runs between edges[0..shape.runs], kept as a hit when they fit
// and hits[lineFirst..] (none when lineFirst < 0) do not hold it already.
void matchWindow(const float* edges, const PatternShape& shape, float line, int direction, int threshold,
                 HitList* hits, int lineFirst = -1);

}  // namespace pdf417read::detail::pattern_scan

#endif
