// Reed-Solomon erasure and error correction over GF(929).
#ifndef PDF417_ECC_REED_SOLOMON_H
#define PDF417_ECC_REED_SOLOMON_H

enum { kMaxCheckCodewords = 2048 };

// Corrects codewords[0..n-1] in place; t check codewords, ne erasures at the
// indices listed in erasurePositions (overwritten with the root locations on
// success). Returns -1 when uncorrectable or the arguments are bad, 0 when
// the word was already valid, else the number of corrected positions.
int rsDecode(int* codewords, int* erasurePositions, int ne, int n, int t, int debug);

#endif
