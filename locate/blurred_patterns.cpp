#include "locate/blurred_patterns.h"

#include "locate/pattern_shapes.h"

namespace pdf417read::detail::pattern_scan {

// Blur keeps the shape of the thin bars and spaces beside the wide bar but
// not their levels: a one-module space between one-module bars may stay
// darker than any one level for the whole line, and the thin runs then merge
// with the wide bar. Around such a run the line is cut at its own turning
// points instead: each edge lies where the gray value crosses halfway
// between the turning points on either side of it, so that every run is
// measured against its neighbours alone.

namespace {

enum { kMaxTurns = 64 };

// The turning points of values[from, to): each lies at least `swing` gray
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

// The grain of values[from, to): the level a quarter of its second
// differences stay within. Blur smooths grain away with the thin runs, and
// a wide bar and the paper beside it hold flat stretches enough for the
// quarter, however busy the rest.
int grainOf(const unsigned char* values, int from, int to) {
  enum { kMaxDifference = 510 };
  int counts[kMaxDifference + 1] = {};
  int n = 0;
  for (int x = from + 1; x + 1 < to; x++, n++) {
    int d = values[x - 1] - 2 * values[x] + values[x + 1];
    counts[d < 0 ? -d : d]++;
  }
  int level = 0;
  for (int seen = counts[0]; 4 * seen < n && level < kMaxDifference; seen += counts[++level]) {
  }
  return level;
}

// Blurred thin runs are looked for beside dark runs of at most this many
// pixels: the wide bar with thin runs merged into it, some fifteen modules,
// at blur that merges runs of modules up to about four pixels.
enum { kMaxBlurredRun = 64 };

}  // namespace

// Whether the dark run [start, end) of a line of `length` values cut at
// `level` may be a blurred wide bar with thin runs beside it that the level
// does not part: the run's longest core (darker than halfway between the
// level and the line's darkest value `low`) is a quarter of the run or
// more, and within the run's width of the core, on either side, a thin
// space, bar and space show as a peak less than a quarter of that span
// from the level, a fall and a rise by a twelfth of it: blur that spreads
// modules of a pixel and a half over two leaves their bars and spaces
// barely that apart. A solid bar beside paper, a gradient, a shadow or grain
// shows no such peak.
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
  int swing = span / 12 > 8 ? span / 12 : 8;
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
// holds, the line is read by its turning points. The swing is a sixteenth
// of the window's contrast, eight levels at least, or less where the grain
// allows: one-module runs that blur leaves that faint still part, grain
// does not cut runs, and what coarser grain cuts matches no pattern.
void matchBlurredAround(const unsigned char* values, int length, int start, int end, float line, int direction,
                        int threshold, int lineFirst, HitList* hits) {
  int reach = (4 * (end - start)) / 3 + 4;
  int from = start - reach < 0 ? 0 : start - reach, to = end + reach > length ? length : end + reach;
  int low = 255, high = 0;
  for (int x = from; x < to; x++) {
    low = values[x] < low ? values[x] : low;
    high = values[x] > high ? values[x] : high;
  }
  int swing = (high - low) / 16 > 8 ? (high - low) / 16 : 8;
  // Where the grain is finer still, the swing comes down to three times
  // it (a twenty-fourth of the contrast at least): the one-module runs
  // of modules of a pixel and a half under blur swing by a few levels.
  int grain = 3 * grainOf(values, from, to), least = (high - low) / 24 > 4 ? (high - low) / 24 : 4;
  grain = grain > least ? grain : least;
  swing = grain < swing ? grain : swing;
  matchTurns(values, from, to, swing, line, direction, threshold, lineFirst, hits);
}

}  // namespace pdf417read::detail::pattern_scan
