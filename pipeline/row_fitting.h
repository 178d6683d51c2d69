// Where a grid's rows show the symbol's rows: lines fitted through the row
// numbers the row indicators gave, robust against misread ones.
#ifndef PDF417_PIPELINE_ROW_FITTING_H
#define PDF417_PIPELINE_ROW_FITTING_H

#include "codeword/indicator_reader.h"

namespace pdf417read::detail::symbol_scan {

enum { kMaxRowSpans = 4 };

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

// Robust line row = offset + slope * gridRow through pairs [first, end).
// False when too few pairs stay near it.
bool fitRows(const int* gridRows, const int* symbolRows, int first, int end, double* slope, double* offset);

// The grid rows that showed symbol rows, cut where the rows jump back, each
// piece fitted on its own (see row_fitting.cpp). Returns the number of spans.
int findRowSpans(const GridReading* reading, int gridHeight, int rows, RowSpan* spans);

// A side's row numbers (side 0 left, 1 right) fitted against the grid rows
// [top, bottom) that showed them.
RowFit sideFit(const GridReading* reading, int side, int top, int bottom);

}  // namespace pdf417read::detail::symbol_scan

#endif
