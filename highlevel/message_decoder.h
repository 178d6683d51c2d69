// The message a symbol carries, decoded from its corrected codewords for
// callers that want the bytes themselves: every byte is kept, zero bytes
// included, nothing is traced, and a Macro PDF417 control block (from
// codeword 928 on) is left out of the message.
#ifndef PDF417_HIGHLEVEL_MESSAGE_DECODER_H
#define PDF417_HIGHLEVEL_MESSAGE_DECODER_H

#include "highlevel/data_decoder.h"

struct DecodedMessage {
  char bytes[kTextBufferSize];
  int length;
};

// codewords: count corrected codewords, the length descriptor first.
// Returns 1 when the data was walked to its end, 0 when decoding stopped
// early (the bytes decoded so far are kept).
int decodeMessage(const int* codewords, int count, DecodedMessage* message);

#endif
