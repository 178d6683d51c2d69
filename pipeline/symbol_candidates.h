// Where symbols may lie: the scan's pattern trails merged into the edges they
// show (rows, columns, diagonals and both thresholds each see a stretch of
// the same edge), each start edge paired with the stop edge that closes it.
// Geometry is in picture coordinates with pixel centres at .5.
#ifndef PDF417_PIPELINE_SYMBOL_CANDIDATES_H
#define PDF417_PIPELINE_SYMBOL_CANDIDATES_H

#include "locate/pattern_trails.h"

namespace pdf417read::detail {

struct Vec {
  double x, y;
};
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator*(Vec a, double s) { return {a.x * s, a.y * s}; }
inline double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }

// Down the symbol when `across` runs from its start to its stop pattern and
// the symbol is not mirrored.
inline Vec downOf(Vec across) { return {-across.y, across.x}; }

// The point of the line through `point` along `along` whose projection on
// `down` is `level`.
Vec atLevel(Vec point, Vec along, Vec down, double level);

// A pattern's inner edge.
struct Edge {
  bool present;
  Vec point;           // on the edge, in the middle of the stretch seen
  Vec along;           // unit vector along the bars
  double first, last;  // the stretch seen, as distances from point along `along`
  // The stretch the whole pattern was seen over, the sightings' outer ends
  // too: a scan line crossing the pattern askew meets its outer edge
  // further up or down the symbol than its inner one.
  double patternFirst, patternLast;
  // From the inner edge to the outer one along the scan lines that saw it.
  Vec outerShift;
  double module;       // module width across the bars
  int hits;
};

// A place where a symbol may lie: one or both pattern edges.
struct Candidate {
  Edge start, stop;
  Vec across;  // unit vector from the start pattern towards the stop pattern
  int hits;
  // The pair met by the stretches their whole patterns were seen over,
  // their inner edges pairing with none (see buildCandidates).
  bool byPatterns;
};

// A pair read as one that met by its whole patterns: across the line
// between their middles, each edge turned to run square to it. False, and
// the pair unchanged, when that line leans far from the pair's across.
bool squareByPatterns(Candidate* c);

// The candidates the trails (strongest first) show, strongest first: every
// start edge, with the stop edge that closes it when there is one, then
// every stop edge no start took. Writes at most `capacity`; returns their
// number.
int buildCandidates(const PatternTrail* trails, int count, Candidate* candidates, int capacity);

// Pairs of the candidates' lone start and stop edges that meet only across
// the line between their patterns' middles, squared to it (see
// squareByPatterns): the sides of a low symbol askew to every scan line,
// each seen on a few lines only. Writes up to `capacity`, returns how many.
int squaredPairs(const Candidate* candidates, int count, Candidate* pairs, int capacity);

}  // namespace pdf417read::detail

#endif
