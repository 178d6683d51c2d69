#include "locate/pattern_shapes.h"

#include <cmath>

namespace pdf417read::detail::pattern_scan {

namespace {

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
  hit.closer = 0;
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

}  // namespace

// The shape's runs between edges[0..shape.runs], kept as a hit when they fit
// and hits[lineFirst..] (none when lineFirst < 0) do not hold it already.
void matchWindow(const float* edges, const PatternShape& shape, float line, int direction, int threshold,
                 HitList* hits, int lineFirst) {
  float window[9];
  for (int k = 0; k < shape.runs; k++) window[k] = edges[k + 1] - edges[k];
  if (!runsMatch(window, shape)) return;
  float start = edges[0], end = edges[shape.runs], inner = shape.innerAtEnd ? end : start;
  if (lineFirst >= 0 && seenAlready(hits, lineFirst, shape, inner)) return;
  addHit(hits, line, inner, shape.innerAtEnd ? start : end, direction, shape, threshold);
}

}  // namespace pdf417read::detail::pattern_scan
