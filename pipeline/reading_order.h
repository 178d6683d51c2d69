// The order symbols of one picture are read in, as a reader would: lines
// top to bottom, each left to right.
#ifndef PDF417_PIPELINE_READING_ORDER_H
#define PDF417_PIPELINE_READING_ORDER_H

#include "pipeline/symbol_reading.h"

namespace pdf417read::detail {

// Sorts readings into reading order: symbols whose middles lie within the
// height of another share its line; lines top to bottom, each left to right.
void sortInReadingOrder(SymbolReading* readings, int count);

}  // namespace pdf417read::detail

#endif
