#include "codeword/pattern_table.h"

// The keys are distinct and sorted: the last one not above key is the only
// one that can equal it. Halving by a conditional move rather than a branch
// costs no mispredictions, which a table lookup per codeword would pay often.
int findPatternIndex(int key) {
  const int* base = codewordPatternKeys;
  int n = kPatternTableSize;
  while (n > 1) {
    int half = n / 2;
    base = base[half] <= key ? base + half : base;
    n -= half;
  }
  return *base == key ? (int)(base - codewordPatternKeys) : -1;
}

int lookupCodeword(int key) {
  int index = findPatternIndex(key & 0x3ffff);
  if (index < 0) return -1;
  // The cluster is dropped: a pattern of any cluster reads in any row.
  return (codewordPatternValues[index] - 1) % 929;
}
