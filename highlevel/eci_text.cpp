#include "highlevel/eci_text.h"

#include <errno.h>
#include <iconv.h>

#include <cstdlib>
#include <cstring>

namespace pdf417read::detail {

namespace {

struct EciCharset {
  int eci;
  const char* name;
};

const EciCharset kCharsets[] = {
    {0, "CP437"},        {1, "ISO-8859-1"},   {2, "CP437"},        {3, "ISO-8859-1"},
    {4, "ISO-8859-2"},   {5, "ISO-8859-3"},   {6, "ISO-8859-4"},   {7, "ISO-8859-5"},
    {8, "ISO-8859-6"},   {9, "ISO-8859-7"},   {10, "ISO-8859-8"},  {11, "ISO-8859-9"},
    {12, "ISO-8859-10"}, {13, "ISO-8859-11"}, {15, "ISO-8859-13"}, {16, "ISO-8859-14"},
    {17, "ISO-8859-15"}, {18, "ISO-8859-16"}, {20, "SHIFT_JIS"},   {21, "CP1250"},
    {22, "CP1251"},      {23, "CP1252"},      {24, "CP1256"},      {25, "UTF-16BE"},
    {26, "UTF-8"},       {27, "ASCII"},       {28, "BIG5"},        {29, "GB18030"},
    {30, "EUC-KR"},      {31, "GBK"},         {32, "GB18030"},     {33, "UTF-16LE"},
    {34, "UTF-32BE"},    {35, "UTF-32LE"},    {170, "ASCII"},      {kEciBinary, "binary"},
};

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

void appendRaw(const char* bytes, int count, char* out, int capacity, int* length) {
  if (count > capacity - *length) count = capacity - *length;
  if (count <= 0) return;
  std::memcpy(out + *length, bytes, (size_t)count);
  *length += count;
}

void appendLatin1(const char* bytes, int count, char* out, int capacity, int* length) {
  for (int i = 0; i < count; i++) {
    unsigned char c = (unsigned char)bytes[i];
    char utf8[2] = {(char)(0xC0 | (c >> 6)), (char)(0x80 | (c & 0x3F))};
    if (c < 0x80)
      appendRaw(bytes + i, 1, out, capacity, length);
    else
      appendRaw(utf8, 2, out, capacity, length);
  }
}

// The length of the well-formed UTF-8 sequence at text (no overlong form,
// no surrogate, nothing above U+10FFFF), or 0.
int validSequenceLength(const unsigned char* text, int left) {
  unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  int length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
  if (length == 0 || length > left) return 0;
  unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (text[1] < low || text[1] > high) return 0;
  for (int i = 2; i < length; i++)
    if ((text[i] & 0xC0) != 0x80) return 0;
  return length;
}

// The bytes of a sequence that is not well formed: a lead byte and the
// continuation bytes after it, or one stray byte.
int invalidSequenceLength(const unsigned char* text, int left) {
  int length = 1;
  if (text[0] >= 0xC0)
    while (length < left && length < 6 && (text[length] & 0xC0) == 0x80) length++;
  return length;
}

// Appends text as UTF-8 with every sequence that is not well formed
// replaced by U+FFFD. The C library's converter lets code points above
// U+10FFFF through; this is where they stop.
void appendWellFormed(const char* text, int count, char* out, int capacity, int* length) {
  const unsigned char* bytes = (const unsigned char*)text;
  for (int i = 0; i < count;) {
    int valid = validSequenceLength(bytes + i, count - i);
    if (valid > 0) {
      appendRaw(text + i, valid, out, capacity, length);
      i += valid;
    } else {
      appendRaw(kReplacement, 3, out, capacity, length);
      i += invalidSequenceLength(bytes + i, count - i);
    }
  }
}

// Bytes per code unit: after an invalid sequence, conversion resumes on the
// next unit so that a wide encoding stays aligned.
size_t unitSize(const char* charset) {
  if (!std::strncmp(charset, "UTF-16", 6)) return 2;
  if (!std::strncmp(charset, "UTF-32", 6)) return 4;
  return 1;
}

void convert(iconv_t converter, size_t unit, const char* bytes, int count, char* out, int capacity,
             int* length) {
  char* in = const_cast<char*>(bytes);
  size_t inLeft = (size_t)count;
  while (inLeft > 0) {
    char* to = out + *length;
    size_t toLeft = (size_t)(capacity - *length);
    size_t done = iconv(converter, &in, &inLeft, &to, &toLeft);
    *length = (int)(to - out);
    if (done != (size_t)-1) break;
    if (errno == E2BIG) return;
    appendRaw(kReplacement, 3, out, capacity, length);
    if (errno != EILSEQ) return;  // cut short at the end
    size_t skip = unit < inLeft ? unit : inLeft;
    in += skip;
    inLeft -= skip;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  // Stateful sets may owe a closing sequence.
  char* to = out + *length;
  size_t toLeft = (size_t)(capacity - *length);
  iconv(converter, nullptr, nullptr, &to, &toLeft);
  *length = (int)(to - out);
}

}  // namespace

const char* eciCharsetName(int eci) {
  for (const EciCharset& charset : kCharsets)
    if (charset.eci == eci) return charset.name;
  return nullptr;
}

int appendAsUtf8(const char* charset, const char* bytes, int count, char* out, int capacity, int* length) {
  if (count <= 0) return 1;
  if (!std::strcmp(charset, "ISO-8859-1") || !std::strcmp(charset, "binary")) {
    appendLatin1(bytes, count, out, capacity, length);
    return 1;
  }
  if (!std::strcmp(charset, "UTF-8")) {
    appendWellFormed(bytes, count, out, capacity, length);
    return 1;
  }
  // A converter per call: iconv descriptors carry state and are not shared.
  iconv_t converter = iconv_open("UTF-8", charset);
  if (converter == (iconv_t)-1) return 0;
  int scratchCapacity = utf8Capacity(count);
  char* scratch = (char*)std::malloc((size_t)scratchCapacity);
  int converted = 0;
  if (scratch) convert(converter, unitSize(charset), bytes, count, scratch, scratchCapacity, &converted);
  iconv_close(converter);
  appendWellFormed(scratch, converted, out, capacity, length);
  std::free(scratch);
  return 1;
}

}  // namespace pdf417read::detail
