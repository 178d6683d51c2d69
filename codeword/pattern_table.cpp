#include "codeword/pattern_table.h"

int findPatternIndex(int key) {
  int low = 0, high = kPatternTableSize;
  while (low < high) {
    int mid = (low + high) / 2;
    if (key < codewordPatternKeys[mid])
      high = mid;
    else if (key > codewordPatternKeys[mid])
      low = mid + 1;
    else
      return mid;
  }
  return -1;
}

int lookupCodeword(int key) {
  int index = findPatternIndex(key & 0x3ffff);
  if (index < 0) return -1;
  // The cluster is dropped: a pattern of any cluster reads in any row.
  return (codewordPatternValues[index] - 1) % 929;
}
