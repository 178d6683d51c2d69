// The second way of reading: every codeword of a grid's rows matched by
// its shape against the shapes of its cluster, for symbols too blurred or
// too low for thresholds to part their bars.
#ifndef PDF417_PIPELINE_SHAPE_READING_H
#define PDF417_PIPELINE_SHAPE_READING_H

#include "pipeline/scan_context.h"

namespace pdf417read::detail::symbol_scan {

// Reads every codeword of the rows rg places by its shape. True with
// ctx->current filled when error correction confirmed the reading.
bool readRowsByShape(ScanContext* ctx, const Frame& f, const GridOutcome& g, const RowGeometry& rg);

}  // namespace pdf417read::detail::symbol_scan

#endif
