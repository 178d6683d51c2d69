#include "document/document_values.h"

#include <cstdio>

namespace pdf417read::detail {

bool textAt(const std::string& bytes, size_t at, const std::string& text) {
  return at <= bytes.size() && bytes.size() - at >= text.size() && bytes.compare(at, text.size(), text) == 0;
}

bool digitsAt(const std::string& bytes, size_t at, size_t count) {
  if (at > bytes.size() || bytes.size() - at < count) return false;
  for (size_t k = at; k < at + count; k++)
    if (bytes[k] < '0' || bytes[k] > '9') return false;
  return true;
}

long long decimalValue(const std::string& text) {
  // Longer numbers than these records hold would overflow.
  if (text.empty() || text.size() > 15) return -1;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

long long hexValue(const std::string& text) {
  if (text.empty() || text.size() > 12) return -1;
  long long value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return -1;
    value = value * 16 + digit;
  }
  return value;
}

std::string trimEnd(const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string trimBoth(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(' ') + 1 - begin);
}

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when none starts there
// (overlong forms, surrogates and code points above U+10FFFF included).
size_t utf8SequenceAt(const std::string& bytes, size_t at) {
  unsigned char lead = (unsigned char)bytes[at];
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || bytes.size() - at < length) return 0;
  unsigned char second = (unsigned char)bytes[at + 1];
  unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high) return 0;
  for (size_t k = 2; k < length; k++)
    if (((unsigned char)bytes[at + k] & 0xC0) != 0x80) return 0;
  return length;
}

bool isUtf8(const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    size_t length = utf8SequenceAt(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace

std::string textOf(const std::string& bytes) {
  if (isUtf8(bytes)) return bytes;
  std::string text;
  text.reserve(bytes.size() * 2);
  for (char c : bytes) {
    unsigned char byte = (unsigned char)c;
    if (byte < 0x80) {
      text += c;
    } else {
      text += (char)(0xC0 | byte >> 6);
      text += (char)(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

std::string byteName(unsigned char byte) {
  char name[8];
  if (byte >= 0x21 && byte < 0x7F)
    std::snprintf(name, sizeof name, "'%c'", byte);
  else
    std::snprintf(name, sizeof name, "0x%02X", byte);
  return name;
}

pdf417read::SummaryValue nullValue() { return pdf417read::SummaryValue(); }

pdf417read::SummaryValue textValue(const std::string& bytes) {
  pdf417read::SummaryValue value;
  if (bytes.empty()) return value;
  value.kind = pdf417read::SummaryValue::Kind::Text;
  value.text = textOf(bytes);
  return value;
}

pdf417read::SummaryValue numberValue(long long number) {
  pdf417read::SummaryValue value;
  value.kind = pdf417read::SummaryValue::Kind::Number;
  value.number = number;
  return value;
}

pdf417read::SummaryValue boolValue(bool flag) {
  pdf417read::SummaryValue value;
  value.kind = pdf417read::SummaryValue::Kind::Bool;
  value.flag = flag;
  return value;
}

pdf417read::SummaryValue optionalText(const std::optional<std::string>& bytes) {
  return bytes ? textValue(*bytes) : nullValue();
}

std::optional<std::string> calendarDate(int year, int month, int day) {
  static const int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int days = kDaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > days) return std::nullopt;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return std::string(text);
}

}  // namespace pdf417read::detail
