// ECI designators in the codeword stream: 927 n, 926 a b and 925 n name the
// character set (Extended Channel Interpretation) of the bytes that follow.
// The decoders step over a designator and its arguments, which are never
// message data.
#ifndef PDF417_HIGHLEVEL_ECI_DESIGNATOR_H
#define PDF417_HIGHLEVEL_ECI_DESIGNATOR_H

namespace pdf417read::detail {

enum { kMaxEci = 999999 };

// True for 925, 926 and 927.
bool isEciDesignator(int codeword);

// The position after the designator at position, its arguments included,
// never past dataEnd.
int eciDesignatorEnd(const int* codewords, int position, int dataEnd);

// The ECI number of the designator at position, or -1 when its arguments
// are cut off by dataEnd or are not data codewords (0..899).
int eciDesignatorValue(const int* codewords, int position, int dataEnd);

}  // namespace pdf417read::detail

#endif
