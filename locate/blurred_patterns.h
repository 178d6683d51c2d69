// Patterns under blur: where one level merges the thin runs beside the wide
// bar with it, the line is cut at its own turning points instead.
#ifndef PDF417_LOCATE_BLURRED_PATTERNS_H
#define PDF417_LOCATE_BLURRED_PATTERNS_H

#include "locate/pattern_scan.h"

namespace pdf417read::detail::pattern_scan {

// Whether the dark run [start, end) of a line cut at `level` may be a
// blurred wide bar with thin runs beside it that the level does not part
// (see blurred_patterns.cpp); `low` is the line's darkest value.
bool hidesThinRuns(const unsigned char* values, int length, int start, int end, int level, int low);

// The patterns around the dark run [start, end) read by the line's turning
// points, each unless hits[lineFirst..] hold it already.
void matchBlurredAround(const unsigned char* values, int length, int start, int end, float line, int direction,
                        int threshold, int lineFirst, HitList* hits);

}  // namespace pdf417read::detail::pattern_scan

#endif
