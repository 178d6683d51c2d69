#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "codeword/row_reader.h"
#include "ecc/reed_solomon.h"
#include "support/codeword_symbols.h"
#include "support/symbol_pictures.h"
#include "support/trace_capture.h"

using namespace pdf417read::detail;

static int checkCount(int level) { return 2 << level; }

// A valid word with dataLength data codewords (entry 0 the length descriptor).
static std::vector<int> randomWord(std::mt19937& rng, int dataLength, int t) {
  std::uniform_int_distribution<int> value(0, 928);
  std::vector<int> data(dataLength);
  data[0] = dataLength;
  for (int i = 1; i < dataLength; i++) data[i] = value(rng);
  return encodeWord(data, t);
}

struct Decoded {
  int result;
  std::vector<int> word;
  std::vector<int> positions;
  std::string output;
};

// Calls rsDecode on a copy of word sized exactly n, so a sanitizer build
// catches any access past the word.
static Decoded decode(const std::vector<int>& word, const std::vector<int>& erasures, int t,
                      int debug = 0) {
  Decoded d;
  d.word = word;
  d.positions = erasures;
  d.positions.resize(std::max<size_t>(erasures.size(), std::max(1, std::min(t, 928))), -7);
  TraceCapture trace;
  d.result = rsDecode(d.word.data(), d.positions.data(), (int)erasures.size(), (int)word.size(),
                      t, debug);
  d.output = trace.text();
  return d;
}

struct Damage {
  std::vector<int> word;
  std::vector<int> erasures;  // indices, in random order
};

// errors distinct positions get a different value, then erasures more are
// marked -1 and listed.
static Damage damage(std::mt19937& rng, const std::vector<int>& word, int errors, int erasures) {
  Damage d{word, {}};
  std::vector<int> order(word.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = (int)i;
  std::shuffle(order.begin(), order.end(), rng);
  std::uniform_int_distribution<int> offset(1, 928);
  for (int e = 0; e < errors; e++) d.word[order[e]] = (word[order[e]] + offset(rng)) % 929;
  for (int s = 0; s < erasures; s++) {
    d.word[order[errors + s]] = -1;
    d.erasures.push_back(order[errors + s]);
  }
  return d;
}

static const char kErasureHeader[] = "\n Erasure positions as determined by roots of Eras Loc Poly:\n";

TEST(RsDecode, ValidWordsPassUntouchedAtEveryLevel) {
  std::mt19937 rng(1);
  for (int level = 0; level <= 8; level++) {
    int t = checkCount(level);
    for (int dataLength : {1, 2, 928 - t}) {
      std::vector<int> word = randomWord(rng, dataLength, t);
      Decoded d = decode(word, {}, t);
      EXPECT_EQ(d.result, 0) << "level " << level;
      EXPECT_EQ(d.word, word);
      EXPECT_EQ(d.output, "");
    }
  }
}

TEST(RsDecode, ErrorsAndErasuresWithinCapacityAreCorrectedAtEveryLevel) {
  std::mt19937 rng(2);
  for (int level = 0; level <= 8; level++) {
    int t = checkCount(level);
    std::uniform_int_distribution<int> dataLength(1, std::min(928 - t, 300));
    for (int trial = 0; trial < 24; trial++) {
      std::vector<int> word = randomWord(rng, dataLength(rng), t);
      // Sweep the mix: all errors, all erasures and everything between,
      // up to the full capacity 2e + s = t.
      int budget = trial % 3 == 0 ? t : std::max(0, t - 2 - trial % 2);
      int errors = std::uniform_int_distribution<int>(0, budget / 2)(rng);
      int erasures = std::min(budget - 2 * errors, (int)word.size() - errors);
      Damage damaged = damage(rng, word, errors, erasures);
      Decoded d = decode(damaged.word, damaged.erasures, t);
      ASSERT_EQ(d.word, word) << "level " << level << " trial " << trial << " errors " << errors
                              << " erasures " << erasures;
      EXPECT_EQ(d.result, errors + erasures);
      EXPECT_EQ(d.output.empty(), erasures == 0);
    }
  }
}

TEST(RsDecode, OneChangedCodewordIsRestored) {
  std::mt19937 rng(3);
  std::vector<int> word = randomWord(rng, 20, 8);
  std::vector<int> changed = word;
  changed[7] = (word[7] + 100) % 929;
  Decoded d = decode(changed, {}, 8);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.word, word);
  EXPECT_EQ(d.positions[0], 28 - 7);  // location of index 7 in a word of 28
  EXPECT_EQ(d.output, "");
}

TEST(RsDecode, TraceWithDebugFlag) {
  std::mt19937 rng(4);
  std::vector<int> word = randomWord(rng, 20, 8);
  Decoded valid = decode(word, {}, 8, 1);
  EXPECT_EQ(valid.output, "No errors \n");

  std::vector<int> changed = word;
  changed[7] = (word[7] + 100) % 929;
  Decoded fixed = decode(changed, {}, 8, 1);
  EXPECT_EQ(fixed.output, "error_val = 100 \nFix loc = 7 \ncodewords_new_modify[7] = " +
                              std::to_string(word[7]) + "\n");

  std::vector<int> wrecked = damage(rng, word, 8, 0).word;
  Decoded failed = decode(wrecked, {}, 8, 1);
  if (failed.result < 0) {
    EXPECT_EQ(failed.output.rfind("Uncorrectable error: root count = ", 0), 0u) << failed.output;
  }
  Decoded quiet = decode(wrecked, {}, 8, 0);
  EXPECT_EQ(quiet.output, "");
}

TEST(RsDecode, OneErasureIsFilledAndTracedWithoutDebug) {
  std::mt19937 rng(5);
  std::vector<int> word = randomWord(rng, 536, 64);  // n = 600
  ASSERT_NE(word[200], 1);
  std::vector<int> erased = word;
  erased[200] = -1;
  Decoded d = decode(erased, {200}, 64, 0);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.word, word);
  EXPECT_EQ(d.positions[0], 400);
  // The trace walks the stored erasure locator 1 + 3^400 x through 3^1 ..
  // 3^(n+t); it vanishes at step 64 (3^464 = -1), where the counter, stepping
  // by n - 1, stands at 64 * 599 mod 928 = 288.
  EXPECT_EQ(d.output, std::string(kErasureHeader) + "loc  = 288 \n");
}

TEST(RsDecode, ErasureWhoseValueIsOneLosesItsMark) {
  std::mt19937 rng(6);
  std::vector<int> data(30);
  for (int& v : data) v = std::uniform_int_distribution<int>(2, 928)(rng);
  data[0] = 30;
  data[12] = 1;
  std::vector<int> word = encodeWord(data, 16);

  // Alone, the mark already reads as 1: the word is valid as it stands.
  std::vector<int> marked = word;
  marked[12] = -1;
  Decoded alone = decode(marked, {12}, 16);
  EXPECT_EQ(alone.result, 0);
  EXPECT_EQ(alone.word, word);

  // With an error beside it the correction runs and must still set it.
  marked[3] = (word[3] + 5) % 929;
  marked[20] = -1;
  Decoded mixed = decode(marked, {12, 20}, 16);
  EXPECT_EQ(mixed.result, 3);
  EXPECT_EQ(mixed.word, word);
  EXPECT_EQ(mixed.output.rfind(kErasureHeader, 0), 0u);
}

TEST(RsDecode, BadArgumentsAreRefusedUntouched) {
  std::mt19937 rng(7);
  std::vector<int> word = randomWord(rng, 10, 8);  // n = 18
  word[4] = (word[4] + 1) % 929;
  struct Case {
    const char* what;
    std::vector<int> word;
    std::vector<int> erasures;
    int t;
  };
  std::vector<int> tooHigh = word, tooLow = word, lowest = word;
  tooHigh[3] = 930;
  tooLow[3] = -930;
  lowest[3] = INT32_MIN;
  std::vector<Case> cases = {
      {"t = 0", word, {}, 0},
      {"t < 0", word, {}, -3},
      {"t > n", word, {}, 19},
      {"ne > t", word, {0, 1, 2, 3, 5, 6, 7, 8, 9}, 8},
      {"erasure below 0", word, {-1}, 8},
      {"erasure at n", word, {18}, 8},
      {"entry above 929", tooHigh, {}, 8},
      {"entry below -929", tooLow, {}, 8},
      {"lowest int entry", lowest, {}, 8},
  };
  for (const Case& c : cases) {
    Decoded d = decode(c.word, c.erasures, c.t, 1);
    EXPECT_EQ(d.result, -1) << c.what;
    EXPECT_EQ(d.word, c.word) << c.what;
    EXPECT_EQ(d.output, "") << c.what;
  }
  int none = 0;
  EXPECT_EQ(rsDecode(word.data(), &none, -1, 18, 8, 0), -1);
  EXPECT_EQ(rsDecode(word.data(), nullptr, 1, 18, 8, 0), -1);
  EXPECT_EQ(rsDecode(nullptr, nullptr, 0, 18, 8, 0), -1);
  EXPECT_EQ(rsDecode(word.data(), nullptr, 0, 0, 0, 0), -1);
  std::vector<int> huge(kCodewordBufferSize + 1, 0);
  EXPECT_EQ(rsDecode(huge.data(), nullptr, 0, (int)huge.size(), 8, 0), -1);
  EXPECT_EQ(rsDecode(huge.data(), nullptr, 0, kMaxWordLength + 1, 8, 0), -1);
  EXPECT_EQ(rsDecode(huge.data(), nullptr, 0, 3000, kMaxCheckCodewords + 1, 0), -1);
}

// Damage the check codewords cannot place is refused, not corrected in the
// wrong place: words longer than a symbol can hold, and a word cut short so
// that its locator's roots lie before its first entry.
TEST(RsDecode, ErrorsThatCannotBePlacedAreRefused) {
  std::mt19937 rng(10);
  std::vector<int> longWord = randomWord(rng, 929 - 16, 16);
  ASSERT_EQ(longWord.size(), 929u);
  EXPECT_EQ(decode(longWord, {}, 16).result, -1);

  std::vector<int> word = randomWord(rng, 60, 16);
  word[0] = word[1] = word[2] = 500;
  word = encodeWord(std::vector<int>(word.begin(), word.end() - 16), 16);
  std::vector<int> shortened(word.begin() + 3, word.end());
  Decoded d = decode(shortened, {}, 16);
  EXPECT_EQ(d.result, -1);
  EXPECT_EQ(d.word, shortened);
}

TEST(RsDecode, WordsBeyondCapacityAreNeverPassedOffAsTheOriginal) {
  std::mt19937 rng(8);
  for (int level = 0; level <= 8; level++) {
    int t = checkCount(level);
    for (int trial = 0; trial < 8; trial++) {
      std::vector<int> word = randomWord(rng, std::min(928 - t, 100), t);
      int errors = t / 2 + 1 + trial % 3;
      int erasures = trial % 2 ? std::min(t / 4, (int)word.size() - errors) : 0;
      errors = std::min(errors + erasures, (int)word.size() - erasures);
      Damage damaged = damage(rng, word, errors, erasures);
      Decoded d = decode(damaged.word, damaged.erasures, t);
      EXPECT_TRUE(d.result == -1 || d.word != word) << "level " << level << " trial " << trial;
    }
  }
}

// Whatever the arguments, the decoder stays inside its arrays (run under the
// sanitizer build) and a success leaves no mark behind.
TEST(RsDecode, HostileInputsStayInBounds) {
  std::mt19937 rng(9);
  for (int trial = 0; trial < 150; trial++) {
    int n = trial % 10 == 0 ? std::uniform_int_distribution<int>(1, kCodewordBufferSize)(rng)
                            : std::uniform_int_distribution<int>(1, 120)(rng);
    int t = std::uniform_int_distribution<int>(-2, std::min(n, (int)kMaxCheckCodewords) + 2)(rng);
    int ne = std::uniform_int_distribution<int>(-1, std::max(0, t) + 2)(rng);
    std::vector<int> word(n);
    for (int& v : word) v = std::uniform_int_distribution<int>(-935, 935)(rng);
    if (trial % 2)  // mostly valid entries, so that the decode goes deep
      for (int& v : word) v = std::abs(v) % 929 - (v < -900 ? 1 : 0);
    std::vector<int> erasures(std::max(0, ne));
    for (int& p : erasures) p = std::uniform_int_distribution<int>(-1, n)(rng);
    if (trial % 3) std::sort(erasures.begin(), erasures.end());
    Decoded d = decode(word, erasures, t);
    EXPECT_GE(d.result, -1);
    EXPECT_LE(d.result, std::max(0, t));
    if (d.result >= 0) {
      for (int v : d.word) EXPECT_TRUE(v >= 0 && v <= 928) << v;
    }
  }
}

// The reference encoder reproduces libzint's check codewords, and real
// symbols' codewords decode as valid and survive damage at every level.
TEST(RsDecode, AgreesWithZintSymbols) {
  std::mt19937 rng(10);
  for (int level = 0; level <= 8; level++) {
    SymbolOptions options;
    options.eccLevel = level;
    ModuleMatrix symbol;
    ASSERT_TRUE(encodeSymbol("Reed-Solomon over GF(929), level " + std::to_string(level),
                             options, &symbol));
    std::vector<int> word = symbolCodewords(symbol);
    ASSERT_FALSE(word.empty());
    int n = (int)word.size(), t = n - word[0];
    ASSERT_EQ(t, checkCount(level));
    EXPECT_EQ(encodeWord(std::vector<int>(word.begin(), word.begin() + word[0]), t), word);

    Decoded clean = decode(word, {}, t);
    EXPECT_EQ(clean.result, 0) << "level " << level;
    EXPECT_EQ(clean.output, "");

    int errors = std::min((t - 2) / 4, n / 3), erasures = std::min(t - 2 - 2 * errors, n / 3);
    Damage damaged = damage(rng, word, errors, erasures);
    Decoded fixed = decode(damaged.word, damaged.erasures, t);
    EXPECT_EQ(fixed.word, word) << "level " << level;
  }
}
