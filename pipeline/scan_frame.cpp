#include "pipeline/scan_frame.h"

#include <cmath>

#include "codeword/indicator_reader.h"

namespace pdf417read::detail::symbol_scan {

// The frame of a candidate for a symbol of gridColumns codeword columns,
// each side cut at its levels.
Frame frameOf(const Candidate& c, int gridColumns, const Levels& levels) {
  Frame f;
  Vec down = downOf(c.across);
  f.across = c.across;
  f.gridColumns = gridColumns;
  f.compact = false;
  f.indicators = kBothIndicators;
  const Edge& known = c.start.present ? c.start : c.stop;
  Vec leftPoint, leftAlong, rightPoint, rightAlong;
  f.module = known.module;
  if (c.start.present && c.stop.present) {
    leftPoint = c.start.point, leftAlong = c.start.along;
    rightPoint = c.stop.point, rightAlong = c.stop.along;
  } else if (c.start.present) {
    leftPoint = c.start.point, leftAlong = rightAlong = c.start.along;
    rightPoint = shifted(leftPoint, c.across, 17.0 * gridColumns, f.module);
  } else {
    rightPoint = c.stop.point, rightAlong = leftAlong = c.stop.along;
    leftPoint = shifted(rightPoint, c.across, -17.0 * gridColumns, f.module);
  }
  f.leftTop = atLevel(leftPoint, leftAlong, down, levels.leftTop);
  f.leftBottom = atLevel(leftPoint, leftAlong, down, levels.leftBottom);
  f.rightTop = atLevel(rightPoint, rightAlong, down, levels.rightTop);
  f.rightBottom = atLevel(rightPoint, rightAlong, down, levels.rightBottom);
  if (c.start.present && c.stop.present) {
    // The modules as the grid has them: the width between the edges over
    // the columns (perspective makes them differ from either pattern's).
    double top = dot(f.rightTop - f.leftTop, c.across), bottom = dot(f.rightBottom - f.leftBottom, c.across);
    f.module = (top + bottom) * 0.5 / (17.0 * gridColumns);
  }
  return f;
}

// The same frame cut at fractions of its own height (0 top, 1 bottom).
Frame recut(const Frame& f, double top, double bottom) {
  Frame cut = f;
  cut.leftTop = f.leftTop + (f.leftBottom - f.leftTop) * top;
  cut.leftBottom = f.leftTop + (f.leftBottom - f.leftTop) * bottom;
  cut.rightTop = f.rightTop + (f.rightBottom - f.rightTop) * top;
  cut.rightBottom = f.rightTop + (f.rightBottom - f.rightTop) * bottom;
  return cut;
}

namespace {

// The stretch of levels between `first` and `last` along an edge.
void edgeLevels(const Edge& edge, Vec down, double first, double last, double* top, double* bottom) {
  double a = dot(edge.point + edge.along * first, down), b = dot(edge.point + edge.along * last, down);
  *top = std::fmin(a, b);
  *bottom = std::fmax(a, b);
}

// The outermost scan lines that showed a pattern lie a step inside the
// symbol.
void padLevels(Levels* levels, int step, double module) {
  double pad = step + module;
  levels->leftTop -= pad, levels->rightTop -= pad;
  levels->leftBottom += pad, levels->rightBottom += pad;
}

}  // namespace

// The levels each edge was seen over, a little longer at both ends: the
// outermost scan lines that showed a pattern lie a step inside the symbol.
// Under perspective the two sides differ in length, so each keeps its own.
Levels candidateLevels(const Candidate& c, int step) {
  Vec down = downOf(c.across);
  Levels levels;
  const Edge& left = c.start.present ? c.start : c.stop;
  const Edge& right = c.stop.present ? c.stop : c.start;
  edgeLevels(left, down, left.first, left.last, &levels.leftTop, &levels.leftBottom);
  edgeLevels(right, down, right.first, right.last, &levels.rightTop, &levels.rightBottom);
  // A side seen much shorter than the other was hidden in part (damage,
  // a stroke across it): both sides take the longer one's levels. Not so
  // when its modules are narrower still: that side lies further away.
  double leftLength = levels.leftBottom - levels.leftTop, rightLength = levels.rightBottom - levels.rightTop;
  bool farther = c.start.present && c.stop.present &&
                 std::fmin(left.module, right.module) / std::fmax(left.module, right.module) <
                     0.9 * std::fmin(leftLength, rightLength) / std::fmax(leftLength, rightLength);
  if (!farther && rightLength < 0.75 * leftLength) levels.rightTop = levels.leftTop, levels.rightBottom = levels.leftBottom;
  if (!farther && leftLength < 0.75 * rightLength) levels.leftTop = levels.rightTop, levels.leftBottom = levels.rightBottom;
  padLevels(&levels, step, left.module);
  return levels;
}

// Lines askew to a low symbol see a start pattern's inner edge near one end
// and a stop pattern's near the other, and each whole pattern over all of
// it: a pair that met so is cut where the whole patterns were seen.
Levels patternLevels(const Candidate& c, int step) {
  if (!c.start.present || !c.stop.present) return candidateLevels(c, step);
  Vec down = downOf(c.across);
  Levels levels;
  edgeLevels(c.start, down, c.start.patternFirst, c.start.patternLast, &levels.leftTop, &levels.leftBottom);
  edgeLevels(c.stop, down, c.stop.patternFirst, c.stop.patternLast, &levels.rightTop, &levels.rightBottom);
  padLevels(&levels, step, c.start.module);
  return levels;
}

// A point well inside the symbol a candidate would be.
Vec candidateCentre(const Candidate& c) {
  Vec p;
  if (c.start.present && c.stop.present)
    p = (c.start.point + c.stop.point) * 0.5;
  else if (c.start.present)
    p = shifted(c.start.point, c.across, 8.0, c.start.module);
  else
    p = shifted(c.stop.point, c.across, -8.0, c.stop.module);
  return p - Vec{0.5, 0.5};
}

}  // namespace pdf417read::detail::symbol_scan
