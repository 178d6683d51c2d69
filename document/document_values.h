// Helpers the document parsers share: reading fixed-width pieces of a
// record safely, texts for output, summary values and calendar dates.
#ifndef PDF417_DOCUMENT_DOCUMENT_VALUES_H
#define PDF417_DOCUMENT_DOCUMENT_VALUES_H

#include <pdf417read/pdf417read.h>

#include <optional>
#include <string>

namespace pdf417read::detail {

// True when `text` stands at `at`.
bool textAt(const std::string& bytes, size_t at, const std::string& text);

// True when the `count` bytes at `at` exist and are all decimal digits.
bool digitsAt(const std::string& bytes, size_t at, size_t count);

// The value of decimal digits; -1 when `text` is empty or holds another byte.
long long decimalValue(const std::string& text);

// The value of hexadecimal digits (either case); -1 when `text` is empty or
// holds another byte.
long long hexValue(const std::string& text);

// Without spaces at the end / at both ends.
std::string trimEnd(const std::string& text);
std::string trimBoth(const std::string& text);

// A record's bytes as UTF-8 text: as they are when they already are UTF-8,
// else each byte taken as ISO-8859-1.
std::string textOf(const std::string& bytes);

// A byte for a warning: "'x'" when printable, else "0x1C".
std::string byteName(unsigned char byte);

// Summary values.
pdf417read::SummaryValue nullValue();
pdf417read::SummaryValue textValue(const std::string& bytes);  // null when empty
pdf417read::SummaryValue numberValue(long long number);
pdf417read::SummaryValue boolValue(bool flag);
pdf417read::SummaryValue optionalText(const std::optional<std::string>& bytes);

// "YYYY-MM-DD" of a date that exists in the Gregorian calendar, else none.
std::optional<std::string> calendarDate(int year, int month, int day);

}  // namespace pdf417read::detail

#endif
