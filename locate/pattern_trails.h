// Sightings of one pattern on successive scan lines, linked into trails: each
// trail is the inner edge of a start or stop pattern, fitted as a straight
// line across the scan lines.
#ifndef PDF417_LOCATE_PATTERN_TRAILS_H
#define PDF417_LOCATE_PATTERN_TRAILS_H

#include "locate/pattern_scan.h"

namespace pdf417read::detail {

enum { kMinTrailHits = 3 };

struct PatternTrail {
  int direction;  // ScanDirection of the lines it was seen on
  int kind;       // PatternKind
  int reversed;   // the pattern reads backwards along the lines
  int threshold;  // ScanThreshold
  // Sightings, those of closer looks counted as many as the scan's own
  // lines would have had over their stretch: a few lines seen closely are
  // no stronger an edge than the lines about them.
  int hits;
  // Along the scan lines: inner = slope * line + offset, outer the same with
  // outerOffset.
  double slope, offset, outerOffset;
  double firstLine, lastLine;
  double moduleAlong;  // module width along a scan line, pixels
};

// Sorts the hits and links them into trails of at least kMinTrailHits hits;
// `step` is the scan's line spacing. Writes at most `capacity` trails, the
// longest first, and returns their number.
int findTrails(PatternHit* hits, int hitCount, int step, PatternTrail* trails, int capacity);

inline double trailInner(const PatternTrail& trail, double line) { return trail.slope * line + trail.offset; }

}  // namespace pdf417read::detail

#endif
