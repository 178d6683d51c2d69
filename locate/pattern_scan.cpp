#include "locate/pattern_scan.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "image/picture_limits.h"
#include "locate/adaptive_binarize.h"

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

// Whether hits[from..] hold the shape with its inner edge within two
// pixels of `inner`: the same pattern seen again on the same line.
bool seenAlready(const HitList* hits, int from, const PatternShape& shape, float inner) {
  for (int i = from; i < hits->count; i++) {
    const PatternHit& hit = hits->hits[i];
    if (hit.kind == shape.kind && hit.reversed == shape.reversed && std::fabs(hit.inner - inner) < 2.0f) return true;
  }
  return false;
}

// The shape's runs between edges[0..shape.runs], kept as a hit when they fit
// and hits[lineFirst..] (none when lineFirst < 0) do not hold it already.
void matchWindow(const float* edges, const PatternShape& shape, float line, int direction, int threshold,
                 HitList* hits, int lineFirst = -1) {
  float window[9];
  for (int k = 0; k < shape.runs; k++) window[k] = edges[k + 1] - edges[k];
  if (!runsMatch(window, shape)) return;
  float start = edges[0], end = edges[shape.runs], inner = shape.innerAtEnd ? end : start;
  if (lineFirst >= 0 && seenAlready(hits, lineFirst, shape, inner)) return;
  addHit(hits, line, inner, shape.innerAtEnd ? start : end, direction, shape, threshold);
}

// The threshold of a line: one level, or a grey level per pixel.
struct LevelThreshold {
  int level;
  int at(int) const { return level; }
};
struct PixelThresholds {
  const unsigned char* levels;
  int at(int x) const { return levels[x]; }
};

// The set bits of a 16-bit mask, without a processor instruction for it.
inline int bitsSet16(unsigned int x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0f0fu;
  return (int)((x + (x >> 8)) & 0x1fu);
}

// The set bits of a 32-bit mask, likewise.
inline int bitsSet32(unsigned int x) {
  x = x - ((x >> 1) & 0x55555555u);
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  x = (x + (x >> 4)) & 0x0f0f0f0fu;
  return (int)((x * 0x01010101u) >> 24);
}

// Appends base + k for every set bit k of the 32-bit `changes` (not zero).
// Four places are written whatever the count, so that print, whose lines
// cross a few times in every 32 pixels, does not pay a mispredicted branch
// per crossing; what lies past the count is overwritten or never read.
// Needs room for count + 4 entries.
inline int appendChanges(unsigned int changes, int base, int* crossings, int count) {
  int* out = crossings + count;
  unsigned int bits = changes;
  for (int k = 0; k < 4; k++) {
    out[k] = base + __builtin_ctz(bits | 0x80000000u);
    bits &= bits - 1;
  }
  int n = bitsSet32(changes);
  for (int k = 4; k < n; k++) {
    out[k] = base + __builtin_ctz(bits);
    bits &= bits - 1;
  }
  return count + n;
}

#ifdef __SSE2__
// Darker than the threshold: 16 pixels to 16 bits.
inline unsigned int darkBits(const unsigned char* values, __m128i levels) {
  __m128i v = _mm_loadu_si128((const __m128i*)values);
  __m128i light = _mm_cmpeq_epi8(_mm_max_epu8(v, levels), v);
  return ~(unsigned int)_mm_movemask_epi8(light) & 0xffffu;
}
inline __m128i levelsAt(LevelThreshold threshold, int) { return _mm_set1_epi8((char)threshold.level); }
inline __m128i levelsAt(PixelThresholds threshold, int x) {
  return _mm_loadu_si128((const __m128i*)(threshold.levels + x));
}
#endif

// Where the line crosses its threshold: the index of the first pixel of each
// run, written to starts (room for `length + 1` entries) from starts[0] = 0
// on, and `length` after the last. Sixteen pixels are compared at once and
// only their colour changes visited, so a line costs little where it runs
// through plain paper or a solid bar. Returns the number of crossings.
template <typename Threshold>
int findCrossings(const unsigned char* values, int length, Threshold threshold, int* starts) {
  int* crossings = starts + 1;
  int count = 0, x = 0;
  unsigned int previous = values[0] < threshold.at(0);
#ifdef __SSE2__
  // 32 pixels a step: where a line runs through paper or a solid bar, one
  // test passes them all.
  for (; x + 32 <= length; x += 32) {
    unsigned int dark = darkBits(values + x, levelsAt(threshold, x)) |
                        darkBits(values + x + 16, levelsAt(threshold, x + 16)) << 16;
    unsigned int changes = dark ^ ((dark << 1) | previous);
    previous = dark >> 31;
    // At most x crossings lie before x, so the four places fit in the
    // room while x + 32 <= length.
    if (changes) count = appendChanges(changes, x, crossings, count);
  }
  if (x + 16 <= length) {
    unsigned int dark = darkBits(values + x, levelsAt(threshold, x));
    unsigned int changes = (dark ^ ((dark << 1) | previous)) & 0xffffu;
    previous = dark >> 15;
    if (changes) count = appendChanges(changes, x, crossings, count);
    x += 16;
  }
#endif
  for (; x < length; x++) {
    unsigned int dark = values[x] < threshold.at(x);
    if (dark != previous) crossings[count++] = x;
    previous = dark;
  }
  starts[0] = 0;
  starts[count + 1] = length;
  return count;
}

// How many times the line crosses its threshold, sixteen pixels at a time:
// far cheaper than noting where, so a line of noise is told before that.
template <typename Threshold>
int countCrossings(const unsigned char* values, int length, Threshold threshold) {
  int count = 0, x = 0;
  unsigned int previous = values[0] < threshold.at(0);
#ifdef __SSE2__
  for (; x + 16 <= length; x += 16) {
    unsigned int dark = darkBits(values + x, levelsAt(threshold, x));
    count += bitsSet16((dark ^ ((dark << 1) | previous)) & 0xffffu);
    previous = dark >> 15;
  }
#endif
  for (; x < length; x++) {
    unsigned int dark = values[x] < threshold.at(x);
    count += dark != previous;
    previous = dark;
  }
  return count;
}

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
// where the grey value crosses the threshold between two pixel centres.
// Edge 0 is the line's start, edge count + 1 its end.
template <typename Threshold>
struct Runs {
  const unsigned char* values;
  int length;
  Threshold threshold;
  const int* starts;  // as findCrossings leaves them
  int count;

  int start(int edge) const { return starts[edge]; }
  int width(int run) const { return starts[run + 1] - starts[run]; }
  float edge(int k) const {
    if (k == 0 || k > count) return (float)starts[k];
    int x = starts[k];
    int previous = values[x - 1] - threshold.at(x - 1), current = values[x] - threshold.at(x);
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
// Tested all at once, without a branch for each run.
template <typename Threshold>
__attribute__((always_inline)) inline bool thinSide(const Runs<Threshold>& runs, int wide, int side) {
  int w = runs.width(wide) + 1;
  auto oneModule = [&](int k) { return 3 * (runs.width(wide + side * k) - 1) <= w; };
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

// ---- patterns under blur ------------------------------------------------------

// Blur keeps the shape of the thin bars and spaces beside the wide bar but
// not their levels: a one-module space between one-module bars may stay
// darker than any one level for the whole line, and the thin runs then merge
// with the wide bar. Around such a run the line is cut at its own turning
// points instead: each edge lies where the grey value crosses halfway
// between the turning points on either side of it, so that every run is
// measured against its neighbours alone.

enum { kMaxTurns = 64 };

// The turning points of values[from, to): each lies at least `swing` grey
// levels from the one before it, darkest and lightest by turns. Writes at
// most kMaxTurns to at[] and returns their number; *firstDark tells
// whether the first is a dark one.
int turningPoints(const unsigned char* values, int from, int to, int swing, int* at, bool* firstDark) {
  int count = 0, low = from, high = from, best = from, seeking = 0;  // 1: a light one, -1: a dark one
  for (int x = from + 1; x < to && count < kMaxTurns - 1; x++) {
    int v = values[x];
    if (seeking == 0) {
      if (v > values[high]) high = x;
      if (v < values[low]) low = x;
      if (values[high] - values[low] < swing) continue;
      *firstDark = low < high;
      at[count++] = *firstDark ? low : high;
      best = *firstDark ? high : low;
      seeking = *firstDark ? 1 : -1;
    } else if (seeking > 0 ? v > values[best] : v < values[best]) {
      best = x;
    } else if ((seeking > 0 ? values[best] - v : v - values[best]) >= swing) {
      at[count++] = best;
      best = x;
      seeking = -seeking;
    }
  }
  if (seeking != 0) at[count++] = best;
  return count;
}

// Where the values cross halfway between turning points a and b: the first
// crossing after a, at a sub-pixel position.
float edgeBetween(const unsigned char* values, int a, int b) {
  float level = 0.5f * ((float)values[a] + (float)values[b]);
  bool fromLight = values[a] > values[b];
  int x = a + 1;
  while (x < b && (fromLight ? values[x] > level : values[x] < level)) x++;
  float previous = values[x - 1] - level, current = values[x] - level;
  return x - 0.5f + previous / (previous - current);
}

// The patterns whose wide bar is a dark run of the line cut at its turning
// points within [from, to). Runs at the window's ends are open and only
// whole runs are matched.
void matchTurns(const unsigned char* values, int from, int to, int swing, float line, int direction, int threshold,
                int lineFirst, HitList* hits) {
  int at[kMaxTurns];
  bool firstDark = false;
  int turns = turningPoints(values, from, to, swing, at, &firstDark);
  float edges[kMaxTurns];  // edges[k] between turns k and k + 1
  for (int k = 0; k + 1 < turns; k++) edges[k] = edgeBetween(values, at[k], at[k + 1]);
  // Run k lies about turn k, between edges k - 1 and k.
  for (int wide = (firstDark ? 2 : 1); wide + 1 < turns; wide += 2) {
    float wideRun = edges[wide] - edges[wide - 1];
    if (wideRun < 5.0f) continue;
    for (const PatternShape& shape : kShapes) {
      int first = wide - shape.wideRun;
      if (first < 1 || first + shape.runs > turns - 1) continue;
      int next = first + shape.nextRun;
      if (wideRun < 3.0f * (edges[next] - edges[next - 1])) continue;
      matchWindow(edges + first - 1, shape, line, direction, threshold, hits, lineFirst);
    }
  }
}

// Whether values from `from` on, stepping by `step` until `to`, rise to
// `light` or above but peak below `cap`, fall by `swing` from that peak and
// rise by `swing` again: a thin space, a thin bar and the space after it,
// kept by blur from the light of the paper.
bool thinBarBeside(const unsigned char* values, int from, int to, int step, int light, int cap, int swing) {
  int x = from;
  while (x != to && values[x] < light) x += step;
  int peak = 0;
  for (; x != to && values[x] + swing > peak; x += step)
    if (values[x] > peak) peak = values[x];
  if (x == to || peak >= cap) return false;
  int dip = values[x];
  for (; x != to; x += step) {
    if (values[x] < dip) dip = values[x];
    if (values[x] >= dip + swing) return true;
  }
  return false;
}

// Blurred thin runs are looked for beside dark runs of at most this many
// pixels: the wide bar with thin runs merged into it, some fifteen modules,
// at blur that merges runs of modules up to about four pixels.
enum { kMaxBlurredRun = 64 };

// Whether the dark run [start, end) of a line of `length` values cut at
// `level` may be a blurred wide bar with thin runs beside it that the level
// does not part: the run's longest core (darker than halfway between the
// level and the line's darkest value `low`) is a quarter of the run or
// more, and within the run's width of the core, on either side, a thin
// space, bar and space show as a peak less than a quarter of that span
// from the level, a fall and a rise by a sixth of it. A solid bar beside
// paper, a gradient, a shadow or grain shows no such peak.
bool hidesThinRuns(const unsigned char* values, int length, int start, int end, int level, int low) {
  int span = level - low;
  if (span < 48 || end - start > kMaxBlurredRun) return false;
  int core = level - span / 2, light = level - span / 4, cap = level + span / 4;
  // A first look at a few pixels: a sharp run ends in solid dark next to
  // paper for two pixels or more on both sides.
  bool afterSoft = values[end - 2 >= start ? end - 2 : start] >= core ||
                   (end + 1 < length && values[end + 1] < light) || (end + 2 < length && values[end + 2] < light);
  bool beforeSoft = values[start + 1 < end ? start + 1 : start] >= core || (start >= 2 && values[start - 2] < light) ||
                    (start >= 3 && values[start - 3] < light);
  if (!afterSoft && !beforeSoft) return false;
  int swing = span / 6 > 16 ? span / 6 : 16;
  int coreStart = start, coreEnd = start, runStart = -1;
  for (int x = start; x <= end; x++) {
    bool dark = x < end && values[x] < core;
    if (dark && runStart < 0) runStart = x;
    if (!dark && runStart >= 0) {
      if (x - runStart > coreEnd - coreStart) coreStart = runStart, coreEnd = x;
      runStart = -1;
    }
  }
  int coreLength = coreEnd - coreStart, reach = end - start + 2;
  if (coreLength < 5 || 4 * coreLength < end - start) return false;
  int after = coreEnd + reach < length ? coreEnd + reach : length;
  int before = coreStart - 1 - reach > -1 ? coreStart - 1 - reach : -1;
  return (afterSoft && thinBarBeside(values, coreEnd, after, 1, light, cap, swing)) ||
         (beforeSoft && thinBarBeside(values, coreStart - 1, before, -1, light, cap, swing));
}

// Around the dark run [start, end) that no pattern matched at the line's
// threshold: far enough either side for a pattern whose wide bar the run
// holds, the line is read by its turning points. The swing is an eighth of
// the window's contrast, so that grain does not cut runs.
void matchBlurredAround(const unsigned char* values, int length, int start, int end, float line, int direction,
                        int threshold, int lineFirst, HitList* hits) {
  int reach = (4 * (end - start)) / 3 + 4;
  int from = start - reach < 0 ? 0 : start - reach, to = end + reach > length ? length : end + reach;
  int low = 255, high = 0;
  for (int x = from; x < to; x++) {
    low = values[x] < low ? values[x] : low;
    high = values[x] > high ? values[x] : high;
  }
  int swing = (high - low) / 8 > 16 ? (high - low) / 8 : 16;
  matchTurns(values, from, to, swing, line, direction, threshold, lineFirst, hits);
}

// More crossings than this in a line of `length` pixels: some 0.48 a pixel.
// A symbol of 1-pixel modules crosses 0.47 a pixel within its rows (eight
// bars and spaces every seventeen modules), and a line also runs through
// its quiet zones and what lies around; a line of noise about the threshold
// crosses every other pixel.
inline int noiseCrossings(int length) { return (int)(((long long)length * 31) >> 6); }

// Every pattern of a line: the wide bar is dark in all four shapes and 5.6
// pixels or more (seven modules of 0.8 pixel), and a run is less than a
// pixel wider than its whole pixels, so only dark runs of five whole pixels
// or more are tried. A line that crosses its threshold as often as noise
// does is not searched. With one level for the line and its darkest value
// `blurLow` (>= 0), a dark run that matched nothing but hides thin runs is
// searched again as blurred. starts: room for `length + 1` ints. False for
// such a line.
template <typename Threshold>
bool scanRuns(const unsigned char* values, int length, Threshold threshold, float line, int direction,
              int thresholdKind, int* starts, HitList* hits, int blurLow = -1) {
  Runs<Threshold> runs = {values, length, threshold, starts, 0};
  runs.count = findCrossings(values, length, threshold, starts);
  if (runs.count > noiseCrossings(length)) return false;
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

// Whether a line crosses its threshold as often as noise does, told from
// the count alone: the line's first quarter is counted first, and the whole
// line only when that part crosses nearly as often (0.44 a pixel, below the
// limit, so that few lines of noise slip through on a short count), so that
// other lines pay little.
template <typename Threshold>
bool noiseLine(const unsigned char* values, int length, Threshold threshold) {
  int head = (length / 4) & ~15;
  if (head >= 64 && countCrossings(values, head, threshold) * 64 <= head * 28) return false;
  return countCrossings(values, length, threshold) > noiseCrossings(length);
}

}  // namespace

void scanLine(const unsigned char* values, int length, const int* thresholds, float line, int direction,
              int threshold, HitList* hits) {
  if (!values || length < 17 || !thresholds || !hits) return;
  int* crossings = (int*)std::malloc(sizeof(int) * (size_t)(length + 1));
  unsigned char* levels = (unsigned char*)std::malloc((size_t)length);
  if (crossings && levels) {
    // Levels beyond a grey byte's range make every pixel dark or light alike.
    for (int x = 0; x < length; x++) levels[x] = (unsigned char)(thresholds[x] < 0 ? 0 : thresholds[x] > 255 ? 255 : thresholds[x]);
    scanRuns(values, length, PixelThresholds{levels}, line, direction, threshold, crossings, hits);
  }
  std::free(crossings);
  std::free(levels);
}

namespace {

// Halfway between the mean levels below and from `split`: an edge between a
// dark and a light pixel then falls halfway between them, and a picture of
// pure black and white splits at 128, not at 1.
int classMidpoint(const unsigned int* histogram, int split) {
  double count[2] = {0, 0}, sum[2] = {0, 0};
  for (int level = 0; level < 256; level++) {
    int side = level >= split;
    count[side] += histogram[level];
    sum[side] += (double)level * histogram[level];
  }
  if (count[0] == 0 || count[1] == 0) return split;
  return (int)std::lround((sum[0] / count[0] + sum[1] / count[1]) * 0.5);
}

}  // namespace

void sampleLevels(const unsigned char* grey, int width, int height, int* threshold, int* light) {
  *threshold = 128;
  *light = 255;
  if (!grey || width < 1 || height < 1) return;
  // Some 300 rows and every other pixel of them count: the shape of the
  // histogram is what matters. Four histograms take turns, so that a run
  // of equal pixels does not wait on one counter.
  int histograms[4][256] = {{0}};
  int rowStep = height / 300 > 1 ? height / 300 : 1;
  int step = (long long)width * height > (1 << 16) ? 2 : 1;
  for (int y = 0; y < height; y += rowStep) {
    const unsigned char* row = grey + (size_t)y * width;
    int x = 0;
    for (; x + 3 * step < width; x += 4 * step) {
      histograms[0][row[x]]++;
      histograms[1][row[x + step]]++;
      histograms[2][row[x + 2 * step]]++;
      histograms[3][row[x + 3 * step]]++;
    }
    for (; x < width; x += step) histograms[0][row[x]]++;
  }
  unsigned int histogram[256];
  for (int level = 0; level < 256; level++)
    histogram[level] = histograms[0][level] + histograms[1][level] + histograms[2][level] + histograms[3][level];
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
  *threshold = classMidpoint(histogram, twoLevelSplit(histogram));
}

namespace {

// Darker than the mean of the window around it by 2 levels plus 1/32 of the
// mean: a small margin keeps paper grain light, and blurred thin bars beside
// the start pattern's wide bar, which pulls the mean down, still count dark.
inline unsigned char localLevel(int mean) {
  int level = mean - 2 - mean / 32;
  return (unsigned char)(level < 0 ? 0 : level);
}

// sums[x] = values[0] + ... + values[x - 1], for x = 0 .. length, modulo
// 65536: a window of at most 255 values sums to less than that, so the
// difference of two running sums, taken modulo 65536 too, is its sum
// exactly. Sixteen values at a time, eight to a register.
void runningSums(const unsigned char* values, int length, unsigned short* sums) {
  sums[0] = 0;
  int x = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
  for (; x + 16 <= length; x += 16) {
    __m128i v = _mm_loadu_si128((const __m128i*)(values + x));
    __m128i low = _mm_unpacklo_epi8(v, zero), high = _mm_unpackhi_epi8(v, zero);
    low = _mm_add_epi16(low, _mm_slli_si128(low, 2));
    high = _mm_add_epi16(high, _mm_slli_si128(high, 2));
    low = _mm_add_epi16(low, _mm_slli_si128(low, 4));
    high = _mm_add_epi16(high, _mm_slli_si128(high, 4));
    low = _mm_add_epi16(low, _mm_slli_si128(low, 8));
    high = _mm_add_epi16(high, _mm_slli_si128(high, 8));
    low = _mm_add_epi16(low, total);
    __m128i lowLast = _mm_shufflehi_epi16(low, 0xff);
    high = _mm_add_epi16(high, _mm_unpackhi_epi64(lowLast, lowLast));
    _mm_storeu_si128((__m128i*)(sums + x + 1), low);
    _mm_storeu_si128((__m128i*)(sums + x + 9), high);
    __m128i highLast = _mm_shufflehi_epi16(high, 0xff);
    total = _mm_unpackhi_epi64(highLast, highLast);
  }
#endif
  for (; x < length; x++) sums[x + 1] = (unsigned short)(sums[x] + values[x]);
}

// The mean of [from, to), at most 255 values, from the line's running
// sums, rounded down.
inline int windowMean(const unsigned short* sums, int from, int to) {
  return (unsigned short)(sums[to] - sums[from]) / (to - from);
}

// sums: room for length + 1 values, the line's running sums.
void localThresholds(const unsigned char* values, int length, int window, unsigned short* sums,
                     unsigned char* thresholds) {
  int radius = window / 2;
  if (radius < 1) radius = 1;
  if (radius > 127) radius = 127;
  if (2 * radius + 1 > length) radius = (length - 1) / 2;
  runningSums(values, length, sums);
  // Near the ends the window is cut short; in between a whole window's sum
  // divides by a multiplication: sum * floor(65536 / n) / 65536, rounded
  // down, is the quotient or one less, and one more is taken where it still
  // fits in the sum.
  int x = 0;
  for (; x < radius && x < length; x++) thresholds[x] = localLevel(windowMean(sums, 0, x + radius + 1));
  int middleEnd = length - radius;  // windows ending at or before the line's end
#ifdef __SSE2__
  const int n = 2 * radius + 1;
  const __m128i divisor = _mm_set1_epi16((short)n), scale = _mm_set1_epi16((short)(65536 / n));
  const __m128i one = _mm_set1_epi16(1), two = _mm_set1_epi16(2), zero = _mm_setzero_si128();
  for (; x + 16 <= middleEnd; x += 16) {
    __m128i levels[2];
    for (int k = 0; k < 2; k++) {
      const unsigned short* ahead = sums + x + 8 * k + radius + 1;
      const unsigned short* behind = sums + x + 8 * k - radius;
      __m128i sum = _mm_sub_epi16(_mm_loadu_si128((const __m128i*)ahead), _mm_loadu_si128((const __m128i*)behind));
      __m128i mean = _mm_mulhi_epu16(sum, scale);
      // (mean + 1) * n <= 256 * 255: the product is exact.
      __m128i over = _mm_subs_epu16(_mm_mullo_epi16(_mm_add_epi16(mean, one), divisor), sum);
      mean = _mm_sub_epi16(mean, _mm_cmpeq_epi16(over, zero));
      levels[k] = _mm_sub_epi16(_mm_sub_epi16(mean, two), _mm_srli_epi16(mean, 5));
    }
    // The saturating pack clamps below 0 as localLevel does.
    _mm_storeu_si128((__m128i*)(thresholds + x), _mm_packus_epi16(levels[0], levels[1]));
  }
#endif
  for (; x < middleEnd; x++) thresholds[x] = localLevel(windowMean(sums, x - radius, x + radius + 1));
  for (; x < length; x++) thresholds[x] = localLevel(windowMean(sums, x - radius, length));
}

// A line whose grey levels span less than this cannot show a pattern.
enum { kMinLineContrast = 24 };

// Diagonal lines gathered together.
enum { kDiagonalBlock = 32 };

// Pictures up to this many pixels stay in the processor's caches while
// they are scanned.
enum { kCachedPicture = 1 << 20 };

// The darkest and lightest grey levels of a line.
void lineRange(const unsigned char* values, int length, int* low, int* high) {
  unsigned char darkest = 255, lightest = 0;
  int x = 0;
#ifdef __SSE2__
  __m128i lows = _mm_set1_epi8((char)255), highs = _mm_setzero_si128();
  for (; x + 16 <= length; x += 16) {
    __m128i v = _mm_loadu_si128((const __m128i*)(values + x));
    lows = _mm_min_epu8(lows, v);
    highs = _mm_max_epu8(highs, v);
  }
  unsigned char l[16], h[16];
  _mm_storeu_si128((__m128i*)l, lows);
  _mm_storeu_si128((__m128i*)h, highs);
  for (int k = 0; k < 16; k++) {
    darkest = l[k] < darkest ? l[k] : darkest;
    lightest = h[k] > lightest ? h[k] : lightest;
  }
#endif
  for (; x < length; x++) {
    darkest = values[x] < darkest ? values[x] : darkest;
    lightest = values[x] > lightest ? values[x] : lightest;
  }
  *low = darkest;
  *high = lightest;
}

// Working room for one line at a time, `longest` pixels at most.
struct LineRoom {
  unsigned char* thresholds;  // longest
  int* starts;                // longest + 1
  unsigned short* sums;       // longest + 1
};

void scanWithThresholds(const unsigned char* values, int length, const ScanSettings& settings, int window,
                        float line, int direction, const LineRoom& room, HitList* hits) {
  if (length < 17) return;
  int low = 255, high = 0;
  lineRange(values, length, &low, &high);
  if (high - low < kMinLineContrast) return;
  bool crossesGlobal = low < settings.globalLevel && high >= settings.globalLevel;
  // Rows and columns look for blurred patterns too; diagonals, whose
  // samples between pixels are means of two, would find blur everywhere.
  int blurLow = direction == kScanRows || direction == kScanColumns ? low : -1;
  if ((settings.thresholds & (1 << kGlobalThreshold)) && crossesGlobal) {
    LevelThreshold level = {settings.globalLevel};
    // Noise about the picture's level is noise about the line's own: such
    // a line is neither searched nor given its local threshold.
    if (noiseLine(values, length, level) ||
        !scanRuns(values, length, level, line, direction, kGlobalThreshold, room.starts, hits, blurLow))
      return;
  }
  if (settings.thresholds & (1 << kLocalThreshold)) {
    localThresholds(values, length, window, room.sums, room.thresholds);
    scanRuns(values, length, PixelThresholds{room.thresholds}, line, direction, kLocalThreshold, room.starts, hits);
  }
}

}  // namespace

// A diagonal line: its first pixel, on the top row or on the side it
// leaves from, and its length in pixels.
struct Diagonal {
  int x, y, pixels;
};

// Diagonals are told apart by c = x - y, antidiagonals by c = x + y - (height - 1).
Diagonal diagonalAt(int width, int height, int c, int dx) {
  Diagonal d;
  d.x = dx > 0 ? (c > 0 ? c : 0) : (c + height - 1 < width ? c + height - 1 : width - 1);
  d.y = dx > 0 ? d.x - c : c + height - 1 - d.x;
  int across = dx > 0 ? width - d.x : d.x + 1;
  d.pixels = height - d.y < across ? height - d.y : across;
  return d;
}

#ifdef __SSE2__
// Sixteen rows of sixteen bytes turned into sixteen columns, in place.
__attribute__((always_inline)) inline void transpose16(__m128i* m) {
  __m128i t[16];
  for (int i = 0; i < 8; i++) {  // rows 2i and 2i + 1, by 16-bit pairs
    t[i] = _mm_unpacklo_epi8(m[2 * i], m[2 * i + 1]);
    t[i + 8] = _mm_unpackhi_epi8(m[2 * i], m[2 * i + 1]);
  }
  for (int h = 0; h < 2; h++)
    for (int i = 0; i < 4; i++) {  // four rows, by 32-bit quads
      m[h * 8 + i] = _mm_unpacklo_epi16(t[h * 8 + 2 * i], t[h * 8 + 2 * i + 1]);
      m[h * 8 + i + 4] = _mm_unpackhi_epi16(t[h * 8 + 2 * i], t[h * 8 + 2 * i + 1]);
    }
  for (int g = 0; g < 4; g++)
    for (int i = 0; i < 2; i++) {  // eight rows, by 64-bit halves
      t[g * 4 + i] = _mm_unpacklo_epi32(m[g * 4 + 2 * i], m[g * 4 + 2 * i + 1]);
      t[g * 4 + i + 2] = _mm_unpackhi_epi32(m[g * 4 + 2 * i], m[g * 4 + 2 * i + 1]);
    }
  for (int g = 0; g < 8; g++) {  // all sixteen rows of columns 2g and 2g + 1
    m[2 * g] = _mm_unpacklo_epi64(t[2 * g], t[2 * g + 1]);
    m[2 * g + 1] = _mm_unpackhi_epi64(t[2 * g], t[2 * g + 1]);
  }
}
#endif

// The samples of `count` diagonal lines going down a row and `dx` (1 or -1)
// across at each step, every half step: the pixels on the line and, between
// two of them, the mean of the two pixels beside the middle. Line k goes to
// out + k * stride. The lines are gathered together a band of rows at a
// time, so that what each band fetches of the picture serves all of them;
// with `fetchAhead`, for a picture larger than the processor's caches, the
// next band is fetched while one is read.
void gatherDiagonals(const unsigned char* grey, int width, const Diagonal* lines, int count, int dx,
                     bool fetchAhead, unsigned char* out, size_t stride) {
  enum { kBand = 64 };
  int top = lines[0].y, bottom = 0;
  for (int k = 0; k < count; k++) {
    top = lines[k].y < top ? lines[k].y : top;
    bottom = lines[k].y + lines[k].pixels > bottom ? lines[k].y + lines[k].pixels : bottom;
  }
  const ptrdiff_t next = (ptrdiff_t)width + dx;
  int firstKey = dx > 0 ? lines[0].x - lines[0].y : lines[0].x + lines[0].y;
  int lastKey = dx > 0 ? lines[count - 1].x - lines[count - 1].y : lines[count - 1].x + lines[count - 1].y;
  int lowKey = firstKey < lastKey ? firstKey : lastKey, highKey = firstKey < lastKey ? lastKey : firstKey;
  for (int band = top; band < bottom; band += kBand) {
#ifdef __SSE2__
    // The next band's stretch of each row, fetched while this band is read.
    for (int y = band + kBand; fetchAhead && y < band + 2 * kBand && y < bottom; y++) {
      int from = dx > 0 ? lowKey + y - 1 : lowKey - y - 1, to = dx > 0 ? highKey + y + 1 : highKey - y + 1;
      from = from < 0 ? 0 : from;
      to = to >= width ? width - 1 : to;
      for (int x = from & ~63; x <= to; x += 64) _mm_prefetch((const char*)(grey + (size_t)y * width + x), _MM_HINT_T0);
    }
#endif
    for (int k = 0; k < count; k++) {
      const Diagonal& d = lines[k];
      int from = band > d.y ? band - d.y : 0;
      int to = band + kBand - d.y < d.pixels ? band + kBand - d.y : d.pixels;
      unsigned char* samples = out + (size_t)k * stride;
      const unsigned char* p = grey + (size_t)(d.y + from) * width + d.x + dx * from;
      // Every pixel but the line's last has a mean after it.
      int pairsEnd = to < d.pixels - 1 ? to : d.pixels - 1;
      int t = from;
      for (; t < pairsEnd; t++, p += next) {
        samples[2 * t] = p[0];
        samples[2 * t + 1] = (unsigned char)((p[dx] + p[width] + 1) >> 1);
      }
      if (t < to) samples[2 * t] = p[0];
    }
  }
}

// Every diagonalStep-th diagonal and antidiagonal, gathered `block` lines at
// a time into room (block * 2 * the shorter side bytes). Positions along a
// line come out in samples, half a pixel step apart, and are turned into
// the line's own pixel measure.
void scanDiagonals(const unsigned char* grey, int width, int height, const ScanSettings& settings,
                   const LineRoom& room, unsigned char* values, int block, HitList* hits) {
  const float rootHalf = 0.70710678f;
  int step = settings.diagonalStep;
  // The global threshold only: the rows and columns carry the local one for
  // unevenly lit symbols, and diagonals are there for low symbols at a
  // steep angle, which the global threshold finds as well at half the cost.
  ScanSettings globalOnly = settings;
  globalOnly.thresholds &= 1 << kGlobalThreshold;
  int shorter = width < height ? width : height;
  size_t stride = (size_t)2 * shorter;
  Diagonal lines[kDiagonalBlock];
  block = block > kDiagonalBlock ? kDiagonalBlock : block;
  bool fetchAhead = (long long)width * height > kCachedPicture;
  for (int dx = 1; dx >= -1; dx -= 2) {
    int direction = dx > 0 ? kScanDiagonals : kScanAntidiagonals;
    for (int first = step / 2 - (height - 1); first < width; first += block * step) {
      int count = 0;
      for (int c = first; c < width && count < block; c += step) lines[count++] = diagonalAt(width, height, c, dx);
      gatherDiagonals(grey, width, lines, count, dx, fetchAhead, values, stride);
      for (int k = 0; k < count; k++) {
        const Diagonal& d = lines[k];
        int hitsBefore = hits->count;
        float line = dx > 0 ? (d.x - d.y) * rootHalf : (d.x + d.y + 1) * rootHalf;
        scanWithThresholds(values + (size_t)k * stride, 2 * d.pixels - 1, globalOnly, settings.window, line,
                           direction, room, hits);
        float offset = dx > 0 ? d.x + d.y + 0.5f : d.y - d.x - 0.5f;
        for (int i = hitsBefore; i < hits->count; i++) {
          hits->hits[i].inner = (hits->hits[i].inner + offset) * rootHalf;
          hits->hits[i].outer = (hits->hits[i].outer + offset) * rootHalf;
        }
      }
    }
  }
}

#ifdef __SSE2__
// Sixteen pixels `step` (1, 2 or 4) apart from p on.
inline __m128i everyStep(const unsigned char* p, int step) {
  if (step == 1) return _mm_loadu_si128((const __m128i*)p);
  if (step == 2) {
    __m128i low = _mm_set1_epi16(0xff);
    return _mm_packus_epi16(_mm_and_si128(_mm_loadu_si128((const __m128i*)p), low),
                            _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 16)), low));
  }
  __m128i low = _mm_set1_epi32(0xff);
  __m128i a = _mm_and_si128(_mm_loadu_si128((const __m128i*)p), low);
  __m128i b = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 16)), low);
  __m128i c = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 32)), low);
  __m128i d = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 48)), low);
  return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}
#endif

// Columns first, first + step, ... (count of them) of the picture, column c
// to columns + c * height: blocks of sixteen rows and sixteen columns are
// turned by one transpose where the step allows it.
void gatherColumns(const unsigned char* grey, int width, int height, int first, int step, int count,
                   unsigned char* columns) {
  int c = 0;
#ifdef __SSE2__
  if (step == 1 || step == 2 || step == 4) {
    for (; c + 16 <= count && first + (c + 16) * step <= width; c += 16) {
      int y = 0;
      for (; y + 16 <= height; y += 16) {
        __m128i block[16];
        for (int r = 0; r < 16; r++) block[r] = everyStep(grey + (size_t)(y + r) * width + first + c * step, step);
        transpose16(block);
        for (int i = 0; i < 16; i++) _mm_storeu_si128((__m128i*)(columns + (size_t)(c + i) * height + y), block[i]);
      }
      for (; y < height; y++)
        for (int i = 0; i < 16; i++)
          columns[(size_t)(c + i) * height + y] = grey[(size_t)y * width + first + (c + i) * step];
    }
  }
#endif
  for (int y = 0; y < height; y++) {
    const unsigned char* row = grey + (size_t)y * width + first;
    for (int i = c; i < count; i++) columns[(size_t)i * height + y] = row[i * step];
  }
}

bool scanForPatterns(const unsigned char* grey, int width, int height, const ScanSettings& settings,
                     HitList* hits) {
  if (!grey || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide || !hits)
    return true;
  int step = settings.step < 1 ? 1 : settings.step;
  // A diagonal holds up to twice the shorter side in samples.
  int longest = width > height ? width : height;
  int shorter = width < height ? width : height;
  longest = 2 * shorter > longest ? 2 * shorter : longest;
  LineRoom room = {(unsigned char*)std::malloc((size_t)longest),
                   (int*)std::malloc(sizeof(int) * (size_t)(longest + 1)),
                   (unsigned short*)std::malloc(sizeof(unsigned short) * (size_t)(longest + 1))};
  // Columns are gathered a block at a time, so that each pass over the
  // picture's rows serves many columns.
  enum { kColumnBlock = 64 };
  size_t columnRoom = (size_t)kColumnBlock * height, diagonalRoom = (size_t)kDiagonalBlock * 2 * shorter;
  unsigned char* columns = (unsigned char*)std::malloc(columnRoom > diagonalRoom ? columnRoom : diagonalRoom);
  bool ok = room.thresholds && room.starts && room.sums && columns;
  if (ok) {
    for (int y = step / 2; y < height; y += step)
      scanWithThresholds(grey + (size_t)y * width, width, settings, settings.window, y + 0.5f, kScanRows, room, hits);
    for (int first = step / 2; first < width; first += kColumnBlock * step) {
      int count = 0;
      for (int x = first; x < width && count < kColumnBlock; x += step) count++;
      gatherColumns(grey, width, height, first, step, count, columns);
      for (int c = 0; c < count; c++)
        scanWithThresholds(columns + (size_t)c * height, height, settings, settings.window, first + c * step + 0.5f,
                           kScanColumns, room, hits);
    }
    if (settings.diagonalStep > 0) scanDiagonals(grey, width, height, settings, room, columns, kDiagonalBlock, hits);
  }
  std::free(room.thresholds);
  std::free(room.starts);
  std::free(room.sums);
  std::free(columns);
  return ok;
}
