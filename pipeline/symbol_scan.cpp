#include "pipeline/symbol_scan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codeword/codeword_buffer.h"
#include "codeword/indicator_reader.h"
#include "codeword/shape_matching.h"
#include "ecc/reed_solomon.h"
#include "image/picture_bitmap.h"
#include "locate/adaptive_binarize.h"
#include "locate/binarize.h"
#include "locate/grid_sampling.h"
#include "locate/pattern_scan.h"
#include "locate/pattern_trails.h"
#include "pipeline/symbol_candidates.h"

namespace {

enum {
  kGridMargin = 2,  // modules of quiet space read on each side
  kMaxGridSide = 6000,
  kMaxHits = 1 << 18,
  kMaxTrails = 512,
  kMaxRowSpans = 4,
  kMaxDepth = 2,  // stretches read within stretches
};

// ---- one reading: a grid between two edge lines ---------------------------

// Where a grid is sampled: the inner edges on both sides (the start
// pattern's and the stop pattern's, or where they would be) between two
// lines across the symbol, `gridColumns` codeword columns between them.
struct Frame {
  Vec leftTop, leftBottom, rightTop, rightBottom;
  Vec across;
  double module;
  int gridColumns;
  int indicators;  // which of the outer columns are row indicators
  bool compact;    // no right row indicator, a one-module stop bar
};

// Where a symbol's first and last rows end in a grid.
struct RowSpan {
  double top, bottom;  // grid rows, top < bottom
  int direction;       // +1: rows count down the grid, -1: up (mirrored)
};

// Where a side's row indicators put the symbol's rows: grid row g shows
// symbol row offset + slope * g.
struct RowFit {
  bool fitted;
  double slope, offset;
};

struct GridOutcome {
  bool verified;
  bool indicatorsRead;  // the row indicators gave a layout
  SymbolLayout layout;
  int gridHeight;
  bool spanFound;
  RowSpan span;  // the symbol the layout belongs to
  int otherSpans;
  RowSpan others[kMaxRowSpans - 1];  // other symbols stacked with it
  float corners[8];  // the grid's corners, picture pixel indexes
  int gridWidth, modulePixels;
  bool rightIndicatorInside;  // the start of the last grid column lies inside the picture
  RowFit sides[2];  // left and right, over the rows of the symbol the layout belongs to
};

// Where a grid's symbol rows lie: each side's row fit through the first
// grid's map, between the left indicator's start and the stop pattern's.
struct RowGeometry {
  ProjectiveMap map;
  RowFit left, right;
  double leftX, rightX;  // grid x of the left indicator's and the stop pattern's first module
  int lines;             // lines sampled across each row
};

// A grid whose rows did not confirm a symbol, to be read by its codewords'
// shapes once every candidate has been tried: that reading costs as much as
// many a whole scan, and another candidate often reads the symbol plainly.
struct DeferredGrid {
  Frame frame;
  GridOutcome grid;
  RowGeometry rows;
  bool compact;
};

// A grid whose indicators placed no rows, to be read by shapes last, as a
// symbol of each of a few row counts. Only the first such grid of a scan is
// kept: each count costs a whole reading by shapes, and a picture whose
// symbol does not read at all would pay for every one.
enum { kMaxRowCounts = 6 };

struct RowCountGrid {
  Frame frame;
  GridOutcome grid;
  int rowCounts[kMaxRowCounts];
  int rowCountCount;
};

enum { kMaxDeferredGrids = 8, kMaxRowCountGrids = 1 };

struct ScanContext {
  const unsigned char* grey;
  int width, height;
  unsigned char fill;
  int maxReadings;
  int maxSymbols;
  SymbolReading* readings;
  int readingCount, capacity;
  const SymbolReading* known;
  int knownCount;
  ScanStats* stats;
  // Scratch for one reading at a time.
  GridReading* reading;
  int* codewords;
  int* erasures;
  SymbolReading* current;
  DeferredGrid deferred[kMaxDeferredGrids];
  int deferredCount, maxDeferred;
  RowCountGrid rowCountGrids[kMaxRowCountGrids];
  int rowCountGridCount;
};

enum { kMaxTried = 64 };

// Candidates read already: the same edges found with the other threshold
// are not read twice.
struct Tried {
  Vec centre[kMaxTried];
  Vec across[kMaxTried];
  int count;
};

bool triedBefore(Tried* tried, Vec centre, Vec across, double module) {
  for (int i = 0; i < tried->count; i++) {
    Vec d = centre - tried->centre[i];
    if (dot(d, d) < 9.0 * module * module && dot(across, tried->across[i]) > 0.95) return true;
  }
  if (tried->count < kMaxTried) {
    tried->centre[tried->count] = centre;
    tried->across[tried->count++] = across;
  }
  return false;
}


// A line (point, direction) `modules` modules further across.
Vec shifted(Vec point, Vec across, double modules, double module) { return point + across * (modules * module); }

// Levels (projections on the down direction) where a frame's sides are cut:
// a pair of them for the left side and one for the right.
struct Levels {
  double leftTop, leftBottom, rightTop, rightBottom;
};

// The frame of a candidate for a symbol of gridColumns codeword columns,
// each side cut at its levels.
Frame frameOf(const Candidate& c, int gridColumns, const Levels& levels) {
  Frame f;
  Vec down = downOf(c.across);
  f.across = c.across;
  f.gridColumns = gridColumns;
  f.compact = false;
  f.indicators = kBothIndicators;
  const Edge& known = c.start.present ? c.start : c.stop;
  Vec leftPoint, leftAlong, rightPoint, rightAlong;
  f.module = known.module;
  if (c.start.present && c.stop.present) {
    leftPoint = c.start.point, leftAlong = c.start.along;
    rightPoint = c.stop.point, rightAlong = c.stop.along;
  } else if (c.start.present) {
    leftPoint = c.start.point, leftAlong = rightAlong = c.start.along;
    rightPoint = shifted(leftPoint, c.across, 17.0 * gridColumns, f.module);
  } else {
    rightPoint = c.stop.point, rightAlong = leftAlong = c.stop.along;
    leftPoint = shifted(rightPoint, c.across, -17.0 * gridColumns, f.module);
  }
  f.leftTop = atLevel(leftPoint, leftAlong, down, levels.leftTop);
  f.leftBottom = atLevel(leftPoint, leftAlong, down, levels.leftBottom);
  f.rightTop = atLevel(rightPoint, rightAlong, down, levels.rightTop);
  f.rightBottom = atLevel(rightPoint, rightAlong, down, levels.rightBottom);
  if (c.start.present && c.stop.present) {
    // The modules as the grid has them: the width between the edges over
    // the columns (perspective makes them differ from either pattern's).
    double top = dot(f.rightTop - f.leftTop, c.across), bottom = dot(f.rightBottom - f.leftBottom, c.across);
    f.module = (top + bottom) * 0.5 / (17.0 * gridColumns);
  }
  return f;
}

// The same frame cut at fractions of its own height (0 top, 1 bottom).
Frame recut(const Frame& f, double top, double bottom) {
  Frame cut = f;
  cut.leftTop = f.leftTop + (f.leftBottom - f.leftTop) * top;
  cut.leftBottom = f.leftTop + (f.leftBottom - f.leftTop) * bottom;
  cut.rightTop = f.rightTop + (f.rightBottom - f.rightTop) * top;
  cut.rightBottom = f.rightTop + (f.rightBottom - f.rightTop) * bottom;
  return cut;
}

// The stretch of levels an edge was seen over.
void edgeLevels(const Edge& edge, Vec down, double* top, double* bottom) {
  double a = dot(edge.point + edge.along * edge.first, down), b = dot(edge.point + edge.along * edge.last, down);
  *top = std::fmin(a, b);
  *bottom = std::fmax(a, b);
}

// The levels each edge was seen over, a little longer at both ends: the
// outermost scan lines that showed a pattern lie a step inside the symbol.
// Under perspective the two sides differ in length, so each keeps its own.
Levels candidateLevels(const Candidate& c, int step) {
  Vec down = downOf(c.across);
  Levels levels;
  const Edge& left = c.start.present ? c.start : c.stop;
  const Edge& right = c.stop.present ? c.stop : c.start;
  edgeLevels(left, down, &levels.leftTop, &levels.leftBottom);
  edgeLevels(right, down, &levels.rightTop, &levels.rightBottom);
  // A side seen much shorter than the other was hidden in part (damage,
  // a stroke across it): both sides take the longer one's levels.
  double leftLength = levels.leftBottom - levels.leftTop, rightLength = levels.rightBottom - levels.rightTop;
  if (rightLength < 0.75 * leftLength) levels.rightTop = levels.leftTop, levels.rightBottom = levels.leftBottom;
  if (leftLength < 0.75 * rightLength) levels.leftTop = levels.rightTop, levels.leftBottom = levels.rightBottom;
  double pad = step + left.module;
  levels.leftTop -= pad, levels.rightTop -= pad;
  levels.leftBottom += pad, levels.rightBottom += pad;
  return levels;
}

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

// A first line through the pairs [first, end) that misread indicators
// cannot pull: the median slope between pairs half the pairs apart, then
// the median offset. False when it cannot be had.
bool medianRowLine(const int* gridRows, const int* symbolRows, int first, int end, double* slope, double* offset) {
  int n = end - first, half = n / 2, slopes = 0;
  double* values = (double*)std::malloc(sizeof(double) * (size_t)(n > 0 ? n : 1));
  bool made = false;
  if (values && n >= 4) {
    for (int k = first; k + half < end; k++)
      if (gridRows[k + half] != gridRows[k])
        values[slopes++] = (double)(symbolRows[k + half] - symbolRows[k]) / (gridRows[k + half] - gridRows[k]);
    if (slopes > 0) {
      std::stable_sort(values, values + slopes);
      *slope = values[slopes / 2];
      for (int k = first; k < end; k++) values[k - first] = symbolRows[k] - *slope * gridRows[k];
      std::stable_sort(values, values + n);
      *offset = values[n / 2];
      made = true;
    }
  }
  std::free(values);
  return made;
}

// Robust line row = offset + slope * gridRow through pairs [first, end):
// from the median line, fitted three times to the pairs near the line so
// far (misread indicators fall away). False when too few pairs stay.
bool fitRows(const int* gridRows, const int* symbolRows, int first, int end, double* slope, double* offset) {
  *slope = *offset = 0;
  if (!medianRowLine(gridRows, symbolRows, first, end, slope, offset)) return false;
  for (int pass = 0; pass < 3; pass++) {
    double si = 0, sr = 0, sii = 0, sir = 0;
    int n = 0;
    for (int k = first; k < end; k++) {
      double i = gridRows[k], row = symbolRows[k];
      if (std::fabs(*offset + *slope * i - row) > 1.5) continue;
      si += i, sr += row, sii += i * i, sir += i * row;
      n++;
    }
    double det = n * sii - si * si;
    if (n < 4 || det < 1e-9) return false;
    *slope = (n * sir - si * sr) / det;
    *offset = (sr - *slope * si) / n;
  }
  return std::fabs(*slope) > 1e-4;
}

// The median of the symbol rows around pair k, five of them at most.
int medianRow(const int* symbolRows, int count, int k) {
  int window[5], n = 0;
  for (int j = k - 2; j <= k + 2; j++)
    if (j >= 0 && j < count) window[n++] = symbolRows[j];
  // Five at most: insertion sort (std::sort, inlined here, trips g++'s
  // -Warray-bounds with its sixteen-element first pass).
  for (int i = 1; i < n; i++)
    for (int j = i; j > 0 && window[j - 1] > window[j]; j--) std::swap(window[j - 1], window[j]);
  return window[n / 2];
}

// The grid rows that showed symbol rows, cut where the rows jump back (two
// symbols stacked along one edge), each piece fitted on its own: the piece
// with the most rows first, its ends where `rows` rows would end; the others
// where their rows were seen, a row wider. Returns the number of spans.
int findRowSpans(const GridReading* reading, int gridHeight, int rows, RowSpan* spans) {
  int usable = gridHeight < reading->gridRows ? gridHeight : reading->gridRows;
  int* gridRows = (int*)std::malloc(sizeof(int) * (size_t)(usable + 1));
  int* symbolRows = (int*)std::malloc(sizeof(int) * (size_t)(usable + 1));
  int* medians = (int*)std::malloc(sizeof(int) * (size_t)(usable + 1));
  int count = 0, pairs = 0;
  if (gridRows && symbolRows && medians) {
    for (int i = 0; i < usable; i++)
      if (reading->rowOfGridRow[i] >= 0) gridRows[pairs] = i, symbolRows[pairs++] = reading->rowOfGridRow[i];
    for (int k = 0; k < pairs; k++) medians[k] = medianRow(symbolRows, pairs, k);
    int direction = 0;
    for (int k = 1; k < pairs && direction == 0; k++)
      if (std::abs(medians[k] - medians[0]) >= 2) direction = medians[k] > medians[0] ? 1 : -1;
    int best = -1, bestPairs = 0;
    for (int first = 0, k = 1; k <= pairs && count < kMaxRowSpans; k++) {
      if (k < pairs && (medians[k] - medians[k - 1]) * direction >= -2) continue;
      double slope, offset;
      if (k - first >= 4 && fitRows(gridRows, symbolRows, first, k, &slope, &offset)) {
        double rowHeight = 1.0 / std::fabs(slope);
        spans[count] = {gridRows[first] - rowHeight, gridRows[k - 1] + rowHeight, slope > 0 ? 1 : -1};
        if (k - first > bestPairs) {
          best = count, bestPairs = k - first;
          double top = (-0.5 - offset) / slope, bottom = (rows - 0.5 - offset) / slope;
          spans[count].top = std::fmin(top, bottom);
          spans[count].bottom = std::fmax(top, bottom);
        }
        count++;
      }
      first = k;
    }
    if (best > 0) {
      RowSpan main = spans[best];
      spans[best] = spans[0];
      spans[0] = main;
    }
  }
  std::free(gridRows);
  std::free(symbolRows);
  std::free(medians);
  return count;
}

// Error correction with the check codewords the indicators announce.
bool correctWord(int* codewords, int n, int* erasures, int erasureCount, int level) {
  int checks = 2 << level;
  if (n < checks + 1 || n > kMaxWordLength || erasureCount > checks - 1) return false;
  int found = rsDecodeSilent(codewords, erasures, erasureCount, n, checks);
  if (found < 0 || !correctionHasSpare(checks, erasureCount, found)) return false;
  return codewords[0] >= 1 && codewords[0] <= n - checks;
}

// Corrects ctx->codewords[0..n), erasures listed in ctx->erasures, as a
// symbol of the layout: true with ctx->current's codewords and layout filled
// when error correction confirmed them.
bool confirmCodewords(ScanContext* ctx, int n, int erasureCount, const SymbolLayout& layout) {
  if (n <= 0 || !correctWord(ctx->codewords, n, ctx->erasures, erasureCount, layout.level)) return false;
  SymbolReading* out = ctx->current;
  std::memcpy(out->codewords, ctx->codewords, sizeof(int) * (size_t)n);
  out->codewordCount = n;
  out->ecLevel = layout.level;
  out->rows = layout.rows;
  out->columns = layout.columns;
  out->verified = 1;
  return true;
}

// The codewords ctx->reading holds in the layout, corrected (see
// confirmCodewords).
bool confirmReading(ScanContext* ctx, const SymbolLayout& layout) {
  SymbolLayout assembled = layout;
  int erasureCount = 0;
  int n = assembleCodewords(ctx->reading, &assembled, ctx->codewords, ctx->erasures, &erasureCount);
  return confirmCodewords(ctx, n, erasureCount, assembled);
}

bool verifyGrid(ScanContext* ctx, const Frame& f, const GridOutcome& g);

// A side's row numbers (side 0 left, 1 right) fitted against the grid rows
// [top, bottom) that showed them.
RowFit sideFit(const GridReading* reading, int side, int top, int bottom) {
  RowFit fit = {false, 0, 0};
  top = top < 0 ? 0 : top;
  bottom = bottom > reading->gridRows ? reading->gridRows : bottom;
  if (bottom - top < 4) return fit;
  int* gridRows = (int*)std::malloc(sizeof(int) * (size_t)(bottom - top));
  int* symbolRows = (int*)std::malloc(sizeof(int) * (size_t)(bottom - top));
  if (gridRows && symbolRows) {
    const short* rows = side == 0 ? reading->leftRowOfGridRow : reading->rightRowOfGridRow;
    int n = 0;
    for (int i = top; i < bottom; i++)
      if (rows[i] >= 0) gridRows[n] = i, symbolRows[n++] = rows[i];
    fit.fitted = fitRows(gridRows, symbolRows, 0, n, &fit.slope, &fit.offset);
  }
  std::free(gridRows);
  std::free(symbolRows);
  return fit;
}

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
  double margin = kGridMargin * f.module;
  Vec corners[4] = {f.leftTop - f.across * margin, f.rightTop + f.across * margin,
                    f.rightBottom + f.across * margin, f.leftBottom - f.across * margin};
  double pixels = std::fmax(std::hypot(f.leftBottom.x - f.leftTop.x, f.leftBottom.y - f.leftTop.y),
                            std::hypot(f.rightBottom.x - f.rightTop.x, f.rightBottom.y - f.rightTop.y));
  int width = (17 * f.gridColumns + 2 * kGridMargin) * modulePixels;
  int height = gridHeightFor(pixels, f.module, rows);
  if (height == 0 || width > kMaxGridSide) return false;
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
  sampleGridLinearFill(ctx->grey, out->corners, ctx->width, ctx->height, grid, width, height, ctx->fill);
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

// The map from a grid's points to the picture's.
ProjectiveMap gridMap(const GridOutcome& g) {
  float w = (float)g.gridWidth, h = (float)g.gridHeight;
  const float grid[8] = {0.0f, 0.0f, w, 0.0f, w, h, 0.0f, h};
  return mapQuadToQuad(grid, g.corners);
}

// The grid point (x, y) in picture pixel indexes.
Vec gridToPicture(const GridOutcome& g, double x, double y) {
  ProjectiveMap m = gridMap(g);
  double wp = m.a13 * x + m.a23 * y + m.a33;
  return {(m.a11 * x + m.a21 * y + m.a31) / wp, (m.a12 * x + m.a22 * y + m.a32) / wp};
}

// The symbol's outline: the start pattern's outer edge to the stop
// pattern's, its first row's top to its last row's bottom, in the symbol's
// own frame.
void fillOutline(const GridOutcome& g, const Frame& f, const RowSpan& span, SymbolReading* out) {
  double mp = g.modulePixels;
  // A compact symbol was read as a full one: its one-module stop bar lies
  // where the right row indicator would begin.
  double left = (kGridMargin - 17) * mp;
  double right = f.compact ? g.gridWidth - (kGridMargin + 16) * mp : g.gridWidth - (kGridMargin - 18) * mp;
  double top = span.direction > 0 ? span.top : span.bottom, bottom = span.direction > 0 ? span.bottom : span.top;
  Vec points[4] = {gridToPicture(g, left, top), gridToPicture(g, right, top), gridToPicture(g, right, bottom),
                   gridToPicture(g, left, bottom)};
  for (int k = 0; k < 4; k++) {
    out->corners[2 * k] = (float)points[k].x;
    out->corners[2 * k + 1] = (float)points[k].y;
  }
  out->mirrored = span.direction < 0;
  out->compact = f.compact;
}

// Corrects what the grid read; true with ctx->current filled when error
// correction confirmed it.
bool verifyGrid(ScanContext* ctx, const Frame& f, const GridOutcome& g) {
  if (!g.indicatorsRead || !confirmReading(ctx, g.layout)) return false;
  SymbolReading* out = ctx->current;
  RowSpan whole = {0.0, (double)g.gridHeight, 1};
  Frame outline = f;
  // Nothing where the right row indicator would be, though the picture
  // shows that place: a compact symbol.
  outline.compact = ctx->reading->rightIndicatorReads == 0 && g.rightIndicatorInside;
  fillOutline(g, outline, g.spanFound ? g.span : whole, out);
  return true;
}

// ---- reading along the symbol's own rows -------------------------------------

// The grid row where a side meets symbol row position `row` (fractional).
double gridRowOf(const RowFit& fit, double row) { return (row - fit.offset) / fit.slope; }

// The outline from the sides' row fits: row 0's top to the last row's bottom.
void fillOutlineFromRows(const GridOutcome& g, const RowFit& left, const RowFit& right, int rows, bool compact,
                         SymbolReading* out) {
  double mp = g.modulePixels;
  double leftX = (kGridMargin - 17) * mp;
  double rightX = compact ? g.gridWidth - (kGridMargin + 16) * mp : g.gridWidth - (kGridMargin - 18) * mp;
  double top = -0.5, bottom = rows - 0.5;
  Vec points[4] = {gridToPicture(g, leftX, gridRowOf(left, top)), gridToPicture(g, rightX, gridRowOf(right, top)),
                   gridToPicture(g, rightX, gridRowOf(right, bottom)), gridToPicture(g, leftX, gridRowOf(left, bottom))};
  for (int k = 0; k < 4; k++) {
    out->corners[2 * k] = (float)points[k].x;
    out->corners[2 * k + 1] = (float)points[k].y;
  }
  out->mirrored = left.slope < 0;
  out->compact = compact;
}

// Lines sampled across each symbol row: about one per pixel of its height,
// two to five, spread over its middle so that none strays into the next.
int linesPerRow(const GridOutcome& g, const RowFit& fit, const Frame& f) {
  double sidePixels = std::hypot(f.leftBottom.x - f.leftTop.x, f.leftBottom.y - f.leftTop.y);
  double rowPixels = sidePixels / g.gridHeight / std::fabs(fit.slope);
  int lines = (int)std::lround(rowPixels);
  return lines < 2 ? 2 : lines > 5 ? 5 : lines;
}

// The straight line of row position `row` (fractional) from grid x `x`:
// its first point's grid y and its rise per grid x.
void rowLine(const RowGeometry& rg, double row, double x, double* y, double* rise) {
  double top = gridRowOf(rg.left, row), bottom = gridRowOf(rg.right, row);
  *rise = (bottom - top) / (rg.rightX - rg.leftX);
  *y = top + *rise * (x - rg.leftX);
}

// The grey samples of line k of symbol row r from grid x `x` in steps of dx:
// the lines spread over the row's middle so that none strays into the next.
void sampleRowLine(const ScanContext* ctx, const RowGeometry& rg, int r, int k, double x, double dx,
                   unsigned char* out, int count) {
  double y, rise;
  rowLine(rg, r + 0.6 * ((k + 0.5) / rg.lines - 0.5), x, &y, &rise);
  sampleMappedLine(ctx->grey, ctx->width, ctx->height, rg.map, x, y, dx, rise * dx, out, count, ctx->fill);
}

// Keeps a grid for readDeferredGrids while there is room. Grids of the same
// symbol are all kept: their row fits differ, and where rows are a pixel or
// two high one may read where another does not.
void deferShapeReading(ScanContext* ctx, const Frame& f, const GridOutcome& g, const RowGeometry& rg, bool compact) {
  if (ctx->deferredCount < ctx->maxDeferred) ctx->deferred[ctx->deferredCount++] = {f, g, rg, compact};
}

// Reads the symbol again along its own rows: each side's row indicators
// tell where that side meets every row, and each row is sampled along the
// straight line between its two ends through the first grid's map, so that
// rows of two or three pixels stay apart however the frame lay askew. A
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
  rg.lines = linesPerRow(g, rg.left, f);
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
  rg.map = gridMap(g);
  rg.leftX = kGridMargin * g.modulePixels, rg.rightX = (kGridMargin + 17.0 * f.gridColumns) * g.modulePixels;
  for (int r = 0; r < rows; r++)
    for (int k = 0; k < rg.lines; k++) {
      int line = r * rg.lines + k;
      knownRows[line] = r;
      sampleRowLine(ctx, rg, r, k, 0.0, 1.0, grid + (size_t)line * width, width);
    }
  unsigned char seen[kMaxGridColumns];
  columnsSeen(ctx, f, seen);
  unsigned char* binary = grid + bytes;
  bool verified = false;
  clearReading(ctx->reading, f.gridColumns);
  for (int local = 0; local < 3 && !verified; local++) {
    std::memcpy(binary, grid, bytes);
    if (local == 2)
      binarizeAlongRows(binary, width, height, (3 * g.modulePixels) / 2);
    else if (local)
      adaptiveBinarize(binary, width, height, 8 * g.modulePixels);
    else
      binarizeTwoLevels(binary, width, height);
    readGridRows(binary, width, height, f.gridColumns, g.modulePixels, f.indicators, seen, knownRows, ctx->reading);
    verified = confirmReading(ctx, g.layout);
  }
  std::free(grid);
  std::free(knownRows);
  bool compact = ctx->reading->rightIndicatorReads == 0 && g.rightIndicatorInside;
  if (verified) fillOutlineFromRows(g, rg.left, rg.right, rows, compact, ctx->current);
  else deferShapeReading(ctx, f, g, rg, compact);
  return verified;
}

// ---- reading rows by their codewords' shapes ---------------------------------

enum {
  kS = kShapeSamples,
  kGuardReach = 4,  // modules the start and stop patterns are looked for either side of where the frame has them
  // Profile modules before the left indicator and after the right one: a
  // guard pattern, its neighbours and the reach.
  kModulesBefore = 19 + kGuardReach,
  kModulesAfter = 20 + kGuardReach,
};

// A row's darkness from grid x `x` in steps of dx, its lines added up.
void rowDarkness(const ScanContext* ctx, const RowGeometry& rg, int r, double x, double dx, int count,
                 unsigned char* scratch, float* darkness) {
  for (int j = 0; j < count; j++) darkness[j] = 0;
  for (int k = 0; k < rg.lines; k++) {
    sampleRowLine(ctx, rg, r, k, x, dx, scratch, count);
    for (int j = 0; j < count; j++) darkness[j] += 255 - scratch[j];
  }
}

// A line p = offset + slope * r through the rows' guard positions that a
// few misplaced ones cannot pull: the rows whose guard matched well, the
// median slope between rows half of them apart, the median offset, then
// least squares over the rows within half a module. False with fewer than
// three rows.
struct GuardFit {
  bool fitted;
  double offset, slope;
};

GuardFit fitGuards(const double* at, const float* score, int rows, double* scratch) {
  GuardFit fit = {false, 0, 0};
  int* kept = (int*)std::malloc(sizeof(int) * (size_t)rows);
  if (!kept) return fit;
  int n = 0;
  for (int r = 0; r < rows; r++)
    if (score[r] > 0.6f) kept[n++] = r;
  if (n >= 3) {
    int half = n / 2, slopes = 0;
    for (int i = 0; i + half < n; i++) scratch[slopes++] = (at[kept[i + half]] - at[kept[i]]) / (kept[i + half] - kept[i]);
    std::stable_sort(scratch, scratch + slopes);
    fit.slope = scratch[slopes / 2];
    for (int i = 0; i < n; i++) scratch[i] = at[kept[i]] - fit.slope * kept[i];
    std::stable_sort(scratch, scratch + n);
    fit.offset = scratch[n / 2];
    double sr = 0, sp = 0, srr = 0, srp = 0;
    int m = 0;
    for (int i = 0; i < n; i++) {
      double r = kept[i], p = at[kept[i]];
      if (std::fabs(fit.offset + fit.slope * r - p) > 0.5 * kS) continue;
      sr += r, sp += p, srr += r * r, srp += r * p, m++;
    }
    double det = m * srr - sr * sr;
    if (m >= 3 && det > 1e-9) {
      fit.slope = (m * srp - sr * sp) / det;
      fit.offset = (sp - fit.slope * sr) / m;
    }
    fit.fitted = m >= 3;
  }
  std::free(kept);
  return fit;
}

// The blur under which the start patterns fit best, of a few from sharp to
// very blurry, tried on up to eight rows; *guards get its shapes.
void chooseBlur(const float* darkness, int rows, int count, int expected, GuardShapes* guards, GuardShapes* trial) {
  static const double kBlurs[] = {0.25, 0.4, 0.55, 0.7, 0.9, 1.1};
  double bestSum = -1e9;
  int stride = rows > 8 ? rows / 8 : 1;
  for (double blur : kBlurs) {
    buildGuardShapes(blur, trial);
    double sum = 0;
    for (int r = 0; r < rows; r += stride)
      sum += findGuard(*trial, kStartGuard, darkness + (size_t)r * count, count, expected, kGuardReach * kS, false).score;
    if (sum > bestSum) bestSum = sum, *guards = *trial;
  }
}

// Module m of a row (0: the start pattern's first) lies at profile sample
// first + width * m / (1 + bend * m): a line seen in perspective, its
// modules `ratio` times as wide at the start pattern as at the stop
// pattern, `modules` modules apart.
struct RowModules {
  double first, width, bend;
};

RowModules rowModules(double first, double last, double ratio, int modules) {
  double k = std::sqrt(ratio);
  return {first, (last - first) * k / modules, (k - 1) / modules};
}

double moduleAt(const RowModules& row, double m) { return row.first + row.width * m / (1 + row.bend * m); }

double moduleWidthAt(const RowModules& row, double m) {
  double d = 1 + row.bend * m;
  return row.width / (d * d);
}

enum { kCodewordReach = 1 };  // samples a codeword is looked for either side of where the rows put it

// A symbol's rows as a shape reading has them: the lines, the profile's
// first sample, and where the start and stop patterns were fitted.
struct ShapeRows {
  const ScanContext* ctx;
  const RowGeometry* rg;
  double x0, step;  // grid x of profile position 0, and per profile sample
  GuardFit start, stop;
  int modules;  // from the start pattern to the stop pattern
  const ShapeTable* table;
};

// Codeword column c (0: the left row indicator) of row r matched where the
// row's modules put it, sampled at its own module width. Rows a pixel or
// two high blur into each other: `unblend` of the rows above and below,
// sampled at the same modules, is taken away from the row's own darkness.
ShapeMatch matchInRow(const ShapeRows& rows, int r, int c, double ratio, double unblend, int rowCount) {
  RowModules row =
      rowModules(rows.start.offset + rows.start.slope * r, rows.stop.offset + rows.stop.slope * r, ratio, rows.modules);
  int m = 17 * (c + 1);  // the codeword's first module
  double sampleStep = moduleWidthAt(row, m + 8.5) / kS;
  double from = moduleAt(row, m - 1) - kCodewordReach * sampleStep;
  enum { kWindow = kShapeWindow + 2 * kCodewordReach };
  unsigned char grey[kWindow];
  float darkness[kWindow], neighbour[kWindow];
  double x = rows.x0 + rows.step * (from + 0.5 * sampleStep), dx = rows.step * sampleStep;
  rowDarkness(rows.ctx, *rows.rg, r, x, dx, kWindow, grey, darkness);
  for (int other = r - 1; unblend > 0 && other <= r + 1; other += 2) {
    if (other < 0 || other >= rowCount) continue;
    rowDarkness(rows.ctx, *rows.rg, other, x, dx, kWindow, grey, neighbour);
    for (int j = 0; j < kWindow; j++) darkness[j] -= (float)unblend * neighbour[j];
  }
  return matchCodeword(*rows.table, r % 3, darkness, kWindow, kCodewordReach + kS, kCodewordReach);
}

// How well the codewords of a few rows fit their shapes with the modules
// `ratio` times as wide at the start as at the stop pattern, `unblend` of
// the neighbouring rows taken away.
double shapeFit(const ShapeRows& rows, int rowCount, int dataColumns, double ratio, double unblend) {
  int tried = 64 / dataColumns < 2 ? 2 : 64 / dataColumns;
  int stride = rowCount > tried ? rowCount / tried : 1;
  double sum = 0;
  for (int r = stride / 2; r < rowCount; r += stride)
    for (int c = 1; c <= dataColumns; c++) sum += matchInRow(rows, r, c, ratio, unblend, rowCount).score;
  return sum;
}

// The perspective along the rows: the ratio of module widths, start pattern
// over stop pattern, under which the codewords fit best, searched coarse to
// fine; *fit gets how well they fit under it.
double bestRatio(const ShapeRows& rows, int rowCount, int dataColumns, double* fit) {
  double bestK = 1.0, bestFit = shapeFit(rows, rowCount, dataColumns, 1.0, 0.0);
  for (double k = 0.8; k < 1.26; k += 0.05) {
    double fit = std::fabs(k - 1.0) < 1e-9 ? bestFit : shapeFit(rows, rowCount, dataColumns, k * k, 0.0);
    if (fit > bestFit) bestFit = fit, bestK = k;
  }
  for (double delta = 0.025; delta > 0.01; delta /= 2) {
    double centre = bestK;
    for (int side = -1; side <= 1; side += 2) {
      double k = centre + side * delta, fit = shapeFit(rows, rowCount, dataColumns, k * k, 0.0);
      if (fit > bestFit) bestFit = fit, bestK = k;
    }
  }
  *fit = bestFit;
  return bestK * bestK;
}

// How much of the neighbouring rows to take away: none unless that makes
// the codewords fit better (than `plainFit`, with none), as it does where
// rows are a pixel or two high.
double bestUnblend(const ShapeRows& rows, int rowCount, int dataColumns, double ratio, double plainFit) {
  double best = 0, bestFit = plainFit;
  for (double unblend = 0.1; unblend < 0.45; unblend += 0.1) {
    double fit = shapeFit(rows, rowCount, dataColumns, ratio, unblend);
    if (fit > bestFit) bestFit = fit, best = unblend;
  }
  return best;
}

struct SureOrder {
  float margin;
  int index;
};

// Equal margins in codeword order: qsort's order of equals differs from one
// C library to another.
int compareMargins(const void* a, const void* b) {
  const SureOrder& x = *(const SureOrder*)a;
  const SureOrder& y = *(const SureOrder*)b;
  if (x.margin != y.margin) return (x.margin > y.margin) - (x.margin < y.margin);
  return (x.index > y.index) - (x.index < y.index);
}

// Corrects codewords read with a margin of sureness each, erasing more and
// more of the least sure ones until error correction confirms them (an
// erasure costs half what an error does): a handful of tries, each held to
// the same checks to spare. Every try is another chance for a wrong word to
// pass, so the erasures chosen here always leave four checks unspent. True
// with ctx->current filled.
bool confirmLeastSure(ScanContext* ctx, const int* codewords, const float* margins, int n, const SymbolLayout& layout) {
  int checks = 2 << layout.level;
  SureOrder* order = (SureOrder*)std::malloc(sizeof(SureOrder) * (size_t)n);
  if (!order) return false;
  for (int i = 0; i < n; i++) order[i] = {margins[i], i};
  std::qsort(order, (size_t)n, sizeof(SureOrder), compareMargins);
  int unread = 0;
  while (unread < n && codewords[order[unread].index] < 0) unread++;
  int stride = checks / 16 > 2 ? checks / 16 : 2;
  bool verified = false;
  for (int erased = unread; erased < checks && erased <= n && !verified; erased += stride) {
    if (erased > unread && checks - erased < 4) break;
    std::memcpy(ctx->codewords, codewords, sizeof(int) * (size_t)n);
    for (int k = 0; k < erased; k++) {
      ctx->codewords[order[k].index] = -1;
      ctx->erasures[k] = order[k].index;
    }
    verified = confirmCodewords(ctx, n, erased, layout);
    if (erased == 0 && unread == 0) erased = -stride + 1;  // then 1, 1 + stride, ...
  }
  std::free(order);
  return verified;
}

// As confirmLeastSure, for a layout whose level is not known: the length
// descriptor counts every codeword before the checks, so the one read
// names the level; a correction is believed only when the corrected
// descriptor still does.
bool confirmAnyLevel(ScanContext* ctx, const int* codewords, const float* margins, int n, SymbolLayout layout) {
  for (layout.level = 0; layout.level <= 8 && (2 << layout.level) < n; layout.level++)
    if (codewords[0] == n - (2 << layout.level))
      return confirmLeastSure(ctx, codewords, margins, n, layout) && ctx->current->codewords[0] == codewords[0];
  return false;
}

// Reads every codeword by its shape: each row's start and stop patterns
// are found in its profile and their places fitted over the rows; the
// perspective between them is the one under which the codewords fit best;
// each codeword is sampled again where that puts it, at its own module
// width, and matched against the shapes of its row's cluster. A close
// runner-up makes it an erasure.
bool readRowsByShape(ScanContext* ctx, const Frame& f, const GridOutcome& g, const RowGeometry& rg) {
  int rows = g.layout.rows, columns = f.gridColumns, dataColumns = columns - 2;
  if (rows * dataColumns > kMaxWordLength) return false;
  ShapeRows shapeRows = {ctx, &rg, rg.leftX - kModulesBefore * g.modulePixels, (double)g.modulePixels / kS,
                         {false, 0, 0}, {false, 0, 0}, 17 * (columns + 1), nullptr};
  int count = (kModulesBefore + 17 * columns + kModulesAfter) * kS;
  float* darkness = (float*)std::malloc(sizeof(float) * (size_t)rows * count);
  unsigned char* scratch = (unsigned char*)std::malloc((size_t)count);
  double* values = (double*)std::malloc(sizeof(double) * (size_t)rows * 2);
  float* scores = (float*)std::malloc(sizeof(float) * (size_t)rows);
  int* matched = (int*)std::malloc(sizeof(int) * (size_t)rows * dataColumns);
  float* margins = (float*)std::malloc(sizeof(float) * (size_t)rows * dataColumns);
  GuardShapes* guards = (GuardShapes*)std::malloc(sizeof(GuardShapes) * 2);
  ShapeTable* table = nullptr;
  bool verified = false;
  if (darkness && scratch && values && scores && matched && margins && guards) {
    double step = shapeRows.step;
    for (int r = 0; r < rows; r++)
      rowDarkness(ctx, rg, r, shapeRows.x0 + 0.5 * step, step, count, scratch, darkness + (size_t)r * count);
    int startExpected = (kModulesBefore - 17) * kS, stopExpected = (kModulesBefore + 17 * columns) * kS;
    chooseBlur(darkness, rows, count, startExpected, guards, guards + 1);
    for (int guard = 0; guard < 2; guard++) {
      for (int r = 0; r < rows; r++) {
        GuardPlace place = findGuard(*guards, guard, darkness + (size_t)r * count, count,
                                     guard == kStartGuard ? startExpected : stopExpected, kGuardReach * kS, true);
        values[r] = place.position, scores[r] = place.score;
      }
      (guard == kStartGuard ? shapeRows.start : shapeRows.stop) = fitGuards(values, scores, rows, values + rows);
    }
    GuardFit& start = shapeRows.start;
    GuardFit& stop = shapeRows.stop;
    int modules = shapeRows.modules;
    if (!start.fitted && stop.fitted) start = {true, stop.offset - modules * kS, stop.slope};
    if (start.fitted && !stop.fitted) stop = {true, start.offset + modules * kS, start.slope};
    if (start.fitted && (table = buildShapeTable(guards->blur))) {
      shapeRows.table = table;
      double plainFit = 0;
      double ratio = bestRatio(shapeRows, rows, dataColumns, &plainFit);
      double unblend = bestUnblend(shapeRows, rows, dataColumns, ratio, plainFit);
      int n = 0;
      for (int r = 0; r < rows; r++)
        for (int c = 1; c <= dataColumns; c++, n++) {
          ShapeMatch match = matchInRow(shapeRows, r, c, ratio, unblend, rows);
          matched[n] = match.codeword;
          margins[n] = match.codeword >= 0 ? match.score - match.runnerUp : -1.0f;
        }
      verified = g.layout.level >= 0 ? confirmLeastSure(ctx, matched, margins, n, g.layout)
                                     : confirmAnyLevel(ctx, matched, margins, n, g.layout);
    }
  }
  freeShapeTable(table);
  std::free(darkness);
  std::free(scratch);
  std::free(values);
  std::free(scores);
  std::free(matched);
  std::free(margins);
  std::free(guards);
  return verified;
}

// ---- rows placed by the patterns' wide bars ----------------------------------

// Where the dark of a vertical line through grid x `x` begins and ends, in
// grid rows: the line is sampled a quarter grid row apart from half the
// grid's height above it to half below, and each end is where the darkness
// crosses halfway between the line's darkest and lightest. False when the
// line shows no dark stretch.
bool barExtent(const ScanContext* ctx, const ProjectiveMap& map, double x, int gridHeight, double* top,
               double* bottom) {
  enum { kPerRow = 4 };
  int count = 2 * gridHeight * kPerRow;
  if (count < 8 || count > 4 * kMaxGridRows) return false;
  unsigned char* values = (unsigned char*)std::malloc((size_t)count);
  if (!values) return false;
  double y0 = -0.5 * gridHeight, dy = 1.0 / kPerRow;
  sampleMappedLine(ctx->grey, ctx->width, ctx->height, map, x, y0, 0.0, dy, values, count, ctx->fill);
  int low = 255, high = 0;
  for (int i = 0; i < count; i++) {
    low = values[i] < low ? values[i] : low;
    high = values[i] > high ? values[i] : high;
  }
  bool found = high - low >= 48;
  if (found) {
    double half = 0.5 * (low + high);
    int first = 0, last = count - 1;
    while (first < count && values[first] >= half) first++;
    while (last >= 0 && values[last] >= half) last--;
    found = first > 0 && last < count - 1 && first < last;
    if (found) {
      // Sub-sample crossings on both ends.
      double a = values[first - 1] - half, b = values[first] - half;
      *top = y0 + dy * (first - 1 + a / (a - b));
      a = values[last] - half, b = values[last + 1] - half;
      *bottom = y0 + dy * (last + a / (a - b));
    }
  }
  std::free(values);
  return found;
}

// Reads a grid whose indicators did not place its rows as a symbol of `rows`
// rows and `level` (-1: any the length descriptor agrees with): the start
// and stop patterns' wide bars show where the first row begins and the last
// ends on either side, the rows lie evenly between, and every codeword is
// read by its shape.
bool readByRowCount(ScanContext* ctx, const Frame& f, const GridOutcome& g, int rows, int level) {
  if (ctx->stats && ctx->stats->readings >= ctx->maxReadings) return false;
  if (ctx->stats) ctx->stats->readings++;
  RowGeometry rg;
  rg.map = gridMap(g);
  rg.leftX = kGridMargin * g.modulePixels, rg.rightX = (kGridMargin + 17.0 * f.gridColumns) * g.modulePixels;
  double top[2], bottom[2];
  if (!barExtent(ctx, rg.map, rg.leftX - 13 * g.modulePixels, g.gridHeight, &top[0], &bottom[0]) ||
      !barExtent(ctx, rg.map, rg.rightX + 3.5 * g.modulePixels, g.gridHeight, &top[1], &bottom[1]))
    return false;
  RowFit* fits[2] = {&rg.left, &rg.right};
  for (int side = 0; side < 2; side++) {
    // Rows of less than a grid row each were not sampled apart.
    if (!(bottom[side] - top[side] >= rows)) return false;
    double slope = rows / (bottom[side] - top[side]);
    *fits[side] = {true, slope, -0.5 - slope * top[side]};
  }
  GridOutcome shaped = g;
  shaped.layout = {rows, f.gridColumns - 2, level};
  rg.lines = linesPerRow(g, rg.left, f);
  if (!readRowsByShape(ctx, f, shaped, rg)) return false;
  fillOutlineFromRows(shaped, rg.left, rg.right, rows, false, ctx->current);
  return true;
}

// The votes' first and second choices, -1 where none.
void topTwo(const int* votes, int size, int* first, int* second) {
  *first = *second = -1;
  for (int k = 0; k < size; k++) {
    if (votes[k] <= 0) continue;
    if (*first < 0 || votes[k] > votes[*first]) *second = *first, *first = k;
    else if (*second < 0 || votes[k] > votes[*second]) *second = k;
  }
}

// Whether a symbol can have so many rows of so many data columns.
bool validRowCount(int rows, int dataColumns) {
  return rows >= 3 && rows <= kMaxSymbolRows && rows * dataColumns <= kMaxWordLength;
}

// Row counts for a grid whose indicators were too blurred to agree: rows
// a pixel or two high blur into each other, yet the row group most
// indicators showed is mostly right, and the count within the group is the
// least sure. The first two groups, each with the three counts within it,
// the one the level votes favour first.
int rowCountsFromVotes(const GridReading* reading, int dataColumns, int* counts) {
  int groups[2], levels[2];
  topTwo(reading->rowGroupVotes, 30, &groups[0], &groups[1]);
  topTwo(reading->levelVotes, 30, &levels[0], &levels[1]);
  int favoured = levels[0] >= 0 ? levels[0] % 3 : 0;
  int n = 0;
  for (int i = 0; i < 2 && groups[i] >= 0; i++)
    for (int k = 0; k < 3 && n < kMaxRowCounts; k++) {
      int within = k == 0 ? favoured : k <= favoured ? k - 1 : k;
      int rows = 3 * groups[i] + within + 1;
      if (validRowCount(rows, dataColumns)) counts[n++] = rows;
    }
  return n;
}

// Keeps a grid of three columns or more that no reading confirmed, with the
// row counts to try, for readDeferredGrids.
void deferRowCounts(ScanContext* ctx, const Frame& f, const GridOutcome& g) {
  if (f.gridColumns < 3 || ctx->rowCountGridCount >= kMaxRowCountGrids) return;
  RowCountGrid& d = ctx->rowCountGrids[ctx->rowCountGridCount];
  d.rowCountCount = rowCountsFromVotes(ctx->reading, f.gridColumns - 2, d.rowCounts);
  d.frame = f;
  d.grid = g;
  ctx->rowCountGridCount++;
}

enum { kMaxRowCountTries = 6 };

// How many picture pixels the start pattern's wide bar spans down a grid;
// 0 when it shows none.
double wideBarPixels(const ScanContext* ctx, const GridOutcome& g) {
  double x = (kGridMargin - 13.0) * g.modulePixels, top, bottom;
  if (!barExtent(ctx, gridMap(g), x, g.gridHeight, &top, &bottom)) return 0;
  Vec a = gridToPicture(g, x, top), b = gridToPicture(g, x, bottom);
  return std::hypot(b.x - a.x, b.y - a.y);
}

// A valid row count whose rows are a pixel high or more down a wide bar
// of `pixels` pixels.
bool plausibleRows(int rows, int dataColumns, double pixels) {
  return validRowCount(rows, dataColumns) && rows <= pixels;
}

// The row counts a grid is read with: those of the votes that leave rows a
// pixel high or more, then those of rows one module high, the flattest
// printed, to two modules high, as far as kMaxRowCountTries allows. Writes
// them to counts[0..kMaxRowCountTries) and returns their number.
int rowCountsToTry(const ScanContext* ctx, const RowCountGrid& p, int* counts) {
  double pixels = wideBarPixels(ctx, p.grid), module = p.frame.module;
  int dataColumns = p.frame.gridColumns - 2, n = 0;
  if (!(pixels > 0 && module > 0)) return 0;
  for (int k = 0; k < p.rowCountCount; k++)
    if (plausibleRows(p.rowCounts[k], dataColumns, pixels)) counts[n++] = p.rowCounts[k];
  int flattest = (int)std::lround(pixels / module), tallest = (int)std::lround(pixels / (2 * module));
  for (int rows = flattest; rows >= tallest && n < kMaxRowCountTries; rows--) {
    bool tried = false;
    for (int k = 0; k < n; k++) tried = tried || counts[k] == rows;
    if (!tried && plausibleRows(rows, dataColumns, pixels)) counts[n++] = rows;
  }
  return n;
}

// ---- the symbols found so far ------------------------------------------------

bool insideOutline(const float* corners, Vec p) {
  // p lies on the same side of all four sides of a convex outline.
  int sign = 0;
  for (int k = 0; k < 4; k++) {
    Vec a = {corners[2 * k], corners[2 * k + 1]};
    Vec b = {corners[(2 * k + 2) % 8], corners[(2 * k + 3) % 8]};
    double side = cross(b - a, p - a);
    int s = side > 0 ? 1 : side < 0 ? -1 : 0;
    if (s == 0) continue;
    if (sign == 0) sign = s;
    if (s != sign) return false;
  }
  return true;
}

Vec outlineCentre(const float* corners) {
  return {(corners[0] + corners[2] + corners[4] + corners[6]) * 0.25,
          (corners[1] + corners[3] + corners[5] + corners[7]) * 0.25};
}

// Whether a point (picture pixel indexes) lies on a symbol read already.
bool alreadyRead(const ScanContext* ctx, Vec p) {
  for (int i = 0; i < ctx->knownCount; i++)
    if (insideOutline(ctx->known[i].corners, p)) return true;
  for (int i = 0; i < ctx->readingCount; i++)
    if (insideOutline(ctx->readings[i].corners, p)) return true;
  return false;
}

bool enoughSymbols(const ScanContext* ctx) {
  return ctx->readingCount >= ctx->capacity ||
         (ctx->maxSymbols > 0 && ctx->readingCount + ctx->knownCount >= ctx->maxSymbols);
}

// Keeps ctx->current unless it is a symbol read already.
void keepReading(ScanContext* ctx) {
  if (enoughSymbols(ctx) || alreadyRead(ctx, outlineCentre(ctx->current->corners))) return;
  ctx->readings[ctx->readingCount++] = *ctx->current;
}

// The grids deferred to a reading by shapes, each unless a symbol read
// since covers it; those whose indicators placed no rows last, each row
// count in turn.
void readDeferredGrids(ScanContext* ctx) {
  for (int i = 0; i < ctx->deferredCount && !enoughSymbols(ctx); i++) {
    const DeferredGrid& p = ctx->deferred[i];
    if (alreadyRead(ctx, outlineCentre(p.grid.corners)) || !readRowsByShape(ctx, p.frame, p.grid, p.rows)) continue;
    fillOutlineFromRows(p.grid, p.rows.left, p.rows.right, p.grid.layout.rows, p.compact, ctx->current);
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

// The levels of a frame's grid rows top and bottom.
Levels levelsOf(const Frame& f, const GridOutcome& g, double top, double bottom) {
  Frame cut = recut(f, top / g.gridHeight, bottom / g.gridHeight);
  Vec down = downOf(f.across);
  return {dot(cut.leftTop, down), dot(cut.leftBottom, down), dot(cut.rightTop, down), dot(cut.rightBottom, down)};
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
  // The grid's rows did not confirm the symbol: its own rows may.
  bool read = g.verified || (g.indicatorsRead && readAlongRows(ctx, f, g));
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
    int estimate = (int)std::lround(whole.module / (0.5 * (c.start.module + c.stop.module)));
    if (estimate < 3 || estimate > kMaxGridColumns) return false;
    if (readColumns(ctx, c, estimate, 0, levels, depth, &layout, &indicatorsRead)) return true;
    int others[3] = {indicatorsRead ? layout.columns + 2 : estimate + 1, indicatorsRead ? 0 : estimate - 1, 0};
    for (int i = 0; others[i] > 0; i++) {
      if (others[i] == estimate || others[i] < 3 || others[i] > kMaxGridColumns) continue;
      SymbolLayout ignored;
      if (readColumns(ctx, c, others[i], layout.rows, levels, depth, &ignored, &indicatorsRead)) return true;
    }
    return false;
  }
  // One pattern: the indicators beside it say how far the symbol reaches.
  // A compact symbol reads as a full one whose right indicator is missing.
  if (!indicatorLayout(ctx, c, levels, &layout)) return false;
  return readColumns(ctx, c, layout.columns + 2, layout.rows, levels, depth, &layout, &indicatorsRead);
}

// Reads a candidate. A pair that does not read is read again as each of its
// edges alone: a stray stop sighting in the data can pair with a true start.
void readCandidate(ScanContext* ctx, const Candidate& c, int step) {
  if (readStretch(ctx, c, candidateLevels(c, step), 0) || !c.start.present || !c.stop.present) return;
  for (int side = 0; side < 2 && !enoughSymbols(ctx); side++) {
    Candidate one = c;
    if (side == 0)
      one.stop.present = false;
    else
      one.start.present = false;
    if (readStretch(ctx, one, candidateLevels(one, step), 0)) return;
  }
}

// A point well inside the symbol a candidate would be.
Vec candidateCentre(const Candidate& c) {
  Vec p;
  if (c.start.present && c.stop.present)
    p = (c.start.point + c.stop.point) * 0.5;
  else if (c.start.present)
    p = shifted(c.start.point, c.across, 8.0, c.start.module);
  else
    p = shifted(c.stop.point, c.across, -8.0, c.stop.module);
  return p - Vec{0.5, 0.5};
}

int stepFor(int effort, int width, int height) {
  int step = effort == kEffortFast ? 6 : effort == kEffortHard ? 2 : 4;
  int side = width < height ? width : height;
  // Small pictures hold small symbols: closer lines cost little there.
  int small = side / 20 < 1 ? 1 : side / 20;
  return small < step ? small : step;
}

}  // namespace

bool correctionHasSpare(int checks, int erasureCount, int found) {
  int errors = found - erasureCount;
  int spare = checks - erasureCount - 2 * (errors > 0 ? errors : 0);
  return spare >= (checks > 4 ? 2 : 1);
}

int readSymbolsByScan(const unsigned char* grey, int width, int height, const ScanRequest& request,
                      SymbolReading* readings, int capacity, ScanStats* stats) {
  ScanStats ignored;
  if (!stats) stats = &ignored;
  std::memset(stats, 0, sizeof *stats);
  if (!grey || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide ||
      (long long)width * height > kMaxPicturePixels || !readings || capacity < 1)
    return 0;
  ScanSettings settings;
  int light = 255;
  sampleLevels(grey, width, height, &settings.globalLevel, &light);
  settings.step = stepFor(request.effort, width, height);
  settings.thresholds = request.effort == kEffortFast ? 1 << kGlobalThreshold
                                                      : (1 << kGlobalThreshold) | (1 << kLocalThreshold);
  int side = width < height ? width : height;
  settings.window = side / 8 < 31 ? 31 : side / 8 > 255 ? 255 : side / 8;
  // Diagonals about as far apart as the rows and columns.
  settings.diagonalStep = settings.step + settings.step / 2;

  HitList hits = {(PatternHit*)std::malloc(sizeof(PatternHit) * kMaxHits), kMaxHits, 0};
  PatternTrail* trails = (PatternTrail*)std::malloc(sizeof(PatternTrail) * kMaxTrails);
  Candidate* candidates = (Candidate*)std::malloc(sizeof(Candidate) * kMaxTrails);
  ScanContext ctx = {};
  ctx.grey = grey;
  ctx.width = width;
  ctx.height = height;
  ctx.fill = (unsigned char)light;
  ctx.maxReadings = request.effort == kEffortFast ? 12 : request.effort == kEffortHard ? 160 : 48;
  ctx.maxSymbols = request.maxSymbols;
  ctx.readings = readings;
  ctx.capacity = capacity;
  ctx.known = request.known;
  ctx.knownCount = request.known ? request.knownCount : 0;
  ctx.stats = stats;
  ctx.reading = (GridReading*)std::malloc(sizeof(GridReading));
  ctx.codewords = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
  ctx.erasures = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
  ctx.current = (SymbolReading*)std::malloc(sizeof(SymbolReading));
  ctx.maxDeferred = request.effort == kEffortFast ? 1 : request.effort == kEffortHard ? kMaxDeferredGrids : 4;
  if (hits.hits && trails && candidates && ctx.reading && ctx.codewords && ctx.erasures && ctx.current &&
      scanForPatterns(grey, width, height, settings, &hits)) {
    stats->hits = hits.count;
    int trailCount = findTrails(hits.hits, hits.count, settings.step, trails, kMaxTrails);
    stats->trails = trailCount;
    int count = buildCandidates(trails, trailCount, candidates, kMaxTrails);
    for (int i = 0; i < count; i++)
      stats->rowPairs += candidates[i].start.present && candidates[i].stop.present &&
                         std::fabs(candidates[i].across.x) > std::fabs(candidates[i].across.y);
    int maxCandidates = request.effort == kEffortFast ? 8 : request.effort == kEffortHard ? 64 : 24;
    Tried tried;
    tried.count = 0;
    for (int i = 0; i < count && i < maxCandidates && !enoughSymbols(&ctx); i++) {
      if (stats->readings >= ctx.maxReadings) break;
      const Candidate& c = candidates[i];
      Vec centre = candidateCentre(c);
      if (alreadyRead(&ctx, centre) ||
          triedBefore(&tried, centre, c.across, c.start.present ? c.start.module : c.stop.module))
        continue;
      readCandidate(&ctx, c, settings.step);
    }
    readDeferredGrids(&ctx);
  }
  std::free(hits.hits);
  std::free(trails);
  std::free(candidates);
  std::free(ctx.reading);
  std::free(ctx.codewords);
  std::free(ctx.erasures);
  std::free(ctx.current);
  return ctx.readingCount;
}

namespace {

struct Placed {
  double centreX, top, bottom;
  int index;
  int line;
};

int compareByTop(const void* a, const void* b) {
  double x = ((const Placed*)a)->top, y = ((const Placed*)b)->top;
  return (x > y) - (x < y);
}

int compareByLineThenX(const void* a, const void* b) {
  const Placed& x = *(const Placed*)a;
  const Placed& y = *(const Placed*)b;
  if (x.line != y.line) return x.line < y.line ? -1 : 1;
  return (x.centreX > y.centreX) - (x.centreX < y.centreX);
}

}  // namespace

void sortInReadingOrder(SymbolReading* readings, int count) {
  if (!readings || count < 2) return;
  Placed* placed = (Placed*)std::malloc(sizeof(Placed) * (size_t)count);
  SymbolReading* sorted = (SymbolReading*)std::malloc(sizeof(SymbolReading) * (size_t)count);
  if (placed && sorted) {
    for (int i = 0; i < count; i++) {
      const float* c = readings[i].corners;
      placed[i] = {outlineCentre(c).x, std::fmin(std::fmin(c[1], c[3]), std::fmin(c[5], c[7])),
                   std::fmax(std::fmax(c[1], c[3]), std::fmax(c[5], c[7])), i, -1};
    }
    // A symbol joins the first line whose first symbol it overlaps by half
    // the lower of their heights; lines follow each other by their tops.
    std::qsort(placed, (size_t)count, sizeof(Placed), compareByTop);
    int lines = 0;
    for (int i = 0; i < count; i++) {
      for (int j = 0; j < i && placed[i].line < 0; j++) {
        const Placed& first = placed[j];
        bool opensLine = true;
        for (int k = 0; k < j; k++) opensLine = opensLine && placed[k].line != first.line;
        if (!opensLine) continue;
        double overlap = std::fmin(first.bottom, placed[i].bottom) - std::fmax(first.top, placed[i].top);
        double lower = std::fmin(first.bottom - first.top, placed[i].bottom - placed[i].top);
        if (overlap >= 0.5 * lower) placed[i].line = first.line;
      }
      if (placed[i].line < 0) placed[i].line = lines++;
    }
    std::qsort(placed, (size_t)count, sizeof(Placed), compareByLineThenX);
    for (int i = 0; i < count; i++) sorted[i] = readings[placed[i].index];
    std::memcpy(readings, sorted, sizeof(SymbolReading) * (size_t)count);
  }
  std::free(placed);
  std::free(sorted);
}
