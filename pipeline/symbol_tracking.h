// The symbols a reader of successive frames follows: each known by its
// layout and where it lies, with the best reading of every codeword cell
// the frames have shown so far. A symbol is followed from frame to frame by
// its place and shape, and a reading whose sure codewords disagree with a
// symbol's is another symbol, however alike the two look.
#ifndef PDF417_PIPELINE_SYMBOL_TRACKING_H
#define PDF417_PIPELINE_SYMBOL_TRACKING_H

#include "pipeline/grid_sighting.h"
#include "pipeline/symbol_reading.h"

namespace pdf417read::detail {

enum {
  kMaxTrackedSymbols = 8,  // the oldest seen makes room for a new one
  kMaxTrackedCells = kMaxSymbolRows * kMaxDataColumns,
};

// A codeword cell: the codeword read there (-1: never read) and how sure
// the frames are of it, 0..1.
struct TrackedCell {
  short codeword;
  float sureness;
};

struct TrackedSymbol {
  SymbolLayout layout;
  float corners[8];  // where it was last seen, as SymbolReading's
  int mirrored, inverted;
  int rightIndicatorRead;  // some frame read a right row indicator
  unsigned lastFrame;      // the frame it was last seen in
  unsigned changedFrame;   // the frame its cells last changed in
  int framesSeen;          // frames it was seen in
  int decoded;             // returned once: its cells hold its codewords, sure
  TrackedCell cells[kMaxTrackedCells];  // symbol rows of layout.columns cells
};

struct SymbolTracks {
  TrackedSymbol symbols[kMaxTrackedSymbols];
  int count;
  unsigned frame;  // frames begun, the current one included
};

// Forgets every symbol.
void clearTracks(SymbolTracks* tracks);

// A new frame begins.
void beginFrame(SymbolTracks* tracks);

// Takes what a grid read into the symbol it shows (a GridObserver's see;
// context: the SymbolTracks).
void noteSighting(void* tracks, const GridSighting& sighting);

// A symbol confirmed in this frame. True when it was returned before: the
// same place and layout and the same codewords. Otherwise the symbol is
// noted as returned, its codewords sure, and false comes back.
bool noteConfirmed(SymbolTracks* tracks, const SymbolReading& reading);

// The symbol at the reading's place that was returned with its codewords;
// null when none was.
TrackedSymbol* returnedBefore(SymbolTracks* tracks, const SymbolReading& reading);

// Whether this frame showed followed symbols, all of them returned before.
bool onlyReturnedSeen(const SymbolTracks* tracks);

// A followed symbol confirmed in this frame: returned, its cells holding
// the reading's codewords, sure.
void trackDecoded(SymbolTracks* tracks, TrackedSymbol* t, const SymbolReading& reading);

}  // namespace pdf417read::detail

#endif
