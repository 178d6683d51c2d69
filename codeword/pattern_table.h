// The 2787 codeword bar/space patterns of clusters 0, 3 and 6, sorted by key.
#ifndef PDF417_CODEWORD_PATTERN_TABLE_H
#define PDF417_CODEWORD_PATTERN_TABLE_H

namespace pdf417read::detail {

enum { kPatternTableSize = 2787, kPatternBuckets = 2048 };

// Key: the 17 modules left to right as bits 16..0, bar = 1.
// Value: clusterIndex * 929 + codeword + 1, clusterIndex 0, 1, 2 for
// clusters 0, 3, 6.
extern const int codewordPatternKeys[kPatternTableSize];
extern const int codewordPatternValues[kPatternTableSize];
// Every key lies in [0x10000, 0x20000). The keys of bucket b, those whose
// (key >> 5) - 0x800 is b, are entries [buckets[b], buckets[b + 1]).
extern const short kCodewordPatternBuckets[kPatternBuckets + 1];

// Index of key in codewordPatternKeys, or -1.
int findPatternIndex(int key);
// Codeword 0..928 of the pattern (low 18 bits of key), any cluster, or -1.
int lookupCodeword(int key);

}  // namespace pdf417read::detail

#endif
