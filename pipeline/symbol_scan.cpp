#include "pipeline/symbol_scan.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codeword/codeword_buffer.h"
#include "codeword/indicator_reader.h"
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

int compareDoubles(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
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
      std::qsort(values, (size_t)slopes, sizeof(double), compareDoubles);
      *slope = values[slopes / 2];
      for (int k = first; k < end; k++) values[k - first] = symbolRows[k] - *slope * gridRows[k];
      std::qsort(values, (size_t)n, sizeof(double), compareDoubles);
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

int compareInts(const void* a, const void* b) {
  int x = *(const int*)a, y = *(const int*)b;
  return (x > y) - (x < y);
}

// The median of the symbol rows around pair k, five of them at most.
int medianRow(const int* symbolRows, int count, int k) {
  int window[5], n = 0;
  for (int j = k - 2; j <= k + 2; j++)
    if (j >= 0 && j < count) window[n++] = symbolRows[j];
  std::qsort(window, (size_t)n, sizeof(int), compareInts);
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

// The codewords ctx->reading holds in the layout, corrected: true with
// ctx->current's codewords and layout filled when error correction
// confirmed them.
bool confirmReading(ScanContext* ctx, const SymbolLayout& layout) {
  SymbolLayout assembled = layout;
  int erasureCount = 0;
  int n = assembleCodewords(ctx->reading, &assembled, ctx->codewords, ctx->erasures, &erasureCount);
  if (n <= 0 || !correctWord(ctx->codewords, n, ctx->erasures, erasureCount, assembled.level)) return false;
  SymbolReading* out = ctx->current;
  std::memcpy(out->codewords, ctx->codewords, sizeof(int) * (size_t)n);
  out->codewordCount = n;
  out->ecLevel = assembled.level;
  out->rows = assembled.rows;
  out->columns = assembled.columns;
  out->verified = 1;
  return true;
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
  int modulePixels = (int)std::lround(2 * f.module);
  // Three grid pixels a module suffice to find each edge; more than five
  // only cost time.
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

// The grid point (x, y) in picture pixel indexes.
Vec gridToPicture(const GridOutcome& g, double x, double y) {
  float w = (float)g.gridWidth, h = (float)g.gridHeight;
  const float grid[8] = {0.0f, 0.0f, w, 0.0f, w, h, 0.0f, h};
  ProjectiveMap m = mapQuadToQuad(grid, g.corners);
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

// Reads the symbol again along its own rows: each side's row indicators
// tell where that side meets every row, and each row is sampled along the
// straight line between its two ends through the first grid's map, so that
// rows of two or three pixels stay apart however the frame lay askew. A
// side whose indicators said too little takes the other side's rows. True
// with ctx->current filled when error correction confirmed the reading.
bool readAlongRows(ScanContext* ctx, const Frame& f, const GridOutcome& g) {
  RowFit left = g.sides[0].fitted ? g.sides[0] : g.sides[1];
  RowFit right = g.sides[1].fitted ? g.sides[1] : g.sides[0];
  int rows = g.layout.rows;
  if (!left.fitted || rows < 3 || rows > kMaxSymbolRows || g.layout.columns + 2 != f.gridColumns) return false;
  if (ctx->stats && ctx->stats->readings >= ctx->maxReadings) return false;
  // Both sides must count the rows the same way, and about as far apart.
  double ratio = right.slope / left.slope;
  if (!(ratio > 0.5 && ratio < 2.0)) return false;
  int lines = linesPerRow(g, left, f);
  int width = g.gridWidth, height = rows * lines;
  size_t bytes = (size_t)width * height;
  unsigned char* grid = (unsigned char*)std::malloc(2 * bytes);
  int* knownRows = (int*)std::malloc(sizeof(int) * (size_t)height);
  if (!grid || !knownRows) {
    std::free(grid);
    std::free(knownRows);
    return false;
  }
  if (ctx->stats) ctx->stats->readings++;
  float w = (float)g.gridWidth, h = (float)g.gridHeight;
  const float gridCorners[8] = {0.0f, 0.0f, w, 0.0f, w, h, 0.0f, h};
  ProjectiveMap map = mapQuadToQuad(gridCorners, g.corners);
  double leftX = kGridMargin * g.modulePixels, rightX = (kGridMargin + 17.0 * f.gridColumns) * g.modulePixels;
  for (int r = 0; r < rows; r++)
    for (int k = 0; k < lines; k++) {
      double row = r + 0.6 * ((k + 0.5) / lines - 0.5);
      double top = gridRowOf(left, row), bottom = gridRowOf(right, row);
      double rise = (bottom - top) / (rightX - leftX);
      int line = r * lines + k;
      knownRows[line] = r;
      sampleMappedLine(ctx->grey, ctx->width, ctx->height, map, 0.0, top - rise * leftX, 1.0, rise,
                       grid + (size_t)line * width, width, ctx->fill);
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
    if (!verified) continue;
    SymbolReading* out = ctx->current;
    bool compact = ctx->reading->rightIndicatorReads == 0 && g.rightIndicatorInside;
    fillOutlineFromRows(g, left, right, rows, compact, out);
  }
  std::free(grid);
  std::free(knownRows);
  return verified;
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
