// What the scan path read of a symbol whose grid it could not confirm, handed
// to whoever watches the scan (a reader of successive frames): the votes for
// every cell, the layout the row indicators gave and where the symbol lies.
// A plain read watches nothing and pays nothing for it.
#ifndef PDF417_PIPELINE_GRID_SIGHTING_H
#define PDF417_PIPELINE_GRID_SIGHTING_H

#include "codeword/indicator_reader.h"

namespace pdf417read::detail {

struct GridSighting {
  const GridReading* reading;  // votes per symbol row and grid column, indicators included
  SymbolLayout layout;         // rows, data columns and level, all known
  // Top-left, top-right, bottom-right, bottom-left in picture pixels, in the
  // symbol's own frame, as SymbolReading's.
  float corners[8];
  int mirrored;
  int inverted;
  int rightIndicatorRead;  // some grid row read a right row indicator
};

struct GridObserver {
  void (*see)(void* context, const GridSighting& sighting);
  void* context;
};

}  // namespace pdf417read::detail

#endif
