// Macro PDF417 control blocks of any content through the message decoder:
// the data, then 928 and whatever follows it, with the numeric fields read
// as numbers.
// Input: the position of the 928 (16 bits), then codewords (16 bits each,
// folded to -1..928; words with their top bit set become 922 or 923 so that
// fields are frequent).
#include <cstdlib>

#include "codeword/codeword_buffer.h"
#include "fuzz_input.h"
#include "highlevel/data_decoder.h"
#include "highlevel/mode_codewords.h"

using namespace pdf417read::detail;

namespace {

const int kMaxFuzzCodewords = 920;

int codewordOf(int word) {
  if (word & 0x8000) return word & 1 ? kMacroTerminator : kMacroOptionalField;
  return word % 930 - 1;
}

void expectBounded(const MacroText& text) {
  if (text.present && (text.length < 0 || text.length >= kTextBufferSize)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  int blockAt = 1 + takeU16(&in) % 64;
  static int codewords[kCodewordBufferSize];
  int count = 1;
  for (; in.size > 0 && count < kMaxFuzzCodewords; count++)
    codewords[count] = count == blockAt ? kMacroControlBlock : codewordOf(takeU16(&in));
  codewords[0] = count;
  codewords[count] = codewords[count + 1] = 0;
  static DecodedMessage message;
  decodeDataCodewords(codewords, count + 2, &message);
  const MacroBlock& block = message.macro;
  if (!block.present) return 0;
  expectBounded(block.fileId);
  for (const MacroText& field : block.fields) {
    expectBounded(field);
    long long value = 0;
    if (macroFieldNumber(&field, &value) && value < 0) std::abort();
  }
  return 0;
}
