#include <gtest/gtest.h>

#include <vector>

#include "codeword/pattern_table.h"

using namespace pdf417read::detail;

// Element widths (bar first) of a 17-bit key, read from bit 16 down.
static std::vector<int> elementWidths(int key) {
  std::vector<int> widths;
  int previous = -1;
  for (int bit = 16; bit >= 0; bit--) {
    int module = (key >> bit) & 1;
    if (module == previous)
      widths.back()++;
    else
      widths.push_back(1);
    previous = module;
  }
  return widths;
}

// A key from element widths, bar first.
static int keyFromWidths(const std::vector<int>& widths) {
  int key = 0;
  for (size_t e = 0; e < widths.size(); e++)
    for (int m = 0; m < widths[e]; m++) key = (key << 1) | (e % 2 == 0 ? 1 : 0);
  return key;
}

TEST(PatternTable, TellingRowsHoldTheirValues) {
  struct Row {
    int key;
    std::vector<int> widths;
    int value;
    int codeword;
  };
  const Row rows[] = {
      {0x1025e, {1, 6, 1, 2, 1, 1, 4, 1}, 2627, 768}, {0x1027a, {1, 6, 1, 2, 4, 1, 1, 1}, 1819, 889},
      {0x1fbda, {6, 1, 4, 1, 2, 1, 1, 1}, 1700, 770}, {0x1d5c0, {3, 1, 1, 1, 1, 1, 3, 6}, 1, 0},
      {0x1eaf0, {4, 1, 1, 1, 1, 1, 4, 4}, 2, 1},      {0x1f560, {5, 1, 1, 1, 1, 1, 2, 5}, 930, 0},
      {0x1abe0, {2, 1, 1, 1, 1, 1, 5, 5}, 1859, 0},   {0x1c7ea, {3, 3, 6, 1, 1, 1, 1, 1}, 2787, 928},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key);
    EXPECT_EQ(keyFromWidths(row.widths), row.key);
    int index = findPatternIndex(row.key);
    ASSERT_GE(index, 0);
    EXPECT_EQ(codewordPatternKeys[index], row.key);
    EXPECT_EQ(codewordPatternValues[index], row.value);
    EXPECT_EQ(lookupCodeword(row.key), row.codeword);
  }
  EXPECT_EQ(findPatternIndex(0x1025e), 0);
  EXPECT_EQ(findPatternIndex(0x1027a), 1);
  EXPECT_EQ(findPatternIndex(0x1fbda), kPatternTableSize - 1);
}

// Every row is a well-formed PDF417 pattern of the cluster its value names,
// the keys ascend strictly and each value 1..2787 occurs once.
TEST(PatternTable, EveryRowIsAPatternOfItsCluster) {
  std::vector<int> seen(kPatternTableSize + 1, 0);
  for (int i = 0; i < kPatternTableSize; i++) {
    int key = codewordPatternKeys[i];
    int value = codewordPatternValues[i];
    SCOPED_TRACE(i);
    if (i > 0) {
      EXPECT_LT(codewordPatternKeys[i - 1], key);
    }
    ASSERT_GE(value, 1);
    ASSERT_LE(value, kPatternTableSize);
    seen[value]++;
    ASSERT_TRUE(key >= 0x10000 && key <= 0x1ffff && (key & 1) == 0);
    std::vector<int> e = elementWidths(key);
    ASSERT_EQ(e.size(), 8u);
    for (int w : e) EXPECT_LE(w, 6);
    int cluster = (e[0] - e[2] + e[4] - e[6] + 9) % 9;
    EXPECT_EQ(cluster, 3 * ((value - 1) / 929));
    EXPECT_EQ(findPatternIndex(key), i);
  }
  for (int v = 1; v <= kPatternTableSize; v++) EXPECT_EQ(seen[v], 1) << v;
}

TEST(PatternTable, LookupUsesTheLow18BitsOnly) {
  EXPECT_EQ(lookupCodeword(0x1d5c0 | 0x40000), 0);
  EXPECT_EQ(lookupCodeword(0x1c7ea | 0x7ff00000), 928);
  EXPECT_EQ(lookupCodeword(0x1c7ea | (int)0x80000000u), 928);
  // Bit 17 is kept, and no key has it.
  EXPECT_EQ(lookupCodeword(0x1d5c0 | 0x20000), -1);
}

TEST(PatternTable, PatternsOutsideTheTableYieldNoCodeword) {
  EXPECT_EQ(keyFromWidths({8, 1, 1, 1, 1, 1, 1, 3}), 0x1fea8);
  EXPECT_EQ(lookupCodeword(0x1fea8), -1);                                   // start pattern
  EXPECT_EQ(lookupCodeword(keyFromWidths({7, 1, 1, 3, 1, 1, 1, 2})), -1);  // stop pattern head
  EXPECT_EQ(lookupCodeword(keyFromWidths({1, 7, 1, 1, 1, 1, 4, 1})), -1);  // element of 7
  EXPECT_EQ(lookupCodeword(0), -1);
  EXPECT_EQ(findPatternIndex(0x1025e - 2), -1);  // below the first key
  EXPECT_EQ(findPatternIndex(0x1fbda + 2), -1);  // above the last key
  EXPECT_EQ(findPatternIndex(-1), -1);
}
