#include "pipeline/shape_reading.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "codeword/shape_matching.h"
#include "ecc/reed_solomon.h"
#include "pipeline/symbol_acceptance.h"

namespace pdf417read::detail::symbol_scan {

namespace {

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
  unsigned char gray[kWindow];
  float darkness[kWindow], neighbour[kWindow];
  double x = rows.x0 + rows.step * (from + 0.5 * sampleStep), dx = rows.step * sampleStep;
  rowDarkness(rows.ctx, *rows.rg, r, x, dx, kWindow, gray, darkness);
  for (int other = r - 1; unblend > 0 && other <= r + 1; other += 2) {
    if (other < 0 || other >= rowCount) continue;
    rowDarkness(rows.ctx, *rows.rg, other, x, dx, kWindow, gray, neighbour);
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

}  // namespace

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

}  // namespace pdf417read::detail::symbol_scan
