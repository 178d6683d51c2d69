#include "pipeline/row_count_guesses.h"

#include <cmath>
#include <cstdlib>

#include "ecc/reed_solomon.h"
#include "locate/grid_sampling.h"
#include "pipeline/shape_reading.h"

namespace pdf417read::detail::symbol_scan {

namespace {

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
  sampleMappedLine(ctx->gray, ctx->width, ctx->height, map, x, y0, 0.0, dy, values, count, ctx->fill);
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

}  // namespace

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
  int lines = linesPerRow(g, rg.left, f);
  rg = symbolGeometry(g, rg.left, rg.right, rows, f.gridColumns);
  rg.lines = lines;
  if (!readRowsByShape(ctx, f, shaped, rg)) return false;
  fillOutlineOf(rg, g.modulePixels, rows, false, ctx->current);
  return true;
}

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace pdf417read::detail::symbol_scan
