// Byte compaction: five codewords carry six bytes as one base-900 number;
// a short group at the end of a segment carries one byte per codeword.
#ifndef PDF417_HIGHLEVEL_BYTE_COMPACTION_H
#define PDF417_HIGHLEVEL_BYTE_COMPACTION_H

#include "highlevel/text_buffer.h"

// Decodes the byte segment that starts at position and appends its bytes to
// text. mode is the codeword that selected it: 901 or 924 (latches; 901
// prints a trace line per group) or 913 (a byte shift at the start of the
// data: position is that of the 913 itself). dataEnd is the first position
// not to be read. Returns the position of the codeword that ended the
// segment, or dataEnd when the data ran out; for 913, the position of the
// codeword after the shift.
// With kept, every byte is kept and nothing is traced (see text_buffer.h).
int decodeByteSegment(int mode, const int* codewords, int position, char* text, int dataEnd,
                      KeptBytes* kept = nullptr);

#endif
