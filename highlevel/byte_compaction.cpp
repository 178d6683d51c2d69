#include "highlevel/byte_compaction.h"

#include <cstdint>

#include "highlevel/eci_designator.h"
#include "highlevel/mode_codewords.h"
#include "highlevel/walk_trace.h"

namespace pdf417read::detail {

struct ByteGroup {
  int codewords[5];
  int count;
  bool erased;          // an erased codeword makes the group's bytes unknown
  // Base-900 value, carried over between groups. Unsigned so that a hostile
  // run of groups above 2^48, whose carries grow until they overflow, wraps
  // instead of being undefined; encoders never write such groups.
  uint64_t accumulator;
  // The ECI marks met since the group began, from this index on, wait for
  // its bytes: until they are placed, a mark's position holds how many of
  // the group's codewords came before its designator.
  int firstWaitingMark;
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

static void markWithinGroup(ByteGroup* group, int eci, DataWalk* walk) {
  int index = markEci(walk, eci);
  if (index >= 0) walk->ecis->marks[index].position = group->count;
}

// The waiting marks whose designators came after at most `before` of the
// group's codewords start here, at the message's current end.
static void placeMarks(ByteGroup* group, int before, DataWalk* walk) {
  EciMarks* ecis = walk->ecis;
  if (!ecis) return;
  for (; group->firstWaitingMark < ecis->count && ecis->marks[group->firstWaitingMark].position <= before;
       group->firstWaitingMark++)
    ecis->marks[group->firstWaitingMark].position = walk->length;
}

// Five codewords as six bytes, most significant first. A designator within
// the group names the set of all six; one after its fifth codeword, the
// set of the next group.
static void emitSixBytes(ByteGroup* group, int mode, DataWalk* walk) {
  placeMarks(group, 4, walk);
  if (group->erased) {
    group->accumulator = 0;
  } else {
    char bytes[6];
    for (int i = 5; i >= 0; i--) {
      bytes[i] = (char)(group->accumulator % 256);
      group->accumulator >>= 8;
    }
    appendBytes(walk, bytes, 6);
    if (mode == kByteLatch && walk->traced) traceByteGroup(walk->traced);
  }
  placeMarks(group, 5, walk);
  group->count = 0;
  group->erased = false;
}

// A group that does not fill six bytes: one byte per codeword, each
// designator starting its set right where it stands. Only 901 traces them;
// an erased codeword gives nothing.
static void emitSingleBytes(ByteGroup* group, int mode, DataWalk* walk) {
  for (int i = 0; i < group->count; i++) {
    placeMarks(group, i, walk);
    int codeword = group->codewords[i];
    if (codeword < 0) continue;
    if (mode == kByteLatch && walk->traced) traceSingleByte(codeword);
    appendChar(walk, codeword & 0xFF);
  }
  placeMarks(group, group->count, walk);
  group->count = 0;
}

// The group that ends a segment: six bytes only from a whole group of 924.
static void emitLastGroup(ByteGroup* group, int mode, DataWalk* walk) {
  if (group->count == 5 && mode == kByteLatchSix)
    emitSixBytes(group, mode, walk);
  else
    emitSingleBytes(group, mode, walk);
}

// A byte shift at the start of the data: the codeword after the 913 is one
// byte, and text decoding resumes after it. A mode codeword there is left
// for the dispatcher.
static int decodeByteShift(const int* codewords, int position, int dataEnd, DataWalk* walk) {
  int next = position + 1;
  if (next >= dataEnd) return dataEnd;
  int codeword = codewords[next];
  if (codeword >= 0 && codeword < kFirstModeCodeword) appendChar(walk, codeword & 0xFF);
  return next;
}

int decodeByteSegment(int mode, const int* codewords, int position, int dataEnd, DataWalk* walk) {
  if (mode == kByteShift) return decodeByteShift(codewords, position, dataEnd, walk);
  ByteGroup group = {{0}, 0, false, 0, walk->ecis ? walk->ecis->count : 0};
  for (; position < dataEnd; position++) {
    int codeword = codewords[position];
    if (endsByteSegment(codeword)) break;
    if (isEciDesignator(codeword)) {
      markWithinGroup(&group, eciDesignatorValue(codewords, position, dataEnd), walk);
      position = eciDesignatorEnd(codewords, position, dataEnd) - 1;
      continue;
    }
    if (codeword >= kFirstModeCodeword) {
      meetControlCodeword(walk, codewords, position, dataEnd);
      continue;
    }
    // Five codewords are six bytes only when more data follows them: a last
    // group of five in a 901 segment is five single bytes.
    if (group.count == 5) emitSixBytes(&group, mode, walk);
    addToGroup(&group, codeword);
  }
  emitLastGroup(&group, mode, walk);
  return position;
}

}  // namespace pdf417read::detail
