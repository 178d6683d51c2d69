// The second reading path: reads every symbol of a gray picture whatever its
// orientation, mirrored or not, compact or not. A cheap scan of every few
// rows and columns finds the start and stop patterns; only where they lie is
// a grid sampled, along the symbol's own axes, and read codeword by codeword
// with the row indicators placing each grid row. A symbol is taken only when
// error correction confirms it with check codewords to spare.
#ifndef PDF417_PIPELINE_SYMBOL_SCAN_H
#define PDF417_PIPELINE_SYMBOL_SCAN_H

#include "pipeline/grid_sighting.h"
#include "pipeline/symbol_reading.h"

namespace pdf417read::detail {

// How hard to look (see ScanRequest):
//   fast   - every 6th line, one threshold, few candidates;
//   normal - every 4th line (closer in small pictures), a global and a local
//            threshold;
//   hard   - every 2nd line, both thresholds, more candidates and readings.
enum ReadEffort { kEffortFast, kEffortNormal, kEffortHard };

enum { kMaxSymbolsPerPicture = 64 };

// What a scan did, for measuring.
struct ScanStats {
  int hits;      // pattern sightings
  int trails;    // pattern edges built from them
  int rowPairs;  // start and stop edges paired along picture rows, as an
                 // upright or upside-down symbol shows them
  int readings;  // grids sampled and read
};

struct ScanRequest {
  int effort;       // ReadEffort
  int maxSymbols;   // stop after this many symbols; 0: no limit
  // Told of every grid whose indicators gave a layout but whose codewords
  // did not confirm; null: nobody watches.
  const GridObserver* observer;
};

// gray: width * height gray bytes, left unchanged. Writes up to `capacity`
// verified readings, each a symbol of its own, and returns their number.
// stats may be null.
int readSymbolsByScan(const unsigned char* gray, int width, int height, const ScanRequest& request,
                      SymbolReading* readings, int capacity, ScanStats* stats);

}  // namespace pdf417read::detail

#endif
