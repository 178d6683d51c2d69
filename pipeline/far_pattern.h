// The far pattern of a symbol seen at a steep angle: its modules there are
// a pixel or less, too fine for the scan to see the pattern, while the near
// one was seen. Found along lines from the near pattern by where the symbol
// ends and the far pattern's widest bar lies.
#ifndef PDF417_PIPELINE_FAR_PATTERN_H
#define PDF417_PIPELINE_FAR_PATTERN_H

#include "pipeline/symbol_candidates.h"

namespace pdf417read::detail::symbol_scan {

struct ScanContext;

// A candidate of one pattern edge, for a symbol of gridColumns codeword
// columns (row indicators included): the same candidate with the other
// pattern's inner edge where the picture shows it. False when the symbol's
// end or the pattern's bar is not found.
bool findFarPattern(const ScanContext* ctx, const Candidate& c, int gridColumns, Candidate* both);

}  // namespace pdf417read::detail::symbol_scan

#endif
