#include "codeword/pattern_table.h"

namespace pdf417read::detail {

// A bucket holds one or two keys on average: a few comparisons, where a
// search of the whole table would take twelve dependent steps.
int findPatternIndex(int key) {
  if (key < 0x10000 || key >= 0x20000) return -1;
  int bucket = (key >> 5) - 0x800;
  for (int i = kCodewordPatternBuckets[bucket]; i < kCodewordPatternBuckets[bucket + 1]; i++)
    if (codewordPatternKeys[i] == key) return i;
  return -1;
}

int lookupCodeword(int key) {
  int index = findPatternIndex(key & 0x3ffff);
  if (index < 0) return -1;
  // The cluster is dropped: a pattern of any cluster reads in any row.
  return (codewordPatternValues[index] - 1) % 929;
}

}  // namespace pdf417read::detail
