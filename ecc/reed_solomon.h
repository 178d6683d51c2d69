// Reed-Solomon erasure and error correction over GF(929).
#ifndef PDF417_ECC_REED_SOLOMON_H
#define PDF417_ECC_REED_SOLOMON_H

namespace pdf417read::detail {

enum { kMaxCheckCodewords = 2048, kMaxWordLength = 928 };

// Corrects codewords[0..n-1] (n at most kMaxWordLength) in place; t check codewords, ne erasures at the
// indices listed in erasurePositions (overwritten with the root locations on
// success, so it needs room for min(t, 928) entries when given). A negative
// entry v is an erasure mark taken as the value -v. Returns -1 when
// uncorrectable or the arguments are bad, 0 when the word was already valid,
// else the number of corrected positions. On success no entry is left
// negative. Traces the erasures whenever ne >= 1, the rest only when debug
// is 1.
int rsDecode(int* codewords, int* erasurePositions, int ne, int n, int t, int debug);

// The same correction with no trace at all, for callers that try many
// readings of one picture.
int rsDecodeSilent(int* codewords, int* erasurePositions, int ne, int n, int t);

}  // namespace pdf417read::detail

#endif
