// Codeword streams with ECI designators of any number through the message
// decoder and the character set conversion; the text must come out as
// valid UTF-8 within its bound.
// Input: 16-bit words. A word with its top two bits set is a designator
// (927, 926 or 925 by its next bits) whose arguments come from the word;
// any other word is a codeword folded to -1..928.
#include <cstdlib>

#include "codeword/codeword_buffer.h"
#include "fuzz_input.h"
#include "highlevel/eci_text.h"
#include "highlevel/data_decoder.h"
#include "highlevel/mode_codewords.h"

using namespace pdf417read::detail;

namespace {

// A symbol holds at most 928 codewords, length descriptor and checks included.
const int kMaxFuzzCodewords = 920;

int appendWord(int word, int* codewords, int count) {
  if ((word & 0xC000) != 0xC000) {
    codewords[count++] = word % 930 - 1;
    return count;
  }
  int kind = (word >> 12) & 3;
  int argument = word & 0xFFF;
  if (kind == 0 && count + 3 <= kCodewordBufferSize) {
    codewords[count++] = kEciUserDefined;
    codewords[count++] = argument / 900 % 900;
    codewords[count++] = argument % 900;
  } else if (count + 2 <= kCodewordBufferSize) {
    codewords[count++] = kind == 1 ? kEciGeneralPurpose : kEciCharacterSet;
    // Mostly the ECIs the reader knows, sometimes any codeword at all.
    codewords[count++] = kind == 2 ? argument % 40 : argument % 931 - 1;
  }
  return count;
}

// Length of the UTF-8 sequence at text, or 0 when it is not valid.
int sequenceLength(const unsigned char* text, int left) {
  unsigned char c = text[0];
  int length = c < 0x80                ? 1
               : c >= 0xC2 && c < 0xE0 ? 2
               : c >= 0xE0 && c < 0xF0 ? 3
               : c >= 0xF0 && c < 0xF5 ? 4
                                       : 0;
  if (length == 0 || length > left) return 0;
  for (int i = 1; i < length; i++)
    if ((text[i] & 0xC0) != 0x80) return 0;
  return length;
}

void expectUtf8(const char* text, int length) {
  const unsigned char* bytes = (const unsigned char*)text;
  for (int i = 0; i < length;) {
    int step = sequenceLength(bytes + i, length - i);
    if (step == 0) std::abort();
    i += step;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  static int codewords[kCodewordBufferSize];
  int count = 1;
  while (in.size > 0 && count < kMaxFuzzCodewords) count = appendWord(takeU16(&in), codewords, count);
  codewords[0] = count;
  // Two check codewords after the data, as in any symbol.
  codewords[count] = codewords[count + 1] = 0;
  static DecodedMessage message;
  if (decodeDataCodewords(codewords, count + 2, &message) == kMessageInvalid) return 0;
  static char text[4 * kTextBufferSize + 4];
  int length = 0;
  int start = 0;
  const char* charset = "ISO-8859-1";
  for (int i = 0; i <= message.ecis.count; i++) {
    int end = i < message.ecis.count ? message.ecis.marks[i].position : message.length;
    if (end < start || end > message.length) std::abort();
    appendAsUtf8(charset, message.bytes + start, end - start, text, utf8Capacity(message.length), &length);
    if (i < message.ecis.count) {
      charset = eciCharsetName(message.ecis.marks[i].eci);
      if (!charset) charset = "ISO-8859-1";
    }
    start = end;
  }
  if (length > utf8Capacity(message.length)) std::abort();
  expectUtf8(text, length);
  return 0;
}
