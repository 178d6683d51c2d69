#include "highlevel/byte_compaction.h"

#include <cstdint>

#include "highlevel/eci_designator.h"
#include "highlevel/mode_codewords.h"
#include "highlevel/text_buffer.h"
#include "runtime/trace.h"

struct ByteGroup {
  int codewords[5];
  int count;
  bool erased;          // an erased codeword makes the group's bytes unknown
  // Base-900 value, carried over between groups. Unsigned so that a hostile
  // run of groups above 2^48, whose carries grow until they overflow, wraps
  // instead of being undefined; encoders never write such groups.
  uint64_t accumulator;
};

static bool endsByteSegment(int codeword) {
  return codeword == kTextLatch || codeword == kByteLatch || codeword == kNumericLatch ||
         codeword == kMacroTerminator || codeword == kMacroOptionalField || codeword == kByteLatchSix ||
         codeword == kMacroControlBlock;
}

static void addToGroup(ByteGroup* group, int codeword) {
  group->codewords[group->count++] = codeword;
  if (codeword < 0)
    group->erased = true;
  else
    group->accumulator = group->accumulator * 900 + codeword;
}

// Five codewords as six bytes, most significant first. The bytes after a
// zero byte are not appended, as the group is appended as a string.
static void emitSixBytes(ByteGroup* group, int mode, char* text, KeptBytes* kept) {
  if (group->erased) {
    group->accumulator = 0;
  } else {
    char bytes[7] = {0};
    for (int i = 5; i >= 0; i--) {
      bytes[i] = (char)(group->accumulator % 256);
      group->accumulator >>= 8;
    }
    appendBytes(text, bytes, 6, kept);
    if (mode == kByteLatch && !kept) trace("compaction result = %s\n", text);
  }
  group->count = 0;
  group->erased = false;
}

// A group that does not fill six bytes: one byte per codeword. Only 901
// traces them; an erased codeword gives nothing.
static void emitSingleBytes(ByteGroup* group, int mode, char* text, KeptBytes* kept) {
  for (int i = 0; i < group->count; i++) {
    int codeword = group->codewords[i];
    if (codeword < 0) continue;
    if (mode == kByteLatch && !kept) trace("without compacton show: = %c\n", codeword);
    appendChar(text, codeword & 0xFF, kept);
  }
  group->count = 0;
}

// The group that ends a segment: six bytes only from a whole group of 924.
static void emitLastGroup(ByteGroup* group, int mode, char* text, KeptBytes* kept) {
  if (group->count == 5 && mode == kByteLatchSix)
    emitSixBytes(group, mode, text, kept);
  else
    emitSingleBytes(group, mode, text, kept);
}

// A byte shift at the start of the data: the codeword after the 913 is one
// byte, and text decoding resumes after it. A mode codeword there is left
// for the dispatcher.
static int decodeByteShift(const int* codewords, int position, char* text, int dataEnd,
                           KeptBytes* kept) {
  int next = position + 1;
  if (next >= dataEnd) return dataEnd;
  int codeword = codewords[next];
  if (codeword >= 0 && codeword < kFirstModeCodeword) appendChar(text, codeword & 0xFF, kept);
  return next;
}

int decodeByteSegment(int mode, const int* codewords, int position, char* text, int dataEnd,
                      KeptBytes* kept) {
  if (mode == kByteShift) return decodeByteShift(codewords, position, text, dataEnd, kept);
  ByteGroup group = {{0}, 0, false, 0};
  for (; position < dataEnd; position++) {
    int codeword = codewords[position];
    if (endsByteSegment(codeword)) break;
    if (isEciDesignator(codeword)) {
      // The designator ends the bytes of the set before it: when the bytes
      // are kept, the group before it is that set's last. Without kept the
      // group runs on across it, as it always has.
      if (kept) emitLastGroup(&group, mode, text, kept);
      markEci(eciDesignatorValue(codewords, position, dataEnd), kept);
      position = eciDesignatorEnd(codewords, position, dataEnd) - 1;
      continue;
    }
    if (codeword >= kFirstModeCodeword) continue;
    // Five codewords are six bytes only when more data follows them: a last
    // group of five in a 901 segment is five single bytes.
    if (group.count == 5) emitSixBytes(&group, mode, text, kept);
    addToGroup(&group, codeword);
  }
  emitLastGroup(&group, mode, text, kept);
  return position;
}
