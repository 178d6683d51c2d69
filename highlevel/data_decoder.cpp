#include "highlevel/data_decoder.h"

#include "codeword/codeword_buffer.h"
#include "highlevel/byte_compaction.h"
#include "highlevel/mode_codewords.h"
#include "highlevel/numeric_compaction.h"
#include "highlevel/text_buffer.h"
#include "highlevel/text_compaction.h"

static int smaller(int a, int b) { return a < b ? a : b; }

// Hands the segment that mode selects to its decoder.
static int decodeSegment(int mode, const int* codewords, int position, char* text, int dataEnd,
                         KeptBytes* kept) {
  if (mode == kByteLatch || mode == kByteShift || mode == kByteLatchSix)
    return decodeByteSegment(mode, codewords, position, text, dataEnd, kept);
  if (mode == kNumericLatch) return decodeNumericSegment(codewords, position, text, dataEnd, kept);
  return textCompaction(codewords, position, text, dataEnd, kept);
}

char* decodeDataCodewords(const int* codewords, int totalCodewords, char* text, KeptBytes* kept) {
  clearText(text, kept);
  // The length descriptor may be damaged: positions are bounded by the
  // codewords that were read and by the buffer itself.
  int readable = smaller(totalCodewords, kCodewordBufferSize);
  if (readable < 1) return text;
  int dataEnd = smaller(codewords[0], readable);
  // The first segment starts on position 1, which may hold its own latch;
  // without one, the data starts in text compaction.
  int position = 1;
  int mode = dataEnd > 1 ? codewords[1] : kTextLatch;
  while (position < dataEnd) {
    int end = decodeSegment(mode, codewords, position, text, dataEnd, kept);
    if (end < 0 || end >= readable) return nullptr;
    if (end >= dataEnd) break;
    mode = codewords[end];
    position = end + 1;
  }
  return text;
}
