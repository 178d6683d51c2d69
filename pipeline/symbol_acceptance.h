// When the scan path takes a symbol: error correction must confirm its
// codewords with check codewords to spare.
#ifndef PDF417_PIPELINE_SYMBOL_ACCEPTANCE_H
#define PDF417_PIPELINE_SYMBOL_ACCEPTANCE_H

#include "codeword/indicator_reader.h"

namespace pdf417read::detail {

// A correction is believed only with check codewords to spare: at full
// capacity any word corrects to some valid word, right or not. `found` is
// what the Reed-Solomon decoder returned.
bool correctionHasSpare(int checks, int erasureCount, int found);

namespace symbol_scan {

struct ScanContext;

// The codewords ctx->reading holds in the layout, corrected: true with
// ctx->current's codewords and layout filled when error correction
// confirmed them.
bool confirmReading(ScanContext* ctx, const SymbolLayout& layout);

// Codewords read with a margin of sureness each, corrected with more and
// more of the least sure erased (see symbol_acceptance.cpp).
bool confirmLeastSure(ScanContext* ctx, const int* codewords, const float* margins, int n, const SymbolLayout& layout);

// As confirmLeastSure, for a layout whose level is not known.
bool confirmAnyLevel(ScanContext* ctx, const int* codewords, const float* margins, int n, SymbolLayout layout);

}  // namespace symbol_scan

}  // namespace pdf417read::detail

#endif
