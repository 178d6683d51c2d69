// What a traced walk over the data codewords prints. The trace shows the
// text decoded so far as a C string: each piece the walk appends counts up
// to its first zero byte, so a zero byte ends what a six-byte group or a
// single byte adds, and the text runs on past the Macro control block. The
// message itself keeps every byte (highlevel/data_walk.h).
#ifndef PDF417_HIGHLEVEL_WALK_TRACE_H
#define PDF417_HIGHLEVEL_WALK_TRACE_H

#include "highlevel/data_walk.h"

namespace pdf417read::detail {

struct TracedText {
  char text[kTextBufferSize];  // NUL-terminated
  int length;
};

void clearTracedText(TracedText* traced);

// Appends count bytes up to the first zero byte, cut short when full.
void traceAppend(TracedText* traced, const char* bytes, int count);

// A byte-compaction (901) group of six bytes has been appended:
// "compaction result = %s\n" with the whole text so far.
void traceByteGroup(const TracedText* traced);

// A byte-compaction (901) codeword is about to be appended as one byte:
// "without compacton show: = %c\n" with the codeword.
void traceSingleByte(int codeword);

}  // namespace pdf417read::detail

#endif
