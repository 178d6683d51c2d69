#include "highlevel/numeric_compaction.h"

#include <cstdlib>
#include <cstring>

#include "highlevel/eci_designator.h"
#include "highlevel/mode_codewords.h"
#include "runtime/trace.h"

namespace pdf417read::detail {

const char powersOf900[16][kDecimalWidth + 1] = {
    "000000000000000000000000000000000000000000001",
    "000000000000000000000000000000000000000000900",
    "000000000000000000000000000000000000000810000",
    "000000000000000000000000000000000000729000000",
    "000000000000000000000000000000000656100000000",
    "000000000000000000000000000000590490000000000",
    "000000000000000000000000000531441000000000000",
    "000000000000000000000000478296900000000000000",
    "000000000000000000000430467210000000000000000",
    "000000000000000000387420489000000000000000000",
    "000000000000000348678440100000000000000000000",
    "000000000000313810596090000000000000000000000",
    "000000000282429536481000000000000000000000000",
    "000000254186582832900000000000000000000000000",
    "000228767924549610000000000000000000000000000",
    "205891132094649000000000000000000000000000000",
};

static char* zeroString(int length) {
  char* digits = (char*)malloc(length + 1);
  if (!digits) return nullptr;
  memset(digits, '0', length);
  digits[length] = 0;
  return digits;
}

static int threeDigits(const char* digits) {
  return (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
}

char* add(const char* a, const char* b) {
  int length = (int)strlen(a);
  char* sum = zeroString(length);
  if (!sum) {
    trace(" add alloc error\n");
    return nullptr;
  }
  int carry = 0;
  for (int i = length - 3; i >= 0; i -= 3) {
    int chunk = threeDigits(a + i) + threeDigits(b + i) + carry;
    sum[i] = (char)('0' + chunk / 100 % 10);
    sum[i + 1] = (char)('0' + chunk / 10 % 10);
    sum[i + 2] = (char)('0' + chunk % 10);
    carry = chunk / 1000;
  }
  return sum;
}

// accumulator += addend, times times over. False when memory ran out.
static bool addRepeatedly(char* accumulator, const char* addend, int times) {
  for (int k = 0; k < times; k++) {
    char* sum = add(accumulator, addend);
    if (!sum) return false;
    memcpy(accumulator, sum, strlen(accumulator));
    free(sum);
  }
  return true;
}

// value moved left by places decimal places within its width.
static void shiftLeft(const char* value, int length, int places, char* shifted) {
  for (int i = 0; i < length; i++) shifted[i] = i + places < length ? value[i + places] : '0';
  shifted[length] = 0;
}

char* multiply(const char* value, int codeword) {
  int length = (int)strlen(value);
  char* product = zeroString(length);
  char* shifted = zeroString(length);
  if (!product || !shifted) {
    free(product);
    free(shifted);
    trace(" multiply alloc error\n");
    return nullptr;
  }
  // Repeated addition, one decimal digit of the codeword at a time.
  bool done = addRepeatedly(product, value, codeword % 10);
  shiftLeft(value, length, 1, shifted);
  done = done && addRepeatedly(product, shifted, codeword / 10 % 10);
  shiftLeft(value, length, 2, shifted);
  done = done && addRepeatedly(product, shifted, codeword / 100);
  free(shifted);
  if (!done) {
    free(product);
    return nullptr;
  }
  return product;
}

// The sum of group[i] * 900^(count-1-i), or null when memory ran out.
static char* groupValue(const int* group, int count) {
  char* sum = nullptr;
  for (int i = 0; i < count; i++) {
    char* product = multiply(powersOf900[count - 1 - i], group[i]);
    if (!product) {
      free(sum);
      return nullptr;
    }
    if (!sum) {
      sum = product;
      continue;
    }
    char* newSum = add(sum, product);
    free(sum);
    free(product);
    if (!newSum) return nullptr;
    sum = newSum;
  }
  return sum;
}

char* decodeBase900toBase10(const int* group, int count) {
  char* sum = count >= 1 && count <= kMaxNumericGroup ? groupValue(group, count) : zeroString(0);
  if (!sum) return nullptr;
  // Everything after the leading 1; a sum without a 1 has no digits.
  const char* leadingOne = strchr(sum, '1');
  const char* digits = leadingOne ? leadingOne + 1 : "";
  char* result = (char*)malloc(strlen(digits) + 1);
  if (result) strcpy(result, digits);
  else trace(" decodeBase900toBase10 alloc error\n");
  free(sum);
  return result;
}

struct NumericGroup {
  int codewords[kMaxNumericGroup];
  int count;
  bool erased;  // an erased codeword makes the group's digits unknown
};

static void closeGroup(NumericGroup* group, DataWalk* walk) {
  if (group->count > 0 && !group->erased) {
    char* digits = decodeBase900toBase10(group->codewords, group->count);
    if (digits) appendText(walk, digits);
    free(digits);
  }
  group->count = 0;
  group->erased = false;
}

static bool endsNumericSegment(int codeword) {
  return codeword == kTextLatch || codeword == kByteLatch || codeword == kMacroTerminator ||
         codeword == kMacroOptionalField || codeword == kByteLatchSix || codeword == kMacroControlBlock;
}

int decodeNumericSegment(const int* codewords, int position, int dataEnd, DataWalk* walk) {
  NumericGroup group = {{0}, 0, false};
  bool ended = false;
  while (position < dataEnd && !ended) {
    int codeword = codewords[position];
    if (isEciDesignator(codeword)) {
      markEci(walk, eciDesignatorValue(codewords, position, dataEnd));
      position = eciDesignatorEnd(codewords, position, dataEnd);
      ended = position == dataEnd;
      if (ended) closeGroup(&group, walk);
      continue;
    }
    position++;
    ended = position == dataEnd;
    if (codeword < kFirstModeCodeword) {
      group.codewords[group.count++] = codeword;
      if (codeword < 0) group.erased = true;
    } else if (endsNumericSegment(codeword)) {
      ended = true;
      position--;
    } else if (codeword != kNumericLatch) {
      meetControlCodeword(walk, codewords, position - 1, dataEnd);
    }
    // 902 closes the group and the segment goes on with a new one.
    if (group.count == kMaxNumericGroup || codeword == kNumericLatch || ended) closeGroup(&group, walk);
  }
  return position;
}

}  // namespace pdf417read::detail
