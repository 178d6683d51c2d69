// Grids whose row indicators placed no rows, read as symbols of the row
// counts most likely: those the indicators' votes favour and those the start
// pattern's wide bar allows.
#ifndef PDF417_PIPELINE_ROW_COUNT_GUESSES_H
#define PDF417_PIPELINE_ROW_COUNT_GUESSES_H

#include "pipeline/scan_context.h"

namespace pdf417read::detail::symbol_scan {

// Reads a grid as a symbol of `rows` rows and `level` (-1: any the length
// descriptor agrees with), rows placed by the patterns' wide bars.
bool readByRowCount(ScanContext* ctx, const Frame& f, const GridOutcome& g, int rows, int level);

// Keeps a grid of three columns or more that no reading confirmed, with the
// row counts to try, for a reading by row count once every candidate was read.
void deferRowCounts(ScanContext* ctx, const Frame& f, const GridOutcome& g);

enum { kMaxRowCountTries = 6 };

// The row counts a deferred grid is read with, to counts[0..kMaxRowCountTries);
// returns their number.
int rowCountsToTry(const ScanContext* ctx, const RowCountGrid& p, int* counts);

}  // namespace pdf417read::detail::symbol_scan

#endif
