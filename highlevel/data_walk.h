// The state of one walk over the data codewords and what the segment
// decoders hand to it: the message's bytes, every one kept, zero bytes
// included; where each ECI designator met starts its part; the reader
// initialisation flag; and the Macro PDF417 control block, which ends the
// message. Every append is bounded: whatever the codewords say, nothing is
// written past the message's last byte.
//
// A traced walk also shows its text to the trace (highlevel/walk_trace.h);
// what the message holds is the same with and without it.
#ifndef PDF417_HIGHLEVEL_DATA_WALK_H
#define PDF417_HIGHLEVEL_DATA_WALK_H

namespace pdf417read::detail {

enum { kTextBufferSize = 3000 };

// Where each ECI designator met starts its part of the message: the number
// of bytes before it, and its ECI (-1: a designator whose arguments are
// missing or not data). A symbol's data holds at most 464 designators.
enum { kMaxEciMarks = 480 };
struct EciMark {
  int position;
  int eci;
};
struct EciMarks {
  int count;
  EciMark marks[kMaxEciMarks];
};

struct MacroBlock;
struct TracedText;

struct DataWalk {
  char* bytes;  // kTextBufferSize bytes; the message is bytes[0..length)
  int length;
  EciMarks* ecis;     // null: designators are stepped over unrecorded
  MacroBlock* macro;  // null: a 928 starts no control block (a Macro field's own walk)
  int readerInit;     // a 921 was met before the control block
  int blockStart;     // position of the control block's 928, 0 before one is met
  int closed;         // the walk has passed the control block's start: the
                      // message takes no more bytes and marks
  TracedText* traced;  // null: nothing is traced
};

// A walk that writes to bytes (kTextBufferSize bytes) from its start.
DataWalk startWalk(char* bytes, EciMarks* ecis, MacroBlock* macro, TracedText* traced);

// Appends count bytes (to the trace, up to the first zero byte).
void appendBytes(DataWalk* walk, const char* bytes, int count);

// Appends a string up to its NUL.
void appendText(DataWalk* walk, const char* piece);

// Appends one byte.
void appendChar(DataWalk* walk, int character);

// Records that the bytes from here on are in ECI eci. Returns the mark's
// index, or -1 when it was not recorded.
int markEci(DataWalk* walk, int eci);

// A codeword from 900 up that the walk met at position and that carries no
// data there: 921 sets the reader initialisation flag, the first 928 starts
// the control block, which is read at once. Returns true for that 928.
bool meetControlCodeword(DataWalk* walk, const int* codewords, int position, int dataEnd);

// The message ends here: what the walk decodes from now on, beyond the
// control block, only the trace sees.
void closeMessage(DataWalk* walk);

}  // namespace pdf417read::detail

#endif
