// Where the scan path samples a grid: a candidate's edges cut at levels
// across the symbol, and the frame between them.
#ifndef PDF417_PIPELINE_SCAN_FRAME_H
#define PDF417_PIPELINE_SCAN_FRAME_H

#include "pipeline/symbol_candidates.h"

namespace pdf417read::detail::symbol_scan {

enum { kGridMargin = 2 };  // modules of quiet space read on each side

// Where a grid is sampled: the inner edges on both sides (the start
// pattern's and the stop pattern's, or where they would be) between two
// lines across the symbol, `gridColumns` codeword columns between them.
struct Frame {
  Vec leftTop, leftBottom, rightTop, rightBottom;
  Vec across;
  double module;
  int gridColumns;
  int indicators;  // which of the outer columns are row indicators
  bool compact;    // no right row indicator, a one-module stop bar
};

// A line (point, direction) `modules` modules further across.
inline Vec shifted(Vec point, Vec across, double modules, double module) {
  return point + across * (modules * module);
}

// Levels (projections on the down direction) where a frame's sides are cut:
// a pair of them for the left side and one for the right.
struct Levels {
  double leftTop, leftBottom, rightTop, rightBottom;
};

// The frame of a candidate for a symbol of gridColumns codeword columns,
// each side cut at its levels.
Frame frameOf(const Candidate& c, int gridColumns, const Levels& levels);

// The same frame cut at fractions of its own height (0 top, 1 bottom).
Frame recut(const Frame& f, double top, double bottom);

// The levels each edge was seen over, a little longer at both ends (see
// scan_frame.cpp).
Levels candidateLevels(const Candidate& c, int step);

// The levels a pair's whole patterns were seen over, a little longer at
// both ends: for pairs that met by their whole patterns (see
// Candidate::byPatterns). A single edge's are candidateLevels'.
Levels patternLevels(const Candidate& c, int step);

// A point well inside the symbol a candidate would be.
Vec candidateCentre(const Candidate& c);

}  // namespace pdf417read::detail::symbol_scan

#endif
