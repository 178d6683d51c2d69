#include "pipeline/symbol_candidates.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "codeword/indicator_reader.h"

namespace pdf417read::detail {

// The point of the line through `point` along `along` whose projection on
// `down` is `level`.
Vec atLevel(Vec point, Vec along, Vec down, double level) {
  double rate = dot(along, down);
  if (std::fabs(rate) < 1e-6) return point;
  return point + along * ((level - dot(point, down)) / rate);
}

namespace {

// A point given by its place along a scan line and the line's own place
// (see PatternHit): diagonal lines use the picture's axes turned by 45
// degrees.
Vec pictureOf(int direction, double line, double along) {
  const double rootHalf = 0.70710678118654752;
  switch (direction) {
    case kScanRows: return {along, line};
    case kScanColumns: return {line, along};
    case kScanDiagonals: return {(along + line) * rootHalf, (along - line) * rootHalf};
    default: return {(line - along) * rootHalf, (line + along) * rootHalf};
  }
}

// A trail as an edge in the picture.
Edge edgeOf(const PatternTrail& trail) {
  Edge edge;
  double middle = (trail.firstLine + trail.lastLine) * 0.5;
  double stretch = std::sqrt(1.0 + trail.slope * trail.slope);
  edge.present = true;
  edge.point = pictureOf(trail.direction, middle, trailInner(trail, middle));
  edge.along = pictureOf(trail.direction, 1.0, trail.slope) * (1.0 / stretch);
  edge.first = (trail.firstLine - middle) * stretch;
  edge.last = (trail.lastLine - middle) * stretch;
  edge.module = trail.moduleAlong / stretch;
  edge.hits = trail.hits;
  edge.outerShift = pictureOf(trail.direction, 0.0, trail.outerOffset - trail.offset);
  double reach = dot(edge.outerShift, edge.along);
  edge.patternFirst = edge.first + std::fmin(reach, 0.0);
  edge.patternLast = edge.last + std::fmax(reach, 0.0);
  return edge;
}

// Across the bars, pointing the way the pattern reads forward.
Vec acrossOf(const PatternTrail& trail, Vec along) {
  Vec forward = pictureOf(trail.direction, 0.0, trail.reversed ? -1.0 : 1.0);
  Vec across = {-along.y, along.x};
  return dot(across, forward) < 0 ? across * -1.0 : across;
}

// The stretch of an edge as positions along the line through `origin` in
// direction `along`.
void stretchAlong(const Edge& edge, Vec origin, Vec along, double* first, double* last) {
  double a = dot(edge.point + edge.along * edge.first - origin, along);
  double b = dot(edge.point + edge.along * edge.last - origin, along);
  *first = std::fmin(a, b);
  *last = std::fmax(a, b);
}

// The stretch of an edge's whole pattern, its inner stretch and where the
// lines that saw it met its outer edge, as positions along the line through
// `origin` in direction `along`.
void wholeAlong(const Edge& edge, Vec origin, Vec along, double* first, double* last) {
  double a, b;
  stretchAlong(edge, origin, along, &a, &b);
  double reach = dot(edge.outerShift, along);
  *first = std::fmin(a, a + reach);
  *last = std::fmax(b, b + reach);
}

// The same for the stretch of the whole pattern (Edge::patternFirst).
void patternAlong(const Edge& edge, Vec origin, Vec along, double* first, double* last) {
  double a = dot(edge.point + edge.along * edge.patternFirst - origin, along);
  double b = dot(edge.point + edge.along * edge.patternLast - origin, along);
  *first = std::fmin(a, b);
  *last = std::fmax(a, b);
}

// The middle of the stretch a pattern was seen over: halfway between the
// ends of its inner stretch and of its outer one.
Vec patternCentre(const Edge& edge) {
  return edge.point + edge.along * ((edge.first + edge.last) * 0.5) + edge.outerShift * 0.5;
}

// The pattern edge turned to run along `along` about its point, the
// stretches it was seen over measured anew.
Edge turnedTo(const Edge& edge, Vec along) {
  Edge turned = edge;
  turned.along = dot(along, edge.along) < 0 ? along * -1.0 : along;
  stretchAlong(edge, edge.point, turned.along, &turned.first, &turned.last);
  wholeAlong(edge, edge.point, turned.along, &turned.patternFirst, &turned.patternLast);
  return turned;
}

// A pattern edge as every scan that saw it shows it together: the rows,
// columns and diagonals, with either threshold, each see some stretch of
// the same edge.
struct SeenEdge {
  Edge edge;
  Vec across;  // the way the pattern reads forward
  int kind;    // PatternKind
};

// Whether edge b lies on edge a's line, facing the same way, and within a
// few modules of its stretch.
bool sameEdge(const SeenEdge& a, const SeenEdge& b) {
  if (a.kind != b.kind || dot(a.across, b.across) < 0.995) return false;
  double module = std::fmax(a.edge.module, b.edge.module);
  double off = std::fabs(dot(b.edge.point - a.edge.point, a.across));
  if (off > 1.0 + module) return false;
  double aFirst, aLast, bFirst, bLast;
  stretchAlong(a.edge, a.edge.point, a.edge.along, &aFirst, &aLast);
  stretchAlong(b.edge, a.edge.point, a.edge.along, &bFirst, &bLast);
  double gap = std::fmax(bFirst - aLast, aFirst - bLast);
  return gap < 12.0 + 6.0 * module;
}

// Adds b's stretch and sightings to a, whose line stays: trails come
// strongest first, and the strongest fit is the best.
void mergeEdge(SeenEdge* a, const SeenEdge& b) {
  double bFirst, bLast;
  stretchAlong(b.edge, a->edge.point, a->edge.along, &bFirst, &bLast);
  a->edge.first = std::fmin(a->edge.first, bFirst);
  a->edge.last = std::fmax(a->edge.last, bLast);
  // Only the strongest trail's outer ends: a few sightings on lines across
  // a corner of the pattern may end a little beyond it.
  a->edge.patternFirst = std::fmin(a->edge.patternFirst, bFirst);
  a->edge.patternLast = std::fmax(a->edge.patternLast, bLast);
  int hits = a->edge.hits + b.edge.hits;
  a->edge.module = (a->edge.module * a->edge.hits + b.edge.module * b.edge.hits) / hits;
  a->edge.hits = hits;
}

// The trails (strongest first) merged into the edges they show. Returns the
// number of edges.
int seenEdges(const PatternTrail* trails, int count, SeenEdge* edges) {
  int made = 0;
  for (int i = 0; i < count; i++) {
    SeenEdge seen;
    seen.edge = edgeOf(trails[i]);
    seen.across = acrossOf(trails[i], seen.edge.along);
    seen.kind = trails[i].kind;
    int same = -1;
    for (int k = 0; k < made && same < 0; k++)
      if (sameEdge(edges[k], seen)) same = k;
    if (same >= 0)
      mergeEdge(&edges[same], seen);
    else
      edges[made++] = seen;
  }
  return made;
}

// Whether two edges' modules may belong to one symbol. Without
// perspective they are about as wide. Seen in perspective the far edge's
// modules are narrower, down to a third, and the far edge shorter too:
// heights shrink as the distance grows, widths across the line of sight
// about as its square, so the ratio of modules lies near the square of
// the ratio of lengths, and never much above the ratio of lengths itself.
bool modulesAgree(const Edge& a, double aLength, const Edge& b, double bLength) {
  bool bFar = b.module < a.module;
  double modules = bFar ? b.module / a.module : a.module / b.module;
  double lengths = bFar ? bLength / aLength : aLength / bLength;
  if (modules >= 0.7) return true;
  return modules >= 0.1 && modules >= 0.6 * lengths * lengths && modules <= 1.25 * lengths;
}

// The unit vector halfway between two edges' directions, taken the same
// way round: the symbol's own down when the edges lean apart in perspective.
Vec betweenAlongs(Vec a, Vec b) {
  if (dot(a, b) < 0) b = b * -1.0;
  Vec sum = a + b;
  double length = std::sqrt(dot(sum, sum));
  return length > 1e-9 ? sum * (1.0 / length) : a;
}

// Across a pair seen askew: from the middle of the start pattern to that of
// the stop pattern (see patternCentre), which both lie halfway down it.
Vec pairAcross(const Edge& start, const Edge& stop) {
  Vec between = patternCentre(stop) - patternCentre(start);
  double length = std::sqrt(dot(between, between));
  return length > 1e-9 ? between * (1.0 / length) : Vec{0.0, 0.0};
}

// Whether the lines of two edges, `down` halfway between their directions,
// meet beyond both ends of the shorter one's stretch by a margin: the sides
// of a symbol in perspective lean towards a point away from the symbol,
// never across it.
bool meetAway(const Edge& s, const Edge& e, Vec down, double first, double last) {
  double denominator = cross(s.along, e.along);
  if (std::fabs(denominator) < 1e-6) return true;  // parallel
  double t = cross(e.point - s.point, e.along) / denominator;
  double level = dot(s.point + s.along * t - s.point, down);
  double margin = 0.5 * (last - first);
  return level < first - margin || level > last + margin;
}

// How a start edge is paired with a stop edge: by the stretches their inner
// edges were seen over, by those of their whole patterns, by the inner
// stretches measured across the line between the patterns' middles, or by
// the whole patterns' stretches across that line with the edges squared to
// it (edges seen on a few lines only lean by some degrees, which a symbol's
// width makes many pixels).
enum Pairing { kByInnerEdges, kByWholePatterns, kAcrossMiddles, kBySquaredPatterns };

// The stop edge that closes a start edge: facing about the same way, ahead
// of it by at least the two row indicators and at most the widest symbol,
// with modules that agree (see modulesAgree), leaning apart by no more than
// a steep keystone makes them (some 70 degrees, their lines meeting well
// away from the symbol), and beside it over most of the shorter one's
// length, measured along the direction halfway between the two. Compared in
// the start edge's own frame, so that a symbol at any angle pairs alike.
// With kByWholePatterns the stretches the whole patterns were seen over
// stand for the edges' (see Edge::patternFirst); kBySquaredPatterns
// compares those across the line between the patterns' middles, and the
// two sides need not lean apart. -1 when none.
int closingStop(const SeenEdge* edges, int count, int start, Pairing pairing) {
  const Edge& s = edges[start].edge;
  int best = -1;
  double bestDistance = 0;
  for (int i = 0; i < count; i++) {
    if (edges[i].kind != kStopPatternKind || dot(edges[i].across, edges[start].across) < 0.3) continue;
    const Edge& e = edges[i].edge;
    Vec down = betweenAlongs(s.along, e.along);
    double sFirst, sLast, eFirst, eLast;
    if (pairing == kBySquaredPatterns || pairing == kAcrossMiddles) {
      // Edges seen on a few lines only lean by some degrees, which a
      // symbol's width makes many pixels; and sides that lean apart
      // unevenly, as a symbol tilted two ways shows them, make the
      // direction halfway between them slant across the symbol. Either way
      // the symbol's own down is across the line between the middles of its
      // two patterns.
      Vec across = pairAcross(s, e);
      // A symbol tilted far two ways at once is sheared: its rows may cross
      // its bars up to some 45 degrees off square. Squared edges must lie
      // near square.
      double leastSquare = pairing == kAcrossMiddles ? 0.7 : 0.9;
      if (dot(across, edges[start].across) < leastSquare || dot(across, edges[i].across) < leastSquare) continue;
      down = downOf(across);
      if (pairing == kAcrossMiddles) {
        stretchAlong(s, s.point, down, &sFirst, &sLast);
        stretchAlong(e, s.point, down, &eFirst, &eLast);
      } else {
        wholeAlong(s, s.point, down, &sFirst, &sLast);
        wholeAlong(e, s.point, down, &eFirst, &eLast);
      }
    } else if (pairing == kByWholePatterns) {
      patternAlong(s, s.point, down, &sFirst, &sLast);
      patternAlong(e, s.point, down, &eFirst, &eLast);
    } else {
      stretchAlong(s, s.point, down, &sFirst, &sLast);
      stretchAlong(e, s.point, down, &eFirst, &eLast);
    }
    double overlap = std::fmin(sLast, eLast) - std::fmax(sFirst, eFirst);
    double shorter = std::fmin(sLast - sFirst, eLast - eFirst);
    double longer = std::fmax(sLast - sFirst, eLast - eFirst);
    // A stray sighting in the data or the background shows over a few lines
    // only; the patterns of one symbol run along most of its height, and
    // the same scans see both about as often.
    if (overlap < 0.5 * shorter || shorter < 0.2 * longer) continue;
    bool apart = meetAway(s, e, down, std::fmax(sFirst, eFirst), std::fmin(sLast, eLast));
    if (pairing != kBySquaredPatterns && !apart) continue;
    if (!modulesAgree(s, sLast - sFirst, e, eLast - eFirst)) continue;
    double sDensity = s.hits / (sLast - sFirst + 1.0), eDensity = e.hits / (eLast - eFirst + 1.0);
    if (eDensity < 0.2 * sDensity || sDensity < 0.2 * eDensity) continue;
    double middle = (std::fmax(sFirst, eFirst) + std::fmin(sLast, eLast)) * 0.5;
    Vec onStart = atLevel(s.point, s.along, down, dot(s.point, down) + middle);
    Vec onStop = atLevel(e.point, e.along, down, dot(s.point, down) + middle);
    double distance = dot(onStop - onStart, edges[start].across);
    double modules = distance / std::sqrt(s.module * e.module);
    if (modules < 30 || modules > 17 * (kMaxGridColumns + 1)) continue;
    if (best < 0 || distance < bestDistance) best = i, bestDistance = distance;
  }
  return best;
}

bool moreHits(const Candidate& a, const Candidate& b) { return a.hits > b.hits; }

}  // namespace

// Both edges as the line between their patterns' middles squares them:
// each was seen on too few lines to lie well on its own.
bool squareByPatterns(Candidate* c) {
  if (!c->start.present || !c->stop.present) return false;
  Vec across = pairAcross(c->start, c->stop);
  if (dot(across, c->across) < 0.9) return false;
  c->across = across;
  c->start = turnedTo(c->start, downOf(across));
  c->stop = turnedTo(c->stop, downOf(across));
  c->byPatterns = true;
  return true;
}

// Pairs each start edge with the stop edge that closes it; what stays alone
// becomes a candidate of its own. Strongest first.
int buildCandidates(const PatternTrail* trails, int count, Candidate* candidates, int capacity) {
  bool* paired = (bool*)std::calloc((size_t)count + 1, sizeof(bool));
  SeenEdge* edges = (SeenEdge*)std::malloc(sizeof(SeenEdge) * ((size_t)count + 1));
  int made = 0;
  if (paired && edges) {
    int edgeCount = seenEdges(trails, count, edges);
    for (int i = 0; i < edgeCount && made < capacity; i++) {
      if (edges[i].kind != kStartPatternKind) continue;
      Candidate& c = candidates[made++];
      c.start = edges[i].edge;
      c.across = edges[i].across;
      c.stop = Edge();
      // Lines askew to a low symbol see a start pattern's inner edge near
      // one end of it and a stop pattern's near the other: when the inner
      // edges pair with none, the whole patterns, which both span the
      // symbol, are compared.
      int stop = closingStop(edges, edgeCount, i, kByInnerEdges);
      c.byPatterns = stop < 0;
      if (stop < 0) stop = closingStop(edges, edgeCount, i, kByWholePatterns);
      c.byPatterns = c.byPatterns && stop >= 0;
      // A symbol tilted two ways at once: its sides lean apart unevenly.
      if (stop < 0) stop = closingStop(edges, edgeCount, i, kAcrossMiddles);
      if (stop >= 0) {
        c.stop = edges[stop].edge;
        // Across the symbol halfway between the two sides: in perspective
        // they lean apart.
        Vec both = c.across + edges[stop].across;
        c.across = both * (1.0 / std::sqrt(dot(both, both)));
        paired[stop] = true;
      }
      c.hits = c.start.hits + (stop >= 0 ? c.stop.hits : 0);
    }
    for (int i = 0; i < edgeCount && made < capacity; i++) {
      if (edges[i].kind != kStopPatternKind || paired[i]) continue;
      Candidate& c = candidates[made++];
      c.start = Edge();
      c.stop = edges[i].edge;
      c.across = edges[i].across;
      c.hits = c.stop.hits;
      c.byPatterns = false;
    }
  }
  std::free(paired);
  std::free(edges);
  // Stable: candidates with as many hits keep the order they were made in,
  // whichever C library sorts (qsort's order of equals differs between them).
  std::stable_sort(candidates, candidates + made, moreHits);
  return made;
}

int squaredPairs(const Candidate* candidates, int count, Candidate* pairs, int capacity) {
  SeenEdge* edges = (SeenEdge*)std::malloc(sizeof(SeenEdge) * ((size_t)count + 1));
  bool* paired = (bool*)std::calloc((size_t)count + 1, sizeof(bool));
  int edgeCount = 0, made = 0;
  if (edges && paired) {
    for (int i = 0; i < count; i++) {
      const Candidate& c = candidates[i];
      if (c.start.present == c.stop.present) continue;
      edges[edgeCount++] = {c.start.present ? c.start : c.stop, c.across,
                            c.start.present ? kStartPatternKind : kStopPatternKind};
    }
    for (int i = 0; i < edgeCount && made < capacity; i++) {
      if (edges[i].kind != kStartPatternKind) continue;
      int stop = closingStop(edges, edgeCount, i, kBySquaredPatterns);
      if (stop < 0 || paired[stop]) continue;
      Candidate& c = pairs[made];
      c.start = edges[i].edge;
      c.stop = edges[stop].edge;
      Vec both = edges[i].across + edges[stop].across;
      c.across = both * (1.0 / std::sqrt(dot(both, both)));
      c.hits = c.start.hits + c.stop.hits;
      if (!squareByPatterns(&c)) continue;
      paired[stop] = true;
      made++;
    }
  }
  std::free(edges);
  std::free(paired);
  return made;
}

}  // namespace pdf417read::detail
