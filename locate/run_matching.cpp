#include "locate/run_matching.h"

#include <cmath>
#include <cstddef>

#include "locate/blurred_patterns.h"
#include "locate/light_patterns.h"
#include "locate/pattern_shapes.h"

namespace pdf417read::detail::pattern_scan {

namespace {

// 1 / d for the differences d = 1 .. 510 between a pixel's distance from its
// threshold and its neighbour's: an edge's place takes a multiplication.
struct Reciprocals {
  float of[511];
  constexpr Reciprocals() : of() {
    for (int d = 1; d < 511; d++) of[d] = 1.0f / (float)d;
  }
};
constexpr Reciprocals kReciprocals;

// The runs of a line between its crossings, edges at sub-pixel positions:
// where the gray value crosses the threshold between two pixel centres.
// Edge 0 is the line's start, edge count + 1 its end.
// The line's samples lie `stride` bytes apart from values on.
template <typename Threshold>
struct Runs {
  const unsigned char* values;
  int length;
  Threshold threshold;
  const int* starts;  // as findCrossings leaves them
  int count;
  int stride;

  int start(int edge) const { return starts[edge]; }
  int width(int run) const { return starts[run + 1] - starts[run]; }
  float edge(int k) const {
    if (k == 0 || k > count) return (float)starts[k];
    int x = starts[k];
    int previous = values[(ptrdiff_t)(x - 1) * stride] - threshold.at(x - 1),
        current = values[(ptrdiff_t)x * stride] - threshold.at(x);
    // The two lie on either side of the threshold: 1 <= |previous - current| <= 510.
    int difference = previous - current;
    float step = difference > 0 ? kReciprocals.of[difference] : -kReciprocals.of[-difference];
    return x - 0.5f + (float)previous * step;
  }
};

// Whether a window of whole-pixel runs may hold the shape once its edges
// are placed: each sub-pixel edge lies within half a pixel of its whole
// one, so runs and the window's length move by a pixel at most, and the
// tolerances of runsMatch, widened by that, must hold already. The wide bar
// and its thin neighbour go first: noise and print fail there at once.
template <typename Threshold>
bool mayMatch(const Runs<Threshold>& runs, int first, const PatternShape& shape) {
  if (first < 0 || first + shape.runs > runs.count + 1) return false;
  int wide = runs.width(first + shape.wideRun);
  if (wide + 4 < 3 * runs.width(first + shape.nextRun)) return false;
  float total = (float)(runs.start(first + shape.runs) - runs.start(first));
  float widest = shape.widths[shape.wideRun] + 0.8f, narrowest = shape.widths[shape.wideRun] - 0.8f;
  if (total * widest < shape.modules * (wide - 1) - widest ||
      total * narrowest > shape.modules * (wide + 1) + narrowest)
    return false;
  // Per run: |run * modules - width * total| within 0.8 (total + 1) plus
  // what a pixel's move of the run and of the total adds.
  float modules = (float)shape.modules, limit = 0.8f * (total + 1) + modules, sum = 0;
  for (int k = 0; k < shape.runs; k++) {
    float deviation = std::fabs(runs.width(first + k) * modules - shape.widths[k] * total);
    if (deviation > limit + shape.widths[k]) return false;
    sum += deviation;
  }
  return sum < modules * (0.42f * (total + 1) + shape.runs + 1);
}

// Whether the runs on one side of the wide bar, the side `side` (1 or -1)
// steps towards, may be those of a pattern. In every shape the runs 1, 2, 4
// and 5 from the wide bar are one module, run 3 at most three. Within the
// tolerances of runsMatch a module is under 1.8 / 6.2 = 0.29 of the wide
// bar and three modules under 5/8 of it; whole-pixel runs move that by a
// pixel each. In print and text the runs beside a dark run mostly fail.
// Tested all at once, without a branch for each run: as ints, since && would
// branch.
template <typename Threshold>
__attribute__((always_inline)) inline bool thinSide(const Runs<Threshold>& runs, int wide, int side) {
  int w = runs.width(wide) + 1;
  auto oneModule = [&](int k) -> int { return 3 * (runs.width(wide + side * k) - 1) <= w; };
  return oneModule(1) & oneModule(2) & oneModule(4) & oneModule(5) &
         (8 * (runs.width(wide + 3 * side) - 1) <= 5 * w);
}

// The patterns whose wide bar is the dark run `wide`. The wide bar spans at
// least five pixels while modules are 0.8 pixel or more, and is at least
// three times its neighbour. Whole-pixel runs are checked before any edge
// is placed: most dark runs of a picture are no pattern's wide bar.
template <typename Threshold>
void matchAt(const Runs<Threshold>& runs, int wide, float line, int direction, int threshold, HitList* hits) {
  // A window of eight runs or more lies on the thin side in every shape.
  bool thinAfter = wide + 7 <= runs.count && thinSide(runs, wide, 1);
  bool thinBefore = wide >= 7 && thinSide(runs, wide, -1);
  if (!thinAfter && !thinBefore) return;
  float wideStart = 0, wideEnd = 0, wideRun = -1;
  for (const PatternShape& shape : kShapes) {
    if (!(shape.nextRun > shape.wideRun ? thinAfter : thinBefore)) continue;
    int first = wide - shape.wideRun;
    if (!mayMatch(runs, first, shape)) continue;
    if (wideRun < 0) {
      wideStart = runs.edge(wide);
      wideEnd = runs.edge(wide + 1);
      wideRun = wideEnd - wideStart;
      if (wideRun < 5.0f) return;
    }
    bool nextAfter = shape.nextRun > shape.wideRun;
    float next = nextAfter ? runs.edge(wide + 2) - wideEnd : wideStart - runs.edge(wide - 1);
    if (wideRun < 3.0f * next) continue;
    float edges[10];
    for (int k = 0; k <= shape.runs; k++) edges[k] = runs.edge(first + k);
    matchWindow(edges, shape, line, direction, threshold, hits);
  }
}

// Whether a window of a shape whose wide bar is the run `wide` (of `count`
// runs between crossings) may be as long as mayMatch wants it: its first
// test, made for all four shapes in whole pixels before the run's sides are
// looked at. In print, where half the light runs are wide enough to be
// bars and many have thin neighbours, most fail it.
inline bool mayFitWindow(const int* starts, int count, int wide) {
  const int* s = starts + wide;
  int w = s[1] - s[0];
  // By fifths of a pixel, with a fifth to spare for mayMatch's rounding of 0.8.
  auto fits = [w](int total, int modules, int shapeModules) {
    return (total + 1) * (5 * modules + 4) + 5 >= 5 * shapeModules * (w - 1) &&
           (total - 1) * (5 * modules - 4) <= 5 * shapeModules * (w + 1) + 5;
  };
  return (wide + 7 <= count && fits(s[8] - s[0], 8, 17)) || (wide + 8 <= count && fits(s[9] - s[0], 7, 18)) ||
         (wide >= 7 && fits(s[1] - s[-7], 8, 17)) || (wide >= 8 && fits(s[1] - s[-8], 7, 18));
}

}  // namespace

template <typename Threshold>
bool scanRuns(const unsigned char* values, int length, Threshold threshold, float line, int direction,
              int thresholdKind, int* starts, HitList* hits, int blurLow, KeptCrossings* keep) {
  Runs<Threshold> runs = {values, length, threshold, starts, 0, 1};
  runs.count = findCrossings(values, length, threshold, starts);
  if (runs.count > noiseCrossings(length)) return false;
  if (keep) keepCrossings(keep, line, direction, starts, runs.count);
  int firstDark = values[0] < threshold.at(0) ? 0 : 1;
  int lineFirst = hits->count;
  // A diagonal's samples lie 1/sqrt 2 of a pixel apart, and there the
  // narrowest wide bar, 5.6 pixels, spans 7.9 samples: seven whole ones.
  bool diagonal = direction == kScanDiagonals || direction == kScanAntidiagonals;
  int leastWide = diagonal ? 7 : 5;
  for (int run = firstDark; run <= runs.count; run += 2)
    if (runs.width(run) >= leastWide) matchAt(runs, run, line, direction, thresholdKind, hits);
  if (blurLow < 0) return true;
  // Then the blurred patterns the level did not part, each unless seen; a
  // line that showed both patterns already crosses a symbol sharp enough.
  int kinds = 0;
  for (int i = lineFirst; i < hits->count; i++) kinds |= 1 << hits->hits[i].kind;
  if (kinds == 3) return true;
  for (int run = firstDark; run <= runs.count; run += 2)
    if (runs.width(run) >= 5 &&
        hidesThinRuns(values, length, runs.start(run), runs.start(run + 1), threshold.at(0), blurLow))
      matchBlurredAround(values, length, runs.start(run), runs.start(run + 1), line, direction, thresholdKind,
                         lineFirst, hits);
  return true;
}

template bool scanRuns<LevelThreshold>(const unsigned char*, int, LevelThreshold, float, int, int, int*, HitList*, int,
                                       KeptCrossings*);
template bool scanRuns<PixelThresholds>(const unsigned char*, int, PixelThresholds, float, int, int, int*, HitList*,
                                        int, KeptCrossings*);

void matchLightRuns(const unsigned char* values, int stride, int length, int level, const int* starts, int count,
                    float line, int direction, HitList* lightBars) {
  Runs<LevelThreshold> runs = {values, length, LevelThreshold{level}, starts, count, stride};
  int firstDark = values[0] < level ? 0 : 1;
  // A light run cut by the line's ends is mostly the paper's margin, of no
  // known width and with no quiet zone beyond it: never a light wide bar.
  for (int run = firstDark ? 2 : 1; run < count; run += 2)
    if (runs.width(run) >= 5 && mayFitWindow(starts, count, run))
      matchAt(runs, run, line, direction, kGlobalThreshold, lightBars);
}

}  // namespace pdf417read::detail::pattern_scan
