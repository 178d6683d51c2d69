// The first way of reading a frame: a grid sampled between its edges,
// thresholded, and read codeword by codeword with the row indicators placing
// each grid row; then, when that did not confirm the symbol, the symbol's
// own rows sampled along the lines the indicators put them on.
#ifndef PDF417_PIPELINE_GRID_READING_H
#define PDF417_PIPELINE_GRID_READING_H

#include "pipeline/scan_context.h"

namespace pdf417read::detail::symbol_scan {

// Reads the grid of a frame into ctx->reading, with the global threshold of
// the grid and with a local one: each gets right some codewords the other
// blurs, and the votes add up.
bool readFrameGrid(ScanContext* ctx, const Frame& f, int rows, GridOutcome* out);

// Reads the symbol again along its own rows. True with ctx->current filled
// when error correction confirmed the reading; else the grid is deferred to
// a reading by shapes.
bool readAlongRows(ScanContext* ctx, const Frame& f, const GridOutcome& g);

// Tells the scan's observer, when there is one, what ctx->reading holds of
// the frame's symbol: only a reading whose indicators gave the layout of
// the grid's columns. Uses ctx->current as scratch.
void reportSighting(ScanContext* ctx, const Frame& f, const GridOutcome& g);

}  // namespace pdf417read::detail::symbol_scan

#endif
