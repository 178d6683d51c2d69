#include "highlevel/message_decoder.h"

#include <cstring>

#include "codeword/codeword_buffer.h"
#include "highlevel/eci_designator.h"
#include "highlevel/mode_codewords.h"

static bool eciNumbersValid(const EciMarks& ecis) {
  for (int i = 0; i < ecis.count; i++)
    if (ecis.marks[i].eci < 0 || ecis.marks[i].eci > kMaxEci) return false;
  return true;
}

// The position of the control block's 928 among the data codewords, or
// dataEnd when there is none. The designators' arguments are skipped: an
// argument is a number, not a mode.
static int controlBlockStart(const int* data, int dataEnd) {
  for (int p = 1; p < dataEnd; p++) {
    if (data[p] == kMacroControlBlock) return p;
    if (isEciDesignator(data[p])) p = eciDesignatorEnd(data, p, dataEnd) - 1;
  }
  return dataEnd;
}

static bool holdsReaderInit(const int* data, int dataEnd) {
  for (int p = 1; p < dataEnd; p++)
    if (data[p] == kReaderInit) return true;
  return false;
}

int decodeMessage(const int* codewords, int count, DecodedMessage* message) {
  message->length = 0;
  message->bytes[0] = 0;
  message->ecis.count = 0;
  message->readerInit = 0;
  message->macro.present = 0;
  if (!codewords || count < 1) return kMessageCut;
  if (count > kCodewordBufferSize) count = kCodewordBufferSize;
  int data[kCodewordBufferSize];
  std::memcpy(data, codewords, sizeof(int) * (size_t)count);
  int dataEnd = data[0] < count ? data[0] : count;
  // The control block describes the message; it is not part of it.
  int blockStart = controlBlockStart(data, dataEnd);
  if (blockStart < dataEnd) {
    readMacroBlock(data, blockStart, dataEnd, &message->macro);
    data[0] = blockStart;
  }
  message->readerInit = holdsReaderInit(data, blockStart);
  KeptBytes kept;
  kept.ecis = &message->ecis;
  char* walked = decodeDataCodewords(data, count, message->bytes, &kept);
  message->length = kept.count;
  if (!eciNumbersValid(message->ecis)) return kMessageInvalid;
  return walked ? kMessageWhole : kMessageCut;
}
