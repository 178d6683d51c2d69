#include "document/gs1_elements.h"

#include "document/document_values.h"

namespace pdf417read::detail {

namespace {

// The number of digits of the AIs that begin with two digits; 0 where GS1
// defines none.
int aiLength(int prefix) {
  if (prefix <= 2 || (prefix >= 10 && prefix <= 22) || prefix == 30 || prefix == 37 || prefix >= 90) return 2;
  if ((prefix >= 23 && prefix <= 25) || (prefix >= 40 && prefix <= 42) || prefix == 71) return 3;
  if ((prefix >= 31 && prefix <= 36) || prefix == 39 || prefix == 43 || prefix == 70 || prefix == 72 ||
      (prefix >= 80 && prefix <= 82))
    return 4;
  return 0;
}

// The whole length (AI and data) of the elements whose length GS1 fixes by
// their first two digits, which therefore need no separator after them; 0
// for the others.
int predefinedLength(int prefix) {
  static const int kLengths[][2] = {{0, 20},  {1, 16},  {2, 16},  {3, 16},  {4, 18},  {11, 8}, {12, 8}, {13, 8},
                                    {14, 8},  {15, 8},  {16, 8},  {17, 8},  {18, 8},  {19, 8}, {20, 4}, {31, 10},
                                    {32, 10}, {33, 10}, {34, 10}, {35, 10}, {36, 10}, {41, 16}};
  for (const auto& entry : kLengths)
    if (entry[0] == prefix) return entry[1];
  return 0;
}

}  // namespace

std::vector<Gs1Element> gs1Elements(const std::string& piece) {
  std::vector<Gs1Element> elements;
  size_t at = 0;
  while (at < piece.size()) {
    int prefix = digitsAt(piece, at, 2) ? (int)decimalValue(piece.substr(at, 2)) : -1;
    size_t length = prefix < 0 ? 0 : (size_t)aiLength(prefix);
    if (length == 0 || !digitsAt(piece, at, length)) {
      elements.push_back({"", piece.substr(at)});
      break;
    }
    size_t whole = (size_t)predefinedLength(prefix);
    size_t end = whole > 0 && piece.size() - at > whole ? at + whole : piece.size();
    elements.push_back({piece.substr(at, length), piece.substr(at + length, end - at - length)});
    at = end;
  }
  return elements;
}

}  // namespace pdf417read::detail
