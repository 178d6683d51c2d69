#include "highlevel/data_decoder.h"

#include "codeword/codeword_buffer.h"
#include "highlevel/byte_compaction.h"
#include "highlevel/eci_designator.h"
#include "highlevel/mode_codewords.h"
#include "highlevel/numeric_compaction.h"
#include "highlevel/text_compaction.h"

namespace pdf417read::detail {

static int smaller(int a, int b) { return a < b ? a : b; }

// Hands the segment that mode selects to its decoder.
static int decodeSegment(int mode, const int* codewords, int position, int dataEnd, DataWalk* walk) {
  if (mode == kByteLatch || mode == kByteShift || mode == kByteLatchSix)
    return decodeByteSegment(mode, codewords, position, dataEnd, walk);
  if (mode == kNumericLatch) return decodeNumericSegment(codewords, position, dataEnd, walk);
  return textCompaction(codewords, position, dataEnd, walk);
}

int walkDataCodewords(const int* codewords, int totalCodewords, DataWalk* walk) {
  // The length descriptor may be damaged: positions are bounded by the
  // codewords that were read and by the buffer itself.
  int readable = smaller(totalCodewords, kCodewordBufferSize);
  if (readable < 1) return 0;
  int dataEnd = smaller(codewords[0], readable);
  // The first segment starts on position 1, which may hold its own latch;
  // without one, the data starts in text compaction.
  int position = 1;
  int mode = dataEnd > 1 ? codewords[1] : kTextLatch;
  while (position < dataEnd) {
    int end = decodeSegment(mode, codewords, position, dataEnd, walk);
    // Stopping beyond the message's end leaves the message whole.
    if (end < 0 || end >= readable) return walk->closed;
    if (end >= dataEnd) break;
    // The walk goes on past the control block for the trace's sake; the
    // message ends at it.
    if (meetControlCodeword(walk, codewords, end, dataEnd)) closeMessage(walk);
    mode = codewords[end];
    position = end + 1;
  }
  return 1;
}

static bool eciNumbersValid(const EciMarks& ecis) {
  for (int i = 0; i < ecis.count; i++)
    if (ecis.marks[i].eci < 0 || ecis.marks[i].eci > kMaxEci) return false;
  return true;
}

int decodeDataCodewords(const int* codewords, int totalCodewords, DecodedMessage* message,
                        TracedText* traced) {
  DataWalk walk = startWalk(message->bytes, &message->ecis, &message->macro, traced);
  int whole = codewords ? walkDataCodewords(codewords, totalCodewords, &walk) : 0;
  message->length = walk.length;
  message->readerInit = walk.readerInit;
  message->outcome = !eciNumbersValid(message->ecis) ? kMessageInvalid : whole ? kMessageWhole : kMessageCut;
  return message->outcome;
}

}  // namespace pdf417read::detail
