// Turns corrected data codewords into the message they carry, in one walk:
// mode dispatch and the text, byte and numeric compaction decoders. The
// walk keeps every byte, zero bytes included; reports the ECI designators,
// the reader initialisation flag and a Macro PDF417 control block (from
// codeword 928 on) beside the message rather than in it; and, when traced,
// prints the trace lines of byte compaction (highlevel/walk_trace.h).
#ifndef PDF417_HIGHLEVEL_DATA_DECODER_H
#define PDF417_HIGHLEVEL_DATA_DECODER_H

#include "highlevel/data_walk.h"
#include "highlevel/macro_block.h"

namespace pdf417read::detail {

struct DecodedMessage {
  char bytes[kTextBufferSize];
  int length;
  EciMarks ecis;     // where each ECI's bytes start, in order
  int readerInit;    // a 921 was met before the control block
  MacroBlock macro;  // macro.present: the symbol holds a control block
  int outcome;       // a MessageOutcome
};

enum MessageOutcome {
  kMessageInvalid = -1,  // a designator names no ECI from 0 to 999999
  kMessageCut = 0,       // decoding stopped early; the bytes so far are kept
  kMessageWhole = 1,     // the data was walked to its end
};

// codewords: a codeword buffer whose entry 0 is the length descriptor;
// totalCodewords: how many codewords were read (none beyond them is read).
// With traced, the walk prints its trace lines and traced holds the text
// as the trace showed it. Returns message->outcome.
int decodeDataCodewords(const int* codewords, int totalCodewords, DecodedMessage* message,
                        TracedText* traced = nullptr);

// The walk itself, for a walk set up by startWalk. Returns 1 when the
// message was walked to its end (or to its control block), 0 when decoding
// stopped early.
int walkDataCodewords(const int* codewords, int totalCodewords, DataWalk* walk);

}  // namespace pdf417read::detail

#endif
