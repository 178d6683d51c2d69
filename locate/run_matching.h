// The patterns of a line cut at its threshold: the runs between its
// crossings, edges placed between pixels, matched against the patterns'
// shapes around every dark run wide enough to be a wide bar.
#ifndef PDF417_LOCATE_RUN_MATCHING_H
#define PDF417_LOCATE_RUN_MATCHING_H

#include "locate/line_crossings.h"
#include "locate/pattern_scan.h"

namespace pdf417read::detail::pattern_scan {

// Every pattern of a line: the wide bar is dark in all four shapes and 5.6
// pixels or more (seven modules of 0.8 pixel), and a run is less than a
// pixel wider than its whole pixels, so only dark runs of five whole pixels
// or more are tried. A line that crosses its threshold as often as noise
// does is not searched. With one level for the line and its darkest value
// `blurLow` (>= 0), a dark run that matched nothing but hides thin runs is
// searched again as blurred. starts: room for `length + 1` ints. False for
// such a line. With `keep` (not null), the crossings of a line searched are
// kept there for the light-on-dark look-out (see light_patterns.h).
template <typename Threshold>
bool scanRuns(const unsigned char* values, int length, Threshold threshold, float line, int direction,
              int thresholdKind, int* starts, HitList* hits, int blurLow = -1, KeptCrossings* keep = nullptr);

// The light runs of a row or column, cut at `level` where starts[1..count]
// say (as findCrossings leaves them), matched as the wide bars of a symbol
// printed light on dark; its samples lie `stride` bytes apart from values on.
void matchLightRuns(const unsigned char* values, int stride, int length, int level, const int* starts, int count,
                    float line, int direction, HitList* lightBars);

}  // namespace pdf417read::detail::pattern_scan

#endif
