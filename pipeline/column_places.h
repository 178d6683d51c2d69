// Where a grid's codeword columns lie along its rows when they are not
// evenly spaced: a label round a bottle narrows its codewords towards both
// sides, which the grid's straight map cannot follow. A smooth curve from
// column to grid x is fitted through where the codewords read were found,
// held at the grid's two inner edges, where the patterns were seen.
#ifndef PDF417_PIPELINE_COLUMN_PLACES_H
#define PDF417_PIPELINE_COLUMN_PLACES_H

#include "codeword/indicator_reader.h"

namespace pdf417read::detail::symbol_scan {

// Adds what one reading found to what others found: each column keeps the
// place the most grid rows agreed on.
void mergeFoundColumns(FoundColumns* all, const FoundColumns& one, int gridColumns);

// The columns of a grid of `gridColumns` columns of 17 modules of
// modulePixels each, between margins of kGridMargin modules, placed where a
// cubic through the codewords found (and the grid's inner edges) has them.
// False when too few columns were found, the curve is not a plausible
// symbol's, or it lies within a module of the even spacing everywhere
// (reading again would find nothing new).
bool curvedColumnPlaces(const FoundColumns& found, int gridColumns, int modulePixels, ColumnPlaces* places);

}  // namespace pdf417read::detail::symbol_scan

#endif
