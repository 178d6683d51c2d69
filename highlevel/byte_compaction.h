// Byte compaction: five codewords carry six bytes as one base-900 number;
// a short group at the end of a segment carries one byte per codeword.
#ifndef PDF417_HIGHLEVEL_BYTE_COMPACTION_H
#define PDF417_HIGHLEVEL_BYTE_COMPACTION_H

#include "highlevel/data_walk.h"

namespace pdf417read::detail {

// Decodes the byte segment that starts at position and appends its bytes to
// the walk. mode is the codeword that selected it: 901 or 924 (latches; 901
// traces a line per group and per single byte) or 913 (a byte shift at the
// start of the data: position is that of the 913 itself). dataEnd is the
// first position not to be read. Returns the position of the codeword that
// ended the segment, or dataEnd when the data ran out; for 913, the
// position of the codeword after the shift.
//
// An ECI designator among the groups does not break the group it stands in:
// the set it names starts with that group's bytes, or, after a group's
// fifth codeword, with the next group. Among the single bytes that end a
// segment it starts with the next byte.
int decodeByteSegment(int mode, const int* codewords, int position, int dataEnd, DataWalk* walk);

}  // namespace pdf417read::detail

#endif
