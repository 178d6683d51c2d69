#include "highlevel/eci_designator.h"

#include "highlevel/mode_codewords.h"

namespace pdf417read::detail {

bool isEciDesignator(int codeword) {
  return codeword == kEciGeneralPurpose || codeword == kEciUserDefined || codeword == kEciCharacterSet;
}

static int argumentCount(int designator) { return designator == kEciUserDefined ? 2 : 1; }

int eciDesignatorEnd(const int* codewords, int position, int dataEnd) {
  int end = position + 1 + argumentCount(codewords[position]);
  return end < dataEnd ? end : dataEnd;
}

static bool isData(int codeword) { return codeword >= 0 && codeword < kFirstModeCodeword; }

int eciDesignatorValue(const int* codewords, int position, int dataEnd) {
  int designator = codewords[position];
  if (position + argumentCount(designator) >= dataEnd) return -1;
  int first = codewords[position + 1];
  if (!isData(first)) return -1;
  if (designator == kEciCharacterSet) return first;
  if (designator == kEciGeneralPurpose) return 810900 + first;
  int second = codewords[position + 2];
  if (!isData(second)) return -1;
  return 900 * (first + 1) + second;
}

}  // namespace pdf417read::detail
