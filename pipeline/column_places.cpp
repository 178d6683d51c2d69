#include "pipeline/column_places.h"

#include <cmath>

#include "pipeline/scan_frame.h"

namespace pdf417read::detail::symbol_scan {

void mergeFoundColumns(FoundColumns* all, const FoundColumns& one, int gridColumns) {
  for (int c = 0; c < gridColumns && c < kMaxGridColumns; c++)
    if (one.count[c] > all->count[c]) all->start[c] = one.start[c], all->count[c] = one.count[c];
}

namespace {

enum { kTerms = 4 };  // a cubic

// Weighted points (t, x) of a least-squares fit of x as a polynomial in t.
struct CurveFit {
  double normal[kTerms][kTerms + 1];  // the normal equations, right-hand side last
};

void addPoint(CurveFit* fit, double t, double x, double weight) {
  double powers[kTerms] = {1, t, t * t, t * t * t};
  for (int i = 0; i < kTerms; i++) {
    for (int j = 0; j < kTerms; j++) fit->normal[i][j] += weight * powers[i] * powers[j];
    fit->normal[i][kTerms] += weight * powers[i] * x;
  }
}

// Gaussian elimination with partial pivoting; false when singular.
bool solve(CurveFit fit, double* coefficients) {
  for (int col = 0; col < kTerms; col++) {
    int pivot = col;
    for (int r = col + 1; r < kTerms; r++)
      if (std::fabs(fit.normal[r][col]) > std::fabs(fit.normal[pivot][col])) pivot = r;
    if (!(std::fabs(fit.normal[pivot][col]) > 1e-9)) return false;
    for (int k = 0; k <= kTerms; k++) {
      double swap = fit.normal[col][k];
      fit.normal[col][k] = fit.normal[pivot][k], fit.normal[pivot][k] = swap;
    }
    for (int r = 0; r < kTerms; r++) {
      if (r == col) continue;
      double factor = fit.normal[r][col] / fit.normal[col][col];
      for (int k = col; k <= kTerms; k++) fit.normal[r][k] -= factor * fit.normal[col][k];
    }
  }
  for (int i = 0; i < kTerms; i++) coefficients[i] = fit.normal[i][kTerms] / fit.normal[i][i];
  return true;
}

double curveAt(const double* coefficients, double t) {
  return ((coefficients[3] * t + coefficients[2]) * t + coefficients[1]) * t + coefficients[0];
}

// The cubic through the columns found in at least a quarter as many grid
// rows as the best one, t the column over the column count, held at both
// inner edges; fitted again without the columns more than a module and a
// half off the first curve (a codeword of the next column read astray).
bool fitCurve(const FoundColumns& found, int gridColumns, int modulePixels, double* coefficients) {
  int most = 0;
  for (int c = 0; c < gridColumns; c++) most = found.count[c] > most ? found.count[c] : most;
  int least = most / 4 > 2 ? most / 4 : 2;
  double scale = 1.0 / gridColumns, module = modulePixels;
  double left = kGridMargin * module, right = (kGridMargin + 17.0 * gridColumns) * module;
  for (int pass = 0; pass < 2; pass++) {
    CurveFit fit = {};
    // The edges weigh as much as all the columns together.
    addPoint(&fit, 0.0, left, gridColumns);
    addPoint(&fit, 1.0, right, gridColumns);
    int points = 0;
    for (int c = 0; c < gridColumns; c++) {
      if (found.count[c] < least || found.start[c] < 0) continue;
      double t = c * scale;
      if (pass > 0 && std::fabs(curveAt(coefficients, t) - found.start[c]) > 1.5 * module) continue;
      addPoint(&fit, t, found.start[c], 1.0);
      points++;
    }
    if (points < 2 || !solve(fit, coefficients)) return false;
  }
  return true;
}

}  // namespace

bool curvedColumnPlaces(const FoundColumns& found, int gridColumns, int modulePixels, ColumnPlaces* places) {
  if (gridColumns < 3 || gridColumns > kMaxGridColumns || modulePixels < 1) return false;
  double coefficients[kTerms];
  if (!fitCurve(found, gridColumns, modulePixels, coefficients)) return false;
  double nominal = 17.0 * modulePixels, scale = 1.0 / gridColumns, bend = 0;
  for (int c = 0; c < gridColumns; c++) {
    double start = curveAt(coefficients, c * scale), end = curveAt(coefficients, (c + 1) * scale);
    double even = (kGridMargin + 17.0 * c) * modulePixels, width = end - start;
    // Narrowed to a third at most, widened by half at most.
    if (!(width > nominal / 3 && width < 1.5 * nominal)) return false;
    bend = std::fmax(bend, std::fabs(start - even));
    places->start[c] = (int)std::lround(start);
    places->width[c] = (int)std::lround(width);
  }
  return bend > modulePixels;
}

}  // namespace pdf417read::detail::symbol_scan
