// The codeword columns between a pair's start and stop patterns counted by
// their bars: every codeword has four, however narrow its modules. A label
// round a bottle narrows the patterns at both ends, and the columns
// estimated from their width then come out far too many.
#ifndef PDF417_PIPELINE_BAR_COUNT_H
#define PDF417_PIPELINE_BAR_COUNT_H

#include "pipeline/scan_context.h"

namespace pdf417read::detail::symbol_scan {

// The grid columns (row indicators included) between the inner edges of a
// frame's two sides, counted along a few lines across it, `module` the
// narrowest module expected; 0 when the lines disagree or show no whole
// number of codewords.
int columnsByBars(const ScanContext* ctx, const Frame& f, double module);

}  // namespace pdf417read::detail::symbol_scan

#endif
