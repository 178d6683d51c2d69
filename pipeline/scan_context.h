// One scan's state, passed to every reading it makes: the picture, the
// symbols read so far, the scratch of one reading, and the grids deferred
// to the costlier readings.
#ifndef PDF417_PIPELINE_SCAN_CONTEXT_H
#define PDF417_PIPELINE_SCAN_CONTEXT_H

#include "codeword/indicator_reader.h"
#include "pipeline/scan_frame.h"
#include "pipeline/scan_grid.h"
#include "pipeline/symbol_reading.h"
#include "pipeline/symbol_scan.h"

namespace pdf417read::detail::symbol_scan {

// A grid whose rows did not confirm a symbol, to be read by its codewords'
// shapes once every candidate has been tried: that reading costs as much as
// many a whole scan, and another candidate often reads the symbol plainly.
struct DeferredGrid {
  Frame frame;
  GridOutcome grid;
  RowGeometry rows;
  bool compact;
};

// A grid whose indicators placed no rows, to be read by shapes last, as a
// symbol of each of a few row counts. Only the first such grid of a scan is
// kept: each count costs a whole reading by shapes, and a picture whose
// symbol does not read at all would pay for every one.
enum { kMaxRowCounts = 6 };

struct RowCountGrid {
  Frame frame;
  GridOutcome grid;
  int rowCounts[kMaxRowCounts];
  int rowCountCount;
};

enum { kMaxDeferredGrids = 8, kMaxRowCountGrids = 1 };

struct ScanContext {
  const unsigned char* gray;
  int width, height;
  unsigned char fill;
  int maxReadings;
  int maxSymbols;
  SymbolReading* readings;
  int readingCount, capacity;
  ScanStats* stats;
  const GridObserver* observer;  // null when nobody watches
  bool negative;                 // the picture scanned is the negative
  // Scratch for one reading at a time.
  GridReading* reading;
  int* codewords;
  int* erasures;
  SymbolReading* current;
  DeferredGrid deferred[kMaxDeferredGrids];
  int deferredCount, maxDeferred;
  RowCountGrid rowCountGrids[kMaxRowCountGrids];
  int rowCountGridCount;
};

}  // namespace pdf417read::detail::symbol_scan

#endif
