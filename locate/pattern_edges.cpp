#include "locate/pattern_edges.h"

#include <cmath>
#include <cstdlib>

#include "locate/start_stop_search.h"

enum {
  kMaxHitsPerRow = 4,
  kMinEdgeRows = 6,  // fewer sightings in a line are taken for chance
};

// One sighting of a pattern: its inner edge column on a row and its width.
struct PatternHit {
  int y;
  int x;
  int span;
};

// Every sighting of the pattern on every row, a few per row at most, left to
// right. Returns the number stored in hits (room for height * kMaxHitsPerRow).
static int collectHits(const unsigned char* binary, int width, int height, const int* pattern,
                       int count, bool innerIsEnd, PatternHit* hits) {
  int stored = 0;
  for (int y = 0; y < height; y++) {
    int from = 0;
    for (int k = 0; k < kMaxHitsPerRow && from < width; k++) {
      PatternSpan* span = scanRowForPattern(binary, width, y, from, width - from, 0, pattern, count);
      if (!span) break;
      hits[stored].y = y;
      hits[stored].x = innerIsEnd ? span->end : span->first;
      hits[stored].span = span->end - span->first;
      stored++;
      from = span->end;
    }
  }
  return stored;
}

static int compareInts(const void* a, const void* b) {
  int x = *(const int*)a, y = *(const int*)b;
  return (x > y) - (x < y);
}

// Links sightings row by row into chains that move at most a module or two
// per row: the longest chain is the pattern's edge, and stray sightings in
// the data or the background stay in short chains of their own. Only chains
// seen within the last few rows can grow, so the work stays linear.
static int longestChain(const PatternHit* hits, int count, int* chainOf, int modules) {
  int* lastOfChain = (int*)std::malloc(sizeof(int) * (size_t)count);
  int* chainLength = (int*)std::malloc(sizeof(int) * (size_t)count);
  int* active = (int*)std::malloc(sizeof(int) * (size_t)count);
  int chains = 0, activeCount = 0, best = -1;
  if (lastOfChain && chainLength && active) {
    for (int i = 0; i < count; i++) {
      int maxGap = 12 + hits[i].span / 2;
      double tolerance = 2.0 + hits[i].span / (double)modules;
      int kept = 0, joined = -1;
      for (int a = 0; a < activeCount; a++) {
        int c = active[a];
        const PatternHit& last = hits[lastOfChain[c]];
        int gap = hits[i].y - last.y;
        if (gap > maxGap) continue;  // too far above: this chain has ended
        active[kept++] = c;
        if (joined < 0 && gap > 0 && std::abs(hits[i].x - last.x) <= tolerance + gap * 0.6) joined = c;
      }
      activeCount = kept;
      if (joined < 0) {
        joined = chains++;
        chainLength[joined] = 0;
        active[activeCount++] = joined;
      }
      lastOfChain[joined] = i;
      chainLength[joined]++;
      chainOf[i] = joined;
    }
    for (int c = 0; c < chains; c++)
      if (best < 0 || chainLength[c] > chainLength[best]) best = c;
  }
  std::free(lastOfChain);
  std::free(chainLength);
  std::free(active);
  return best;
}

// Least-squares line x = slope * y + offset through the chain's sightings.
static void fitEdge(const PatternHit* hits, int count, const int* chainOf, int chain, int modules,
                    PatternEdge* edge) {
  double sy = 0, sx = 0, syy = 0, sxy = 0;
  int n = 0;
  int* spans = (int*)std::malloc(sizeof(int) * (size_t)count);
  edge->top = 1 << 30;
  edge->bottom = -1;
  for (int i = 0; i < count; i++) {
    if (chainOf[i] != chain) continue;
    double y = hits[i].y, x = hits[i].x;
    sy += y;
    sx += x;
    syy += y * y;
    sxy += x * y;
    if (spans) spans[n] = hits[i].span;
    n++;
    if (hits[i].y < edge->top) edge->top = hits[i].y;
    if (hits[i].y > edge->bottom) edge->bottom = hits[i].y;
  }
  double det = n * syy - sy * sy;
  edge->rows = n;
  edge->slope = det > 1e-9 ? (n * sxy - sx * sy) / det : 0.0;
  edge->offset = (sx - edge->slope * sy) / n;
  double medianSpan = 0;
  if (spans) {
    std::qsort(spans, (size_t)n, sizeof(int), compareInts);
    medianSpan = spans[n / 2];
  }
  edge->moduleWidth = medianSpan / modules;
  std::free(spans);
}

// The chain may be one piece of an edge broken by blur or damage: every
// sighting close to its line joins it, as far as the sightings run on
// without a long gap, and the line is fitted again.
static void gatherAlongLine(const PatternHit* hits, int count, int* chainOf, int chain, int modules,
                            const PatternEdge& edge) {
  double tolerance = 1.5 + edge.moduleWidth;
  int maxGap = 12 + (int)(edge.moduleWidth * modules / 2);
  int bestFirst = 0, bestLast = -1, bestCount = 0, runFirst = -1, runCount = 0, last = -1;
  for (int i = 0; i < count; i++) {
    if (std::fabs(hits[i].x - edgeColumn(edge, hits[i].y)) > tolerance) continue;
    if (last >= 0 && hits[i].y - hits[last].y > maxGap) runFirst = -1;
    if (runFirst < 0) {
      runFirst = i;
      runCount = 0;
    }
    runCount++;
    last = i;
    if (runCount > bestCount) {
      bestCount = runCount;
      bestFirst = runFirst;
      bestLast = i;
    }
  }
  for (int i = 0; i < count; i++)
    if (chainOf[i] == chain) chainOf[i] = -1;
  for (int i = bestFirst; i <= bestLast; i++)
    if (std::fabs(hits[i].x - edgeColumn(edge, hits[i].y)) <= tolerance) chainOf[i] = chain;
}

static void findEdge(const unsigned char* binary, int width, int height, const int* pattern,
                     int count, bool innerIsEnd, PatternEdge* edge) {
  edge->rows = 0;
  PatternHit* hits = (PatternHit*)std::malloc(sizeof(PatternHit) * (size_t)height * kMaxHitsPerRow);
  int* chainOf = (int*)std::malloc(sizeof(int) * (size_t)height * kMaxHitsPerRow);
  if (hits && chainOf) {
    int modules = 0;
    for (int k = 0; k < count; k++) modules += pattern[k];
    int found = collectHits(binary, width, height, pattern, count, innerIsEnd, hits);
    int chain = found > 0 ? longestChain(hits, found, chainOf, modules) : -1;
    if (chain >= 0) {
      fitEdge(hits, found, chainOf, chain, modules, edge);
      for (int pass = 0; pass < 2; pass++) {
        gatherAlongLine(hits, found, chainOf, chain, modules, *edge);
        fitEdge(hits, found, chainOf, chain, modules, edge);
      }
    }
    if (edge->rows < kMinEdgeRows) edge->rows = 0;
  }
  std::free(hits);
  std::free(chainOf);
}

int findSymbolEdges(const unsigned char* binary, int width, int height, SymbolEdges* edges) {
  edges->start.rows = edges->stop.rows = 0;
  if (!binary || width < 1 || height < 1) return 0;
  findEdge(binary, width, height, startPattern, 8, true, &edges->start);
  findEdge(binary, width, height, stopPattern, 9, false, &edges->stop);
  // Two edges belong to one symbol only if the stop edge lies right of the
  // start edge, both span much of the same rows and their modules agree;
  // otherwise the weaker one is a stray sighting.
  PatternEdge* strong = edges->start.rows >= edges->stop.rows ? &edges->start : &edges->stop;
  PatternEdge* weak = strong == &edges->start ? &edges->stop : &edges->start;
  if (weak->rows > 0) {
    double middle = (strong->top + strong->bottom) * 0.5;
    double ratio = weak->moduleWidth / strong->moduleWidth;
    bool ordered = edgeColumn(edges->stop, middle) > edgeColumn(edges->start, middle);
    if (!ordered || weak->rows * 4 < strong->rows || ratio < 0.75 || ratio > 1.33) weak->rows = 0;
  }
  return (edges->start.rows > 0) + (edges->stop.rows > 0);
}
