// Numeric compaction: up to 15 codewords form one base-900 number whose
// decimal form is a 1 followed by the group's digits. The conversion works
// on fixed-width decimal strings.
#ifndef PDF417_HIGHLEVEL_NUMERIC_COMPACTION_H
#define PDF417_HIGHLEVEL_NUMERIC_COMPACTION_H

#include "highlevel/data_walk.h"

namespace pdf417read::detail {

enum { kDecimalWidth = 45, kMaxNumericGroup = 15 };

// 900^r for r = 0..15 as 45-digit decimal strings, most significant first,
// zero-padded on the left.
extern const char powersOf900[16][kDecimalWidth + 1];

// Decodes the numeric segment that starts at position and appends its
// digits to the walk. dataEnd is the first position not to be read. Returns
// the position of the codeword that ended the segment, or dataEnd when the
// data ran out.
int decodeNumericSegment(const int* codewords, int position, int dataEnd, DataWalk* walk);

// The decimal digits of a group of count (1..15) codewords 0..899, the
// leading 1 left out. A new string the caller frees; null when memory ran
// out.
char* decodeBase900toBase10(const int* group, int count);

// value * codeword (0..899) as a new decimal string of value's width; digits
// carried out on the left are dropped. Null when memory ran out.
char* multiply(const char* value, int codeword);

// a + b as a new decimal string of a's width (b at least as long); the carry
// out of the leftmost chunk is dropped. Null when memory ran out.
char* add(const char* a, const char* b);

}  // namespace pdf417read::detail

#endif
