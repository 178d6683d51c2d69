// The message a symbol carries, decoded from its corrected codewords for
// callers that want the bytes themselves: every byte is kept, zero bytes
// included, nothing is traced, and the ECI designators, the reader
// initialisation flag and a Macro PDF417 control block (from codeword 928
// on) are reported beside the message rather than in it.
#ifndef PDF417_HIGHLEVEL_MESSAGE_DECODER_H
#define PDF417_HIGHLEVEL_MESSAGE_DECODER_H

#include "highlevel/data_decoder.h"
#include "highlevel/macro_block.h"
#include "highlevel/text_buffer.h"

struct DecodedMessage {
  char bytes[kTextBufferSize];
  int length;
  EciMarks ecis;    // where each ECI's bytes start, in order
  int readerInit;   // a 921 was met
  MacroBlock macro;  // macro.present: the symbol holds a control block
};

enum MessageOutcome {
  kMessageInvalid = -1,  // a designator names no ECI from 0 to 999999
  kMessageCut = 0,       // decoding stopped early; the bytes so far are kept
  kMessageWhole = 1,     // the data was walked to its end
};

// codewords: count corrected codewords, the length descriptor first.
// Returns a MessageOutcome.
int decodeMessage(const int* codewords, int count, DecodedMessage* message);

#endif
