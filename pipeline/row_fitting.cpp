#include "pipeline/row_fitting.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace pdf417read::detail::symbol_scan {

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace pdf417read::detail::symbol_scan
