#include "pipeline/grid_reading.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "locate/adaptive_binarize.h"
#include "locate/grid_sampling.h"
#include "locate/light_following_binarize.h"
#include "pipeline/column_places.h"
#include "pipeline/symbol_acceptance.h"

namespace pdf417read::detail::symbol_scan {

namespace {

enum {
  kMaxGridSide = 6000,
  kMinSwing = 12,  // gray levels between bar and space below which a row shows neither
};

// Grid rows: one per pixel of height, between four and eight per symbol row
// when the rows are known, else one per module of height (rows are at least
// three modules high), but one and a half per pixel under modules of two
// pixels: such symbols are often printed with rows a pixel or two high.
// Never fewer than a quarter of the pixels, nor more than twice as many.
int gridHeightFor(double pixels, double module, int rows) {
  double height = rows > 0 ? std::fmax(4.0 * rows, std::fmin(pixels, 8.0 * rows))
                            : module < 2.0 ? 1.5 * pixels : pixels / module;
  height = std::fmin(std::fmax(height, 0.25 * pixels), 2.0 * pixels);
  if (!(height >= 3 && height < kMaxGridRows)) return 0;
  return (int)height + 1;
}

bool verifyGrid(ScanContext* ctx, const Frame& f, const GridOutcome& g);

// Both sides' rows, over the span of the symbol the layout belongs to (the
// whole grid when none).
void fitSides(const GridReading* reading, GridOutcome* out) {
  int top = 0, bottom = out->gridHeight;
  if (out->spanFound) {
    top = (int)std::floor(std::fmax(out->span.top, 0.0));
    bottom = (int)std::ceil(std::fmin(out->span.bottom, (double)out->gridHeight));
  }
  for (int side = 0; side < 2; side++) out->sides[side] = sideFit(reading, side, top, bottom);
}

// Which grid columns have their middle inside the picture: a column outside
// was never photographed.
void columnsSeen(const ScanContext* ctx, const Frame& f, unsigned char* seen) {
  Vec middleLeft = (f.leftTop + f.leftBottom) * 0.5;
  for (int c = 0; c < f.gridColumns; c++) {
    Vec p = shifted(middleLeft, f.across, 17.0 * c + 8.5, f.module);
    seen[c] = p.x >= 0 && p.x < ctx->width && p.y >= 0 && p.y < ctx->height;
  }
}

}  // namespace

// Reads the grid of a frame into ctx->reading, with the global threshold of
// the grid and with a local one: each gets right some codewords the other
// blurs, and the votes add up.
bool readFrameGrid(ScanContext* ctx, const Frame& f, int rows, GridOutcome* out) {
  out->verified = out->indicatorsRead = out->spanFound = false;
  out->otherSpans = 0;
  out->sides[0].fitted = out->sides[1].fitted = false;
  if (f.gridColumns < 1 || f.gridColumns > kMaxGridColumns || !(f.module > 0.3)) return false;
  if (ctx->stats && ctx->stats->readings >= ctx->maxReadings) return false;
  // Three grid pixels for two of the picture's keep every edge it shows,
  // and three a module suffice to find each edge; more than five only cost
  // time.
  int modulePixels = (int)std::lround(1.5 * f.module);
  modulePixels = modulePixels < 3 ? 3 : modulePixels > 5 ? 5 : modulePixels;
  double pixels = std::fmax(std::hypot(f.leftBottom.x - f.leftTop.x, f.leftBottom.y - f.leftTop.y),
                            std::hypot(f.rightBottom.x - f.rightTop.x, f.rightBottom.y - f.rightTop.y));
  int width = (17 * f.gridColumns + 2 * kGridMargin) * modulePixels;
  int height = gridHeightFor(pixels, f.module, rows);
  if (height == 0 || width > kMaxGridSide) return false;
  // The grid's outer corners through the map that takes the grid's inner
  // edges to the frame's sides: the margins widen and narrow with the
  // perspective.
  float inner[8] = {(float)(kGridMargin * modulePixels), 0.0f, (float)(width - kGridMargin * modulePixels), 0.0f,
                    (float)(width - kGridMargin * modulePixels), (float)height, (float)(kGridMargin * modulePixels),
                    (float)height};
  float sides[8] = {(float)f.leftTop.x, (float)f.leftTop.y, (float)f.rightTop.x, (float)f.rightTop.y,
                    (float)f.rightBottom.x, (float)f.rightBottom.y, (float)f.leftBottom.x, (float)f.leftBottom.y};
  ProjectiveMap frameMap = mapQuadToQuad(inner, sides);
  Vec corners[4] = {mapPoint(frameMap, 0, 0), mapPoint(frameMap, width, 0), mapPoint(frameMap, width, height),
                    mapPoint(frameMap, 0, height)};
  for (int k = 0; k < 4; k++) {
    out->corners[2 * k] = (float)(corners[k].x - 0.5);
    out->corners[2 * k + 1] = (float)(corners[k].y - 0.5);
    if (!std::isfinite(out->corners[2 * k]) || !std::isfinite(out->corners[2 * k + 1])) return false;
  }
  out->gridHeight = height;
  out->gridWidth = width;
  out->modulePixels = modulePixels;
  size_t bytes = (size_t)width * height;
  unsigned char* grid = (unsigned char*)std::malloc(2 * bytes);
  if (!grid) return false;
  if (ctx->stats) ctx->stats->readings++;
  unsigned char* binary = grid + bytes;
  sampleGridLinearFill(ctx->gray, out->corners, ctx->width, ctx->height, grid, width, height, ctx->fill);
  unsigned char seen[kMaxGridColumns];
  columnsSeen(ctx, f, seen);
  Vec middleLeft = (f.leftTop + f.leftBottom) * 0.5;
  // Where a compact symbol's quiet zone would follow its one-module stop bar.
  Vec afterData = shifted(middleLeft, f.across, 17.0 * (f.gridColumns - 1) + 2.5, f.module);
  out->rightIndicatorInside = afterData.x >= 0 && afterData.x < ctx->width && afterData.y >= 0 &&
                              afterData.y < ctx->height;
  clearReading(ctx->reading, f.gridColumns);
  // A column of indicators alone is done once it gives a layout.
  for (int local = 0; local < 2 && !out->verified && !(f.gridColumns == 1 && out->indicatorsRead); local++) {
    std::memcpy(binary, grid, bytes);
    if (local)
      adaptiveBinarize(binary, width, height, 8 * modulePixels);
    else
      binarizeTwoLevels(binary, width, height);
    readGrid(binary, width, height, f.gridColumns, modulePixels, f.indicators, seen, ctx->reading);
    out->indicatorsRead = layoutFromIndicators(ctx->reading, &out->layout);
    RowSpan spans[kMaxRowSpans] = {};
    int spanCount = out->indicatorsRead ? findRowSpans(ctx->reading, height, out->layout.rows, spans) : 0;
    out->spanFound = spanCount > 0;
    out->span = spans[0];
    out->otherSpans = spanCount > 1 ? spanCount - 1 : 0;
    for (int k = 1; k < spanCount; k++) out->others[k - 1] = spans[k];
    fitSides(ctx->reading, out);
    // One threshold is often enough; when not, the other's votes add up.
    out->verified = f.gridColumns > 1 && verifyGrid(ctx, f, *out);
  }
  std::free(grid);
  return true;
}

namespace {

// Whether the symbol ends as a compact one does, told by its own bars: a
// bar one module wide where the right row indicator would begin, then
// nothing dark for seven modules, where every codeword (a right row
// indicator's too) shows a bar. Looked at along the middle of every row,
// against the darkest and lightest of the last data column; most rows must
// show it. Beyond the picture counts as its paper, so a compact symbol
// touching the picture's edge is still told.
bool endsInCompactStop(const ScanContext* ctx, const RowGeometry& symbol, int modulePixels, int rows) {
  enum { kPerModule = 3, kModules = 17 + 8, kSamples = kModules * kPerModule };
  RowGeometry middle = symbol;
  middle.lines = 1;
  double from = symbol.rightX - 34.0 * modulePixels, step = (double)modulePixels / kPerModule;
  int compactRows = 0;
  for (int r = 0; r < rows; r++) {
    unsigned char values[kSamples];
    sampleRowLine(ctx, middle, r, 0, from + 0.5 * step, step, values, kSamples);
    int low = 255, high = 0;
    for (int i = 0; i < 17 * kPerModule; i++) low = values[i] < low ? values[i] : low, high = values[i] > high ? values[i] : high;
    double half = 0.5 * (low + high);
    const unsigned char* stop = values + 17 * kPerModule;
    bool bar = high - low >= 32 && stop[1] < half;
    for (int i = kPerModule + 1; bar && i < 8 * kPerModule; i++) bar = stop[i] >= half;
    compactRows += bar;
  }
  return 2 * compactRows > rows;
}

// Corrects what the grid read; true with ctx->current filled when error
// correction confirmed it.
bool verifyGrid(ScanContext* ctx, const Frame& f, const GridOutcome& g) {
  if (!g.indicatorsRead || !confirmReading(ctx, g.layout)) return false;
  SymbolReading* out = ctx->current;
  RowSpan whole = {0.0, (double)g.gridHeight, 1};
  Frame outline = f;
  bool rightUnread = ctx->reading->rightIndicatorReads == 0;
  if (g.sides[0].fitted || g.sides[1].fitted) {
    // The outline through the symbol's own map, where the indicators say.
    const RowFit& left = g.sides[0].fitted ? g.sides[0] : g.sides[1];
    const RowFit& right = g.sides[1].fitted ? g.sides[1] : g.sides[0];
    RowGeometry symbol = symbolGeometry(g, left, right, g.layout.rows, f.gridColumns);
    bool compact = rightUnread && endsInCompactStop(ctx, symbol, g.modulePixels, g.layout.rows);
    fillOutlineOf(symbol, g.modulePixels, g.layout.rows, compact, out);
  } else {
    // Nothing where the right row indicator would be, though the picture
    // shows that place: a compact symbol.
    outline.compact = rightUnread && g.rightIndicatorInside;
    fillOutline(g, outline, g.spanFound ? g.span : whole, out);
  }
  return true;
}

// Keeps a grid for readDeferredGrids while there is room. Grids of the same
// symbol are all kept: their row fits differ, and where rows are a pixel or
// two high one may read where another does not.
void deferShapeReading(ScanContext* ctx, const Frame& f, const GridOutcome& g, const RowGeometry& rg, bool compact) {
  if (ctx->deferredCount < ctx->maxDeferred) ctx->deferred[ctx->deferredCount++] = {f, g, rg, compact};
}

enum { kRowPasses = 4 };

// A symbol's rows sampled along their own lines: gray and, as large,
// scratch for a threshold's binary; the symbol row of each line; which
// columns the picture shows.
struct SampledRows {
  const unsigned char* gray;
  unsigned char* binary;
  int width, height;
  const int* knownRows;
  const unsigned char* seen;
};

// One threshold's reading of sampled rows into ctx->reading (the thresholds
// in turn, last one that steps with a shadow's edge across the rows), the
// columns where `places` puts them (null: evenly spaced); `found` learns
// where the codewords read lay. True when error correction confirmed the
// reading.
bool readRowsPass(ScanContext* ctx, const Frame& f, const GridOutcome& g, const SampledRows& rows, int pass,
                  const ColumnPlaces* places, FoundColumns* found) {
  int width = rows.width, height = rows.height;
  unsigned char* binary = rows.binary;
  std::memcpy(binary, rows.gray, (size_t)width * height);
  if (pass == 3)
    binarizeFollowingLight(binary, width, height, 7 * g.modulePixels, kMinSwing);
  else if (pass == 2)
    binarizeAlongRows(binary, width, height, (3 * g.modulePixels) / 2);
  else if (pass)
    adaptiveBinarize(binary, width, height, 8 * g.modulePixels);
  else
    binarizeTwoLevels(binary, width, height);
  FoundColumns one;
  readGridRowsAt(binary, width, height, f.gridColumns, g.modulePixels, f.indicators, rows.seen, rows.knownRows, places,
                 &one, ctx->reading);
  mergeFoundColumns(found, one, f.gridColumns);
  return confirmReading(ctx, g.layout);
}

}  // namespace

// Reads the symbol again along its own rows: each side's row indicators
// tell where that side meets every row; the four ends of the first row's
// top and the last row's bottom give the symbol's own map, and each row is
// sampled along it, so that rows of two or three pixels stay apart however
// the frame lay askew, and modules narrow along a row and rows down the
// symbol as the perspective makes them. A
// side whose indicators said too little takes the other side's rows. True
// with ctx->current filled when error correction confirmed the reading.
bool readAlongRows(ScanContext* ctx, const Frame& f, const GridOutcome& g) {
  RowGeometry rg;
  rg.left = g.sides[0].fitted ? g.sides[0] : g.sides[1];
  rg.right = g.sides[1].fitted ? g.sides[1] : g.sides[0];
  int rows = g.layout.rows;
  if (!rg.left.fitted || rows < 3 || rows > kMaxSymbolRows || g.layout.columns + 2 != f.gridColumns) return false;
  if (ctx->stats && ctx->stats->readings >= ctx->maxReadings) return false;
  // Both sides must count the rows the same way, and about as far apart.
  double ratio = rg.right.slope / rg.left.slope;
  if (!(ratio > 0.5 && ratio < 2.0)) return false;
  int lines = linesPerRow(g, rg.left, f);
  rg = symbolGeometry(g, rg.left, rg.right, rows, f.gridColumns);
  rg.lines = lines;
  int width = g.gridWidth, height = rows * rg.lines;
  size_t bytes = (size_t)width * height;
  unsigned char* grid = (unsigned char*)std::malloc(2 * bytes);
  int* knownRows = (int*)std::malloc(sizeof(int) * (size_t)height);
  if (!grid || !knownRows) {
    std::free(grid);
    std::free(knownRows);
    return false;
  }
  if (ctx->stats) ctx->stats->readings++;
  for (int r = 0; r < rows; r++)
    for (int k = 0; k < rg.lines; k++) {
      int line = r * rg.lines + k;
      knownRows[line] = r;
      sampleRowLine(ctx, rg, r, k, 0.0, 1.0, grid + (size_t)line * width, width);
    }
  unsigned char seen[kMaxGridColumns];
  columnsSeen(ctx, f, seen);
  SampledRows sampled = {grid, grid + bytes, width, height, knownRows, seen};
  bool verified = false;
  clearReading(ctx->reading, f.gridColumns);
  FoundColumns found = {};
  for (int pass = 0; pass < kRowPasses && !verified; pass++)
    verified = readRowsPass(ctx, f, g, sampled, pass, nullptr, &found);
  // The codewords lie off the even spacing, as on a label round a bottle:
  // read again where a curve through the ones found places every column,
  // and once more where the ones that then read place them.
  ColumnPlaces places;
  for (int round = 0; round < 2 && !verified && curvedColumnPlaces(found, f.gridColumns, g.modulePixels, &places);
       round++) {
    clearReading(ctx->reading, f.gridColumns);
    found = FoundColumns{};
    for (int pass = 0; pass < kRowPasses && !verified; pass++)
      verified = readRowsPass(ctx, f, g, sampled, pass, &places, &found);
  }
  std::free(grid);
  std::free(knownRows);
  bool compact = ctx->reading->rightIndicatorReads == 0 && endsInCompactStop(ctx, rg, g.modulePixels, rows);
  if (verified) fillOutlineOf(rg, g.modulePixels, rows, compact, ctx->current);
  else deferShapeReading(ctx, f, g, rg, compact);
  return verified;
}

void reportSighting(ScanContext* ctx, const Frame& f, const GridOutcome& g) {
  if (!ctx->observer || !g.indicatorsRead || g.layout.columns + 2 != f.gridColumns ||
      ctx->reading->gridColumns != f.gridColumns)
    return;
  // The outline as a confirmed grid gets it, taken as a full symbol: a
  // compact one's lies a column wide, near enough to follow it.
  SymbolReading* outline = ctx->current;
  if (g.sides[0].fitted || g.sides[1].fitted) {
    const RowFit& left = g.sides[0].fitted ? g.sides[0] : g.sides[1];
    const RowFit& right = g.sides[1].fitted ? g.sides[1] : g.sides[0];
    RowGeometry symbol = symbolGeometry(g, left, right, g.layout.rows, f.gridColumns);
    fillOutlineOf(symbol, g.modulePixels, g.layout.rows, false, outline);
  } else {
    RowSpan whole = {0.0, (double)g.gridHeight, 1};
    Frame full = f;
    full.compact = false;
    fillOutline(g, full, g.spanFound ? g.span : whole, outline);
  }
  GridSighting sighting;
  sighting.reading = ctx->reading;
  sighting.layout = g.layout;
  for (int k = 0; k < 8; k++) sighting.corners[k] = outline->corners[k];
  sighting.mirrored = outline->mirrored;
  sighting.inverted = ctx->negative;
  sighting.rightIndicatorRead = ctx->reading->rightIndicatorReads > 0;
  ctx->observer->see(ctx->observer->context, sighting);
}

}  // namespace pdf417read::detail::symbol_scan
