#include "highlevel/eci_text.h"

#include <errno.h>
#include <iconv.h>

#include <cstring>

namespace {

struct EciCharset {
  int eci;
  const char* name;
};

const EciCharset kCharsets[] = {
    {0, "CP437"},       {1, "ISO-8859-1"},  {2, "CP437"},        {3, "ISO-8859-1"},
    {4, "ISO-8859-2"},  {5, "ISO-8859-3"},  {6, "ISO-8859-4"},   {7, "ISO-8859-5"},
    {8, "ISO-8859-6"},  {9, "ISO-8859-7"},  {10, "ISO-8859-8"},  {11, "ISO-8859-9"},
    {12, "ISO-8859-10"}, {13, "ISO-8859-11"}, {15, "ISO-8859-13"}, {16, "ISO-8859-14"},
    {17, "ISO-8859-15"}, {18, "ISO-8859-16"}, {20, "SHIFT_JIS"},   {21, "CP1250"},
    {22, "CP1251"},     {23, "CP1252"},     {24, "CP1256"},      {25, "UTF-16BE"},
    {26, "UTF-8"},      {27, "ASCII"},      {28, "BIG5"},        {29, "GB18030"},
    {30, "EUC-KR"},     {31, "GBK"},        {32, "GB18030"},     {33, "UTF-16LE"},
    {34, "UTF-32BE"},   {35, "UTF-32LE"},   {170, "ASCII"},      {kEciBinary, "binary"},
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

int appendAsUtf8(const char* charset, const char* bytes, int count, char* out, int capacity,
                 int* length) {
  if (count <= 0) return 1;
  if (!std::strcmp(charset, "ISO-8859-1") || !std::strcmp(charset, "binary")) {
    appendLatin1(bytes, count, out, capacity, length);
    return 1;
  }
  // A converter per call: iconv descriptors carry state and are not shared.
  iconv_t converter = iconv_open("UTF-8", charset);
  if (converter == (iconv_t)-1) return 0;
  convert(converter, unitSize(charset), bytes, count, out, capacity, length);
  iconv_close(converter);
  return 1;
}
