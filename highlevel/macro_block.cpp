#include "highlevel/macro_block.h"

#include <cstdlib>
#include <cstring>

#include "codeword/codeword_buffer.h"
#include "highlevel/data_decoder.h"
#include "highlevel/mode_codewords.h"
#include "highlevel/numeric_compaction.h"

namespace pdf417read::detail {

static bool isData(int codeword) { return codeword >= 0 && codeword < kFirstModeCodeword; }

static bool endsMacroPart(int codeword) {
  return codeword == kMacroOptionalField || codeword == kMacroTerminator;
}

// The first position from position on that ends a part of the block.
static int partEnd(const int* codewords, int position, int dataEnd) {
  while (position < dataEnd && !endsMacroPart(codewords[position])) position++;
  return position;
}

static bool isNumericField(int field) {
  return field == kMacroSegmentCount || field == kMacroTimestamp || field == kMacroFileSize ||
         field == kMacroChecksum;
}

// The codewords from start to end decoded as a message of their own that
// starts in text compaction, or in numeric compaction for a numeric field.
static void decodeField(const int* codewords, int start, int end, int field, MacroText* out) {
  int data[kCodewordBufferSize];
  int count = 1;
  if (isNumericField(field)) data[count++] = kNumericLatch;
  for (int p = start; p < end && count < kCodewordBufferSize; p++) data[count++] = codewords[p];
  data[0] = count;
  // A field's own walk: no designators recorded, no control block within.
  DataWalk walk = startWalk(out->bytes, nullptr, nullptr, nullptr);
  walkDataCodewords(data, count, &walk);
  out->length = walk.length;
  out->present = 1;
}

static void appendThreeDigits(MacroText* text, int codeword) {
  if (text->length + 3 >= kTextBufferSize) return;
  text->bytes[text->length++] = (char)('0' + codeword / 100);
  text->bytes[text->length++] = (char)('0' + codeword / 10 % 10);
  text->bytes[text->length++] = (char)('0' + codeword % 10);
  text->bytes[text->length] = 0;
}

// 1 to 18 decimal digits and nothing else, so that the value fits.
static bool parseDigits(const char* digits, int length, long long* value) {
  if (length < 1 || length > 18) return false;
  long long number = 0;
  for (int i = 0; i < length; i++) {
    if (digits[i] < '0' || digits[i] > '9') return false;
    number = number * 10 + (digits[i] - '0');
  }
  *value = number;
  return true;
}

static bool readSegmentIndex(const int* codewords, int position, int dataEnd, int* index) {
  if (position + 1 >= dataEnd || !isData(codewords[position]) || !isData(codewords[position + 1]))
    return false;
  char* digits = decodeBase900toBase10(codewords + position, 2);
  long long value = 0;
  bool read = digits && parseDigits(digits, (int)std::strlen(digits), &value);
  std::free(digits);
  if (read) *index = (int)value;
  return read;
}

int readMacroBlock(const int* codewords, int blockStart, int dataEnd, MacroBlock* block) {
  std::memset(block, 0, sizeof *block);
  block->present = 1;
  int position = blockStart + 1;
  if (!readSegmentIndex(codewords, position, dataEnd, &block->segmentIndex)) return 0;
  block->readable = 1;
  position += 2;
  block->fileId.present = 1;
  for (; position < dataEnd && !endsMacroPart(codewords[position]); position++)
    if (isData(codewords[position])) appendThreeDigits(&block->fileId, codewords[position]);
  while (position < dataEnd) {
    if (codewords[position] == kMacroTerminator) {
      block->lastSegment = 1;
      break;
    }
    // An optional field: 923, its number, its codewords.
    int field = position + 1 < dataEnd ? codewords[position + 1] : -1;
    int end = partEnd(codewords, position + 2 < dataEnd ? position + 2 : dataEnd, dataEnd);
    if (field >= 0 && field < kMacroFieldCount)
      decodeField(codewords, position + 2, end, field, &block->fields[field]);
    else
      block->unknownFields++;
    position = end;
  }
  return 1;
}

int macroFieldNumber(const MacroText* field, long long* value) {
  return field->present && parseDigits(field->bytes, field->length, value);
}

}  // namespace pdf417read::detail
