// The exact path as one strategy of the reading pipeline: the decode
// pipeline (pipeline/decode_pipeline.h) run on a gray picture, its findings
// handed on as the same reading record the scan path gives.
#ifndef PDF417_PIPELINE_EXACT_READING_H
#define PDF417_PIPELINE_EXACT_READING_H

#include "pipeline/decode_pipeline.h"
#include "pipeline/symbol_reading.h"

namespace pdf417read::detail {

// gray: width * height gray bytes, left unchanged. Fills *out and returns
// kDecodeOk when the exact path gave a result, else why not (a
// DecodeFailure: kDecodeNoSymbol when its search found no start and stop
// patterns).
int readSymbolExact(const unsigned char* gray, int width, int height, SymbolReading* out);

// The record's reading: the codewords handed to data decoding, the level
// their check codeword count gives, the layout they fill and the symbol's
// four outer corners. verified is the result's.
void exactReadingOf(const DecodeRecord& record, int verified, SymbolReading* out);

// The exact path takes its check codeword count from the length descriptor,
// which damage can change: its correction is trusted only when that count is
// one a symbol can have and checks were left to spare.
bool exactReadingTrusted(const SymbolReading& reading);

}  // namespace pdf417read::detail

#endif
