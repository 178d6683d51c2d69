#include "pipeline/symbol_scan.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "codeword/codeword_buffer.h"
#include "image/picture_limits.h"
#include "locate/light_patterns.h"
#include "locate/picture_levels.h"
#include "locate/pattern_scan.h"
#include "locate/pattern_trails.h"
#include "pipeline/bar_count.h"
#include "pipeline/far_pattern.h"
#include "pipeline/grid_reading.h"
#include "pipeline/row_count_guesses.h"
#include "pipeline/scan_effort.h"
#include "pipeline/shape_reading.h"
#include "pipeline/symbols_found.h"

namespace pdf417read::detail {

using namespace symbol_scan;

namespace {

enum {
  kMaxHits = 1 << 18,
  kMaxTrails = 512,
  kMaxDepth = 2,  // stretches read within stretches
  // Light-on-dark sightings kept: a symbol leaves some hundreds.
  kMaxInvertedHits = 1 << 14,
};

enum { kMaxCloserLooks = 32 };  // places looked at again closer, per scan

// Whether a trail took the sighting: one of its kind, seen the same way
// along lines of the same direction, passes near it.
bool onTrail(const PatternHit& hit, const PatternTrail* trails, int count, int step) {
  float module = std::fabs(hit.outer - hit.inner) / 17.0f;
  for (int i = 0; i < count; i++) {
    const PatternTrail& t = trails[i];
    if (t.direction != hit.direction || t.kind != hit.kind || t.reversed != hit.reversed) continue;
    if (hit.line < t.firstLine - step || hit.line > t.lastLine + step) continue;
    if (std::fabs(trailInner(t, hit.line) - hit.inner) <= 2.0 + 2.0 * module) return true;
  }
  return false;
}

// Sightings that no trail took, each place looked at again on the lines
// the scan skipped (see rescanAround). True when any place was.
bool lookCloser(const unsigned char* gray, int width, int height, const ScanSettings& settings, HitList* hits,
                const PatternTrail* trails, int trailCount) {
  PatternHit looked[kMaxCloserLooks];
  int lookedCount = 0, seen = hits->count;
  int step = settings.diagonalStep > settings.step ? settings.diagonalStep : settings.step;
  for (int i = 0; i < seen && lookedCount < kMaxCloserLooks; i++) {
    PatternHit hit = hits->hits[i];
    if (onTrail(hit, trails, trailCount, step)) continue;
    float module = std::fabs(hit.outer - hit.inner) / 17.0f;
    bool near = false;
    for (int k = 0; k < lookedCount && !near; k++)
      near = looked[k].direction == hit.direction && std::fabs(looked[k].line - hit.line) <= 2.0f * step &&
             std::fabs(looked[k].inner - hit.inner) <= 20.0f * module;
    if (near) continue;
    looked[lookedCount++] = hit;
    if (!rescanAround(gray, width, height, settings, hit, hits)) break;
  }
  return lookedCount > 0;
}

// The grids deferred to a reading by shapes, each unless a symbol read
// since covers it; those whose indicators placed no rows last, each row
// count in turn.
void readDeferredGrids(ScanContext* ctx) {
  for (int i = 0; i < ctx->deferredCount && !enoughSymbols(ctx); i++) {
    const DeferredGrid& p = ctx->deferred[i];
    if (alreadyRead(ctx, outlineCentre(p.grid.corners)) || !readRowsByShape(ctx, p.frame, p.grid, p.rows)) continue;
    fillOutlineOf(p.rows, p.grid.modulePixels, p.grid.layout.rows, p.compact, ctx->current);
    keepReading(ctx);
  }
  for (int i = 0; i < ctx->rowCountGridCount && !enoughSymbols(ctx); i++) {
    const RowCountGrid& p = ctx->rowCountGrids[i];
    int counts[kMaxRowCountTries];
    int n = rowCountsToTry(ctx, p, counts);
    for (int k = 0; k < n && !alreadyRead(ctx, outlineCentre(p.grid.corners)); k++)
      if (readByRowCount(ctx, p.frame, p.grid, counts[k], -1)) keepReading(ctx);
  }
}

// ---- reading a candidate ---------------------------------------------------

// The layout the row indicators beside a pattern announce, between levels.
bool indicatorLayout(ScanContext* ctx, const Candidate& c, const Levels& levels, SymbolLayout* layout) {
  for (int side = 0; side < 2; side++) {
    bool left = side == 0;
    const Edge& edge = left ? c.start : c.stop;
    if (!edge.present) continue;
    Candidate one = c;
    // One codeword column beside the pattern, read as a symbol of one column.
    one.start.present = left;
    one.stop.present = !left;
    Levels cut = levels;
    if (!left) cut.leftTop = cut.rightTop, cut.leftBottom = cut.rightBottom;
    else cut.rightTop = cut.leftTop, cut.rightBottom = cut.leftBottom;
    Frame f = frameOf(one, 1, cut);
    f.indicators = left ? kLeftIndicator : kRightIndicator;
    GridOutcome g;
    if (!readFrameGrid(ctx, f, 0, &g)) continue;
    SymbolLayout found;
    layoutFromIndicators(ctx->reading, &found);
    if (found.columns >= 1 && found.columns <= kMaxDataColumns) {
      *layout = found;
      return true;
    }
  }
  return false;
}

bool readStretch(ScanContext* ctx, const Candidate& c, const Levels& levels, int depth);

// Other symbols stacked with the one the layout belongs to, each read on
// its own (when the one was read, the others are what is left of the grid).
bool readOthers(ScanContext* ctx, const Candidate& c, const Frame& f, const GridOutcome& g, int depth) {
  bool read = false;
  for (int k = 0; k < g.otherSpans && depth < kMaxDepth; k++)
    read = readStretch(ctx, c, levelsOf(f, g, g.others[k].top, g.others[k].bottom), depth + 1) || read;
  return read;
}

// One column count: reads; when the rows show that the symbol reaches
// further up or down than the patterns were seen, reads again that far;
// when the grid held other symbols too, reads them on their own.
bool readColumns(ScanContext* ctx, const Candidate& c, int gridColumns, int rows, const Levels& levels, int depth,
                 SymbolLayout* layout, bool* indicatorsRead) {
  Frame f = frameOf(c, gridColumns, levels);
  GridOutcome g;
  *indicatorsRead = false;
  if (!readFrameGrid(ctx, f, rows, &g)) return false;
  // A grid of one row a module of height may hold too few rows for every
  // symbol row when rows are only a module or two high: sampled again with
  // some four rows to a symbol row, as the indicators counted them.
  if (!g.verified && g.indicatorsRead && rows == 0 && g.gridHeight < 2.5 * g.layout.rows) {
    GridOutcome finer;
    if (readFrameGrid(ctx, f, g.layout.rows, &finer)) g = finer;
  }
  *indicatorsRead = g.indicatorsRead;
  *layout = g.layout;
  if (!g.verified) reportSighting(ctx, f, g);
  // The grid's rows did not confirm the symbol: its own rows may.
  bool read = g.verified || (g.indicatorsRead && readAlongRows(ctx, f, g));
  // What the reading along the rows saw, when it read.
  if (!read) reportSighting(ctx, f, g);
  if (!read) deferRowCounts(ctx, f, g);
  if (read) keepReading(ctx);
  return readOthers(ctx, c, f, g, depth) || read;
}

// Reads a candidate between its levels. The column count comes from the
// distance between the patterns when both were seen, else from the row
// indicators beside the one that was.
bool readStretch(ScanContext* ctx, const Candidate& c, const Levels& levels, int depth) {
  if (enoughSymbols(ctx)) return false;
  SymbolLayout layout = {0, 0, 0};
  bool indicatorsRead = false;
  if (c.start.present && c.stop.present) {
    // Both patterns: the distance between them says how many columns, and
    // the indicators read in that grid correct it when it is off by one.
    Frame whole = frameOf(c, 1, levels);
    // Under perspective the modules between narrow steadily from the near
    // pattern's to the far one's: on average to the geometric mean.
    int estimate = (int)std::lround(whole.module / std::sqrt(c.start.module * c.stop.module));
    if (estimate < 3 || estimate > kMaxGridColumns) return false;
    if (readColumns(ctx, c, estimate, 0, levels, depth, &layout, &indicatorsRead)) return true;
    // Patterns narrower than the modules between them (a label round a
    // bottle narrows both ends) overcount the columns by more than one: the
    // indicators of a guess after the first tell, once, how many there are.
    bool told = indicatorsRead;
    int others[4] = {indicatorsRead ? layout.columns + 2 : estimate + 1, indicatorsRead ? 0 : estimate - 1, 0, 0};
    for (int i = 0; others[i] > 0; i++) {
      if (others[i] == estimate || others[i] < 3 || others[i] > kMaxGridColumns) continue;
      SymbolLayout seen = {0, 0, 0};
      if (readColumns(ctx, c, others[i], layout.rows, levels, depth, &seen, &indicatorsRead)) return true;
      int counted = seen.columns + 2;
      if (!told && indicatorsRead && counted != estimate && counted != others[0] && counted != others[1]) {
        others[2] = counted, layout = seen, told = true;
        if (i == 0) others[1] = counted, others[2] = 0;  // before the other guess
      }
    }
    // Last, the columns counted by their bars, when the patterns look
    // narrower than the modules between them: both of them, as at the ends
    // of a label round a bottle. In perspective one pattern is the wider,
    // and a wrong count read there takes the readings other candidates need.
    int byBars = columnsByBars(ctx, whole, std::fmin(c.start.module, c.stop.module));
    if (byBars <= 0 || byBars >= estimate - 1) return false;
    for (int tried : {others[0], others[1], others[2]})
      if (byBars == tried) return false;
    double between = std::sqrt(c.start.module * c.stop.module) * estimate / byBars;
    if (between < 1.15 * std::fmax(c.start.module, c.stop.module)) return false;
    SymbolLayout ignored;
    return readColumns(ctx, c, byBars, 0, levels, depth, &ignored, &indicatorsRead);
  }
  // One pattern: the indicators beside it say how far the symbol reaches.
  // A compact symbol reads as a full one whose right indicator is missing.
  if (!indicatorLayout(ctx, c, levels, &layout)) return false;
  SymbolLayout seen = {0, 0, 0};
  if (readColumns(ctx, c, layout.columns + 2, layout.rows, levels, depth, &seen, &indicatorsRead)) return true;
  // The indicators beside a pattern at a narrowed end may misread; those
  // of the whole grid tell again, once.
  return indicatorsRead && seen.columns != layout.columns &&
         readColumns(ctx, c, seen.columns + 2, seen.rows, levels, depth, &layout, &indicatorsRead);
}

// A symbol seen so steeply that only its near pattern was: the far one is
// looked for where the near one's indicators say the symbol ends, and the
// pair read.
bool readWithFarPattern(ScanContext* ctx, const Candidate& c, int step) {
  SymbolLayout layout;
  Candidate both;
  if (enoughSymbols(ctx) || !indicatorLayout(ctx, c, candidateLevels(c, step), &layout) ||
      !findFarPattern(ctx, c, layout.columns + 2, &both))
    return false;
  return readStretch(ctx, both, candidateLevels(both, step), 0);
}

// Reads a candidate. A pair that does not read is read again as each of its
// edges alone: a stray stop sighting in the data can pair with a true start.
// A single edge that does not read may be the near one of a steep view.
void readCandidate(ScanContext* ctx, const Candidate& c, int step) {
  if (readStretch(ctx, c, c.byPatterns ? patternLevels(c, step) : candidateLevels(c, step), 0)) return;
  if (!c.start.present || !c.stop.present) {
    readWithFarPattern(ctx, c, step);
    return;
  }
  for (int side = 0; side < 2 && !enoughSymbols(ctx); side++) {
    Candidate one = c;
    if (side == 0)
      one.stop.present = false;
    else
      one.start.present = false;
    if (readStretch(ctx, one, candidateLevels(one, step), 0)) return;
  }
}

// Reads candidates [0, count), the first `most` of them at most, each unless
// a symbol read covers it or it was tried before.
void readCandidates(ScanContext* ctx, const Candidate* candidates, int count, int most, int step, Tried* tried) {
  for (int i = 0; i < count && i < most && !enoughSymbols(ctx); i++) {
    if (ctx->stats->readings >= ctx->maxReadings) break;
    const Candidate& c = candidates[i];
    Vec centre = candidateCentre(c);
    if (alreadyRead(ctx, centre) || triedBefore(tried, centre, c.across, c.start.present ? c.start.module : c.stop.module))
      continue;
    readCandidate(ctx, c, step);
  }
}

// Reads a pair squared to the line between its patterns' middles, cut
// where the whole patterns were seen.
void readSquared(ScanContext* ctx, Candidate squared, int step) {
  if (ctx->stats->readings >= ctx->maxReadings || alreadyRead(ctx, candidateCentre(squared))) return;
  readStretch(ctx, squared, patternLevels(squared, step), 0);
}

// Nothing read: the inner edges of a long low symbol, seen near opposite
// ends of it on lines askew, may have paired by the chance of their lean
// and framed it askew, and the sides of a low symbol seen on a few lines
// each may have paired with none. Each pair [0, most) is read again squared
// (see squareByPatterns), then the lone edges that pair only so.
void readSquaredPairs(ScanContext* ctx, const Candidate* candidates, int count, int most, int step) {
  for (int i = 0; i < count && i < most && !enoughSymbols(ctx); i++) {
    Candidate squared = candidates[i];
    if (squareByPatterns(&squared)) readSquared(ctx, squared, step);
  }
  if (enoughSymbols(ctx) || most <= 0) return;
  Candidate* pairs = (Candidate*)std::malloc(sizeof(Candidate) * (size_t)most);
  if (!pairs) return;
  int n = squaredPairs(candidates, count, pairs, most);
  for (int i = 0; i < n && !enoughSymbols(ctx); i++) readSquared(ctx, pairs[i], step);
  std::free(pairs);
}

// Whether the light-on-dark patterns of the lines the scan kept lie along a
// pattern's edge over several lines. trails: room for kMaxTrails.
bool lightTrails(const unsigned char* gray, int width, int height, const ScanSettings& settings,
                 PatternTrail* trails) {
  HitList inverted = {(PatternHit*)std::malloc(sizeof(PatternHit) * kMaxInvertedHits), kMaxInvertedHits, 0};
  bool seen = inverted.hits &&
              findLightPatterns(gray, width, height, settings.globalLevel, *settings.lightLines, &inverted) &&
              inverted.count >= kMinTrailHits &&
              findTrails(inverted.hits, inverted.count, 2 * settings.step, trails, kMaxTrails) > 0;
  std::free(inverted.hits);
  return seen;
}

// Scans the picture and reads its candidates. With `lookInverted`, the scan
// keeps the crossings of every other row and column, and *sawInverted tells
// whether, when nothing was read, their light-on-dark patterns lay along a
// pattern's edge over several lines.
int scanAndRead(const unsigned char* gray, int width, int height, const ScanRequest& request,
                SymbolReading* readings, int capacity, ScanStats* stats, bool lookInverted, bool* sawInverted) {
  *sawInverted = false;
  ScanSettings settings;
  int light = 255;
  sampleLevels(gray, width, height, &settings.globalLevel, &light);
  const ScanEffort& effort = scanEffortOf(request.effort);
  settings.step = lineStep(effort, width, height);
  settings.thresholds = effort.thresholds;
  int side = width < height ? width : height;
  settings.window = side / 8 < 31 ? 31 : side / 8 > 255 ? 255 : side / 8;
  // Diagonals about as far apart as the rows and columns.
  settings.diagonalStep = settings.step + settings.step / 2;
  KeptCrossings lightLines;
  settings.lightLines =
      lookInverted && makeKeptCrossings(width, height, settings.step, &lightLines) ? &lightLines : nullptr;

  HitList hits = {(PatternHit*)std::malloc(sizeof(PatternHit) * kMaxHits), kMaxHits, 0};
  PatternTrail* trails = (PatternTrail*)std::malloc(sizeof(PatternTrail) * kMaxTrails);
  Candidate* candidates = (Candidate*)std::malloc(sizeof(Candidate) * kMaxTrails);
  ScanContext ctx = {};
  ctx.gray = gray;
  ctx.width = width;
  ctx.height = height;
  ctx.fill = (unsigned char)light;
  ctx.maxReadings = effort.maxReadings;
  ctx.maxSymbols = request.maxSymbols;
  ctx.readings = readings;
  ctx.capacity = capacity;
  ctx.stats = stats;
  ctx.observer = request.observer;
  // Only the negative is scanned without noting light-on-dark patterns.
  ctx.negative = !lookInverted;
  ctx.reading = (GridReading*)std::malloc(sizeof(GridReading));
  ctx.codewords = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
  ctx.erasures = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
  ctx.current = (SymbolReading*)std::malloc(sizeof(SymbolReading));
  ctx.maxDeferred = effort.maxDeferred;
  if (hits.hits && trails && candidates && ctx.reading && ctx.codewords && ctx.erasures && ctx.current &&
      scanForPatterns(gray, width, height, settings, &hits)) {
    stats->hits = hits.count;
    int trailCount = findTrails(hits.hits, hits.count, settings.step, trails, kMaxTrails);
    stats->trails = trailCount;
    int count = buildCandidates(trails, trailCount, candidates, kMaxTrails);
    for (int i = 0; i < count; i++)
      stats->rowPairs += candidates[i].start.present && candidates[i].stop.present &&
                         std::fabs(candidates[i].across.x) > std::fabs(candidates[i].across.y);
    Tried tried;
    tried.count = 0;
    int firstReadings = 0;  // grids the first pass read, when the candidates are read again
    readCandidates(&ctx, candidates, count, effort.maxCandidates, settings.step, &tried);
    // Nothing read: where sightings formed no trail, the lines the scan
    // skipped may hold the sightings a trail needs. The candidates are
    // read again, afresh, from the trails they make: edges seen on a few
    // lines more lie better, and so do the grids kept for the costlier
    // readings.
    if (ctx.readingCount == 0 && lookCloser(gray, width, height, settings, &hits, trails, trailCount)) {
      stats->hits = hits.count;
      trailCount = findTrails(hits.hits, hits.count, settings.step, trails, kMaxTrails);
      count = buildCandidates(trails, trailCount, candidates, kMaxTrails);
      tried.count = 0;
      ctx.deferredCount = ctx.rowCountGridCount = 0;
      firstReadings = stats->readings;
      stats->readings = 0;
      readCandidates(&ctx, candidates, count, effort.maxCandidates, settings.step, &tried);
    }
    if (ctx.readingCount == 0) readSquaredPairs(&ctx, candidates, count, effort.maxCandidates, settings.step);
    readDeferredGrids(&ctx);
    stats->readings += firstReadings;
    // The candidates are read: their trails' room serves the negative's.
    if (ctx.readingCount == 0 && settings.lightLines)
      *sawInverted = lightTrails(gray, width, height, settings, trails);
  }
  if (settings.lightLines) freeKeptCrossings(settings.lightLines);
  std::free(hits.hits);
  std::free(trails);
  std::free(candidates);
  std::free(ctx.reading);
  std::free(ctx.codewords);
  std::free(ctx.erasures);
  std::free(ctx.current);
  return ctx.readingCount;
}

// A symbol printed light on dark, read from the picture's negative. The
// picture's stats stay those of the picture as it is: a negative that
// reads nothing does not turn "no symbol" into "not decoded", since other
// codes and print can show a light pattern or two.
int readNegative(const unsigned char* gray, int width, int height, const ScanRequest& request,
                 SymbolReading* readings, int capacity) {
  size_t size = (size_t)width * height;
  unsigned char* negative = (unsigned char*)std::malloc(size);
  if (!negative) return 0;
  for (size_t i = 0; i < size; i++) negative[i] = (unsigned char)(255 - gray[i]);
  ScanStats seen = {};
  bool ignored;
  int count = scanAndRead(negative, width, height, request, readings, capacity, &seen, false, &ignored);
  std::free(negative);
  for (int i = 0; i < count; i++) readings[i].inverted = 1;
  return count;
}

}  // namespace

int readSymbolsByScan(const unsigned char* gray, int width, int height, const ScanRequest& request,
                      SymbolReading* readings, int capacity, ScanStats* stats) {
  ScanStats ignored;
  if (!stats) stats = &ignored;
  std::memset(stats, 0, sizeof *stats);
  if (!gray || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide ||
      (long long)width * height > kMaxPicturePixels || !readings || capacity < 1)
    return 0;
  // Light-on-dark patterns are only noted on the way: the negative is read
  // only when the picture read as it is gave nothing and they were seen.
  bool sawInverted = false;
  int count = scanAndRead(gray, width, height, request, readings, capacity, stats, true, &sawInverted);
  for (int i = 0; i < count; i++) readings[i].inverted = 0;
  if (count > 0 || !sawInverted) return count;
  return readNegative(gray, width, height, request, readings, capacity);
}

}  // namespace pdf417read::detail
