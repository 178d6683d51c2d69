#include "locate/pattern_trails.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pdf417read::detail {

namespace {

int groupOf(const PatternHit& hit) {
  return ((hit.direction * 2 + hit.kind) * 2 + hit.reversed) * 2 + hit.threshold;
}

// Hits by group, then along the scan lines; hits that tie keep the order
// the scan found them in.
bool hitBefore(const PatternHit& x, const PatternHit& y) {
  int gx = groupOf(x), gy = groupOf(y);
  if (gx != gy) return gx < gy;
  if (x.line != y.line) return x.line < y.line;
  return x.inner < y.inner;
}

int modulesOf(int kind) { return kind == kStartPatternKind ? 17 : 18; }

double moduleOf(const PatternHit& hit) { return std::fabs(hit.outer - hit.inner) / modulesOf(hit.kind); }

struct Chain {
  int last, previous;  // hit indexes; previous -1 while the chain has one hit
  int length;
};

// Where chain c expects its edge on `line`, and how far off a hit may lie.
void expectation(const PatternHit* hits, const Chain& chain, double line, double module, double* expected,
                 double* tolerance) {
  const PatternHit& last = hits[chain.last];
  double gap = line - last.line;
  if (chain.previous < 0) {
    // One sighting says nothing of the tilt: allow a little over 45 degrees.
    *expected = last.inner;
    *tolerance = 1.0 + 1.5 * module + 1.1 * gap;
    return;
  }
  const PatternHit& previous = hits[chain.previous];
  double slope = (last.inner - previous.inner) / (last.line - previous.line);
  *expected = last.inner + slope * gap;
  *tolerance = 1.0 + 1.5 * module + 0.3 * gap;
}

// Links the hits of one group [first, end) into chains: each hit joins the
// chain, seen lately, whose edge it continues best. chainOf gets each hit's
// chain; returns the number of chains. chains and active have room for
// end - first entries.
int linkHits(const PatternHit* hits, int first, int end, int step, Chain* chains, int* active, int* chainOf) {
  int chainCount = 0, activeCount = 0;
  for (int i = first; i < end; i++) {
    const PatternHit& hit = hits[i];
    double module = moduleOf(hit);
    double maxGap = 3.0 * step + 6.0 * module;
    int best = -1;
    double bestOff = 0;
    int kept = 0;
    for (int a = 0; a < activeCount; a++) {
      const Chain& chain = chains[active[a]];
      const PatternHit& last = hits[chain.last];
      double gap = hit.line - last.line;
      if (gap > maxGap) continue;  // ended
      active[kept++] = active[a];
      double ratio = module / moduleOf(last);
      if (gap <= 0 || ratio < 0.7 || ratio > 1.43) continue;
      double expected, tolerance;
      expectation(hits, chain, hit.line, module, &expected, &tolerance);
      double off = std::fabs(hit.inner - expected);
      if (off <= tolerance && (best < 0 || off < bestOff)) best = active[a], bestOff = off;
    }
    activeCount = kept;
    if (best < 0) {
      best = chainCount++;
      chains[best] = Chain{i, -1, 0};
      active[activeCount++] = best;
    } else {
      chains[best].previous = chains[best].last;
      chains[best].last = i;
    }
    chains[best].length++;
    chainOf[i] = best;
  }
  return chainCount;
}

// Least-squares line through the chain's hits that lie within `tolerance`
// of the trail's present line. The outer edge is not fitted on its own:
// under perspective it leans apart from the inner one. False with fewer
// than kMinTrailHits hits.
bool fitTrail(const PatternHit* hits, int first, int end, const int* chainOf, int chain, double tolerance, int step,
              PatternTrail* trail) {
  double sl = 0, si = 0, sll = 0, sli = 0, outer = 0, span = 0;
  int n = 0, closer = 0;
  double firstLine = 0, lastLine = 0;
  for (int i = first; i < end; i++) {
    if (chainOf[i] != chain) continue;
    const PatternHit& hit = hits[i];
    if (std::fabs(hit.inner - trailInner(*trail, hit.line)) > tolerance) continue;
    if (n == 0) firstLine = hit.line;
    lastLine = hit.line;
    sl += hit.line;
    si += hit.inner;
    sll += (double)hit.line * hit.line;
    sli += (double)hit.line * hit.inner;
    span += std::fabs(hit.outer - hit.inner);
    outer += hit.outer - hit.inner;
    closer += hit.closer;
    n++;
  }
  if (n < kMinTrailHits) return false;
  double det = n * sll - sl * sl;
  trail->slope = det > 1e-9 ? (n * sli - sl * si) / det : 0.0;
  trail->offset = (si - trail->slope * sl) / n;
  trail->outerOffset = trail->offset + outer / n;
  trail->moduleAlong = span / n / modulesOf(trail->kind);
  trail->firstLine = firstLine;
  trail->lastLine = lastLine;
  trail->hits = n - closer + (closer + step - 1) / step;
  return true;
}

// A first line through the chain that stray sightings cannot pull: the
// median slope between hits half the chain apart, the median offset. False
// when it cannot be had.
bool medianLine(const PatternHit* hits, int first, int end, const int* chainOf, int chain, PatternTrail* trail) {
  int n = 0;
  for (int i = first; i < end; i++) n += chainOf[i] == chain;
  int* members = (int*)std::malloc(sizeof(int) * (size_t)n);
  double* values = (double*)std::malloc(sizeof(double) * (size_t)n);
  bool made = false;
  if (members && values && n >= kMinTrailHits) {
    int m = 0;
    for (int i = first; i < end; i++)
      if (chainOf[i] == chain) members[m++] = i;
    int half = n / 2, slopes = 0;
    for (int k = 0; k + half < n; k++) {
      const PatternHit& a = hits[members[k]];
      const PatternHit& b = hits[members[k + half]];
      if (b.line != a.line) values[slopes++] = (b.inner - a.inner) / (b.line - a.line);
    }
    if (slopes > 0) {
      std::stable_sort(values, values + slopes);
      trail->slope = values[slopes / 2];
      for (int k = 0; k < n; k++) values[k] = hits[members[k]].inner - trail->slope * hits[members[k]].line;
      std::stable_sort(values, values + n);
      trail->offset = values[n / 2];
      made = true;
    }
  }
  std::free(members);
  std::free(values);
  return made;
}

bool moreHits(const PatternTrail& a, const PatternTrail& b) { return a.hits > b.hits; }

// Adds the trail of chain c to trails unless they are full; returns the count.
int addTrail(const PatternHit* hits, int first, int end, const int* chainOf, const Chain& chain, int c, int step,
             PatternTrail* trails, int count, int capacity) {
  const PatternHit& sample = hits[chain.last];
  PatternTrail trail = {};
  trail.direction = sample.direction;
  trail.kind = sample.kind;
  trail.reversed = sample.reversed;
  trail.threshold = sample.threshold;
  if (!medianLine(hits, first, end, chainOf, c, &trail)) return count;
  // The sightings near that line, fitted; then once more near the fit.
  const PatternHit& last = hits[chain.last];
  double module = std::fabs(last.outer - last.inner) / modulesOf(last.kind);
  if (!fitTrail(hits, first, end, chainOf, c, 1.0 + module, step, &trail)) return count;
  PatternTrail refit = trail;
  if (fitTrail(hits, first, end, chainOf, c, 1.0 + trail.moduleAlong, step, &refit)) trail = refit;
  if (count < capacity) trails[count++] = trail;
  return count;
}

}  // namespace

int findTrails(PatternHit* hits, int hitCount, int step, PatternTrail* trails, int capacity) {
  if (!hits || hitCount <= 0 || !trails || capacity <= 0) return 0;
  std::stable_sort(hits, hits + hitCount, hitBefore);
  int* chainOf = (int*)std::malloc(sizeof(int) * (size_t)hitCount);
  int* active = (int*)std::malloc(sizeof(int) * (size_t)hitCount);
  Chain* chains = (Chain*)std::malloc(sizeof(Chain) * (size_t)hitCount);
  int count = 0;
  for (int first = 0; chainOf && active && chains && first < hitCount;) {
    int end = first;
    while (end < hitCount && groupOf(hits[end]) == groupOf(hits[first])) end++;
    int chainCount = linkHits(hits, first, end, step, chains, active, chainOf);
    for (int c = 0; c < chainCount; c++)
      if (chains[c].length >= kMinTrailHits)
        count = addTrail(hits, first, end, chainOf, chains[c], c, step < 1 ? 1 : step, trails, count, capacity);
    first = end;
  }
  std::free(chainOf);
  std::free(active);
  std::free(chains);
  // Stable: trails of as many hits keep the order they were found in,
  // whichever C library sorts (qsort's order of equals differs between them).
  std::stable_sort(trails, trails + count, moreHits);
  return count;
}

}  // namespace pdf417read::detail
