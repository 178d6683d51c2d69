// One symbol as a reading path delivers it: the corrected codewords, the
// layout the row indicators gave, where the symbol lies in the picture, and
// the message its codewords carry, decoded once.
#ifndef PDF417_PIPELINE_SYMBOL_READING_H
#define PDF417_PIPELINE_SYMBOL_READING_H

#include "highlevel/data_decoder.h"

namespace pdf417read::detail {

enum { kMaxSymbolCodewords = 928 };

struct SymbolReading {
  int codewords[kMaxSymbolCodewords];  // length descriptor, data, checks
  int codewordCount;
  int corrections;    // codewords error correction changed, erasures included
  int erasures;       // codewords read as no codeword at all
  int ecLevel;        // 0..8, -1 when unknown
  int rows, columns;  // 0 when unknown
  // Top-left, top-right, bottom-right, bottom-left in picture pixels, in the
  // symbol's own frame (start pattern on the left).
  float corners[8];
  int verified;  // 1 when error correction confirmed the codewords
  int compact;   // compact PDF417 (no right row indicator)
  int mirrored;  // read from a mirror image
  int inverted;  // printed light on dark: read from the picture's negative
  // The exact pipeline decodes it as it reads; for the second path's
  // readings the reader decodes it (decodeDataCodewords) once they are in.
  DecodedMessage message;
};

}  // namespace pdf417read::detail

#endif
