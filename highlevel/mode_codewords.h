// The codewords from 900 up that switch modes or carry control data rather
// than message data. Every data codeword is below kFirstModeCodeword.
#ifndef PDF417_HIGHLEVEL_MODE_CODEWORDS_H
#define PDF417_HIGHLEVEL_MODE_CODEWORDS_H

namespace pdf417read::detail {

enum ModeCodeword {
  kFirstModeCodeword = 900,
  kTextLatch = 900,
  kByteLatch = 901,         // byte compaction, any length
  kNumericLatch = 902,
  kByteShift = 913,         // the next codeword is one byte
  kReaderInit = 921,        // the symbol programs the reader
  kMacroTerminator = 922,   // last segment of a Macro PDF417 message
  kMacroOptionalField = 923,
  kByteLatchSix = 924,      // byte compaction, a multiple of six bytes
  kEciGeneralPurpose = 925,  // one codeword: ECI 810900 + n
  kEciUserDefined = 926,     // two codewords a b: ECI 900 (a + 1) + b
  kEciCharacterSet = 927,    // one codeword: ECI n
  kMacroControlBlock = 928,
};

}  // namespace pdf417read::detail

#endif
