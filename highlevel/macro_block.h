// The Macro PDF417 control block: from codeword 928 to the end of the data,
// it says which segment of a message spread over several symbols this
// symbol holds.
//
//   928 [segment index: 2 numeric-compacted codewords, 5 digits]
//       [file id: codewords up to the next 923 or 922]
//       923 k [field k: codewords up to the next 923 or 922] ...
//       922 (this is the last segment)
//
// Fields 0 (file name), 3 (sender) and 4 (addressee) are text compacted;
// 1 (segment count), 2 (time stamp), 5 (file size) and 6 (checksum) are
// numeric compacted.
#ifndef PDF417_HIGHLEVEL_MACRO_BLOCK_H
#define PDF417_HIGHLEVEL_MACRO_BLOCK_H

#include "highlevel/data_walk.h"

namespace pdf417read::detail {

enum MacroField {
  kMacroFileName,
  kMacroSegmentCount,
  kMacroTimestamp,
  kMacroSender,
  kMacroAddressee,
  kMacroFileSize,
  kMacroChecksum,
  kMacroFieldCount
};

struct MacroText {
  int present;
  int length;
  char bytes[kTextBufferSize];
};

struct MacroBlock {
  int present;     // the data holds a 928
  int readable;    // the segment index could be read
  int segmentIndex;
  int lastSegment;  // a 922 ends the block
  MacroText fileId;  // each file id codeword as three decimal digits
  // Text fields as their bytes; numeric fields as their digits.
  MacroText fields[kMacroFieldCount];
  int unknownFields;  // optional fields with a number above 6, skipped
};

// Reads the control block that starts with the 928 at blockStart and runs to
// dataEnd. Returns 1 when its segment index was read; 0 when the block is
// not readable (block->readable is then 0 too).
int readMacroBlock(const int* codewords, int blockStart, int dataEnd, MacroBlock* block);

// A numeric field's digits as a number: 1 and *value when there are 1 to 18
// digits and nothing else, 0 otherwise.
int macroFieldNumber(const MacroText* field, long long* value);

}  // namespace pdf417read::detail

#endif
