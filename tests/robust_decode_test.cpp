// The robust entry on generated symbols of every shape, in every quarter
// turn, clean and damaged within what the check codewords can repair: each
// must read back to exactly its bytes, and nothing may be passed off as
// verified that is not the symbol's content.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "codeword/pattern_table.h"
#include "pipeline/decode_pipeline.h"
#include "pipeline/robust_decode.h"
#include "support/symbol_pictures.h"

namespace {

struct Case {
  std::string data;
  SymbolOptions options;
  DrawOptions draw;
  int damage = 0;  // codewords replaced by other codewords
};

std::string describe(const Case& c) {
  return "columns " + std::to_string(c.options.columns) + " rows " + std::to_string(c.options.rows) +
         " level " + std::to_string(c.options.eccLevel) + " module " + std::to_string(c.draw.modulePixels) +
         " row " + std::to_string(c.draw.rowPixels) + " quiet " + std::to_string(c.draw.quietPixels) +
         " turn " + std::to_string(c.draw.rotation) + " damage " + std::to_string(c.damage) + " bytes " +
         std::to_string(c.data.size());
}

std::string randomData(std::mt19937* random) {
  static const std::string kText = "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 .,:;-/!?";
  std::string data;
  int pieces = 1 + (*random)() % 3;
  for (int p = 0; p < pieces; p++) {
    int length = 1 + (*random)() % 40;
    switch ((*random)() % 3) {
      case 0:
        for (int i = 0; i < length; i++) data += kText[(*random)() % kText.size()];
        break;
      case 1:
        for (int i = 0; i < length; i++) data += (char)('0' + (*random)() % 10);
        break;
      default:
        for (int i = 0; i < length; i++) data += (char)(1 + (*random)() % 255);
    }
  }
  return data;
}

// Replaces `count` data-region codewords, at distinct places, with other
// codewords of the same cluster.
void damageSymbol(ModuleMatrix* symbol, int count, std::mt19937* random) {
  int columns = (symbol->width - 17 - 18) / 17 - 2;
  std::vector<int> places(symbol->rows * columns);
  for (size_t i = 0; i < places.size(); i++) places[i] = (int)i;
  std::shuffle(places.begin(), places.end(), *random);
  for (int k = 0; k < count && k < (int)places.size(); k++) {
    int row = places[k] / columns, column = places[k] % columns;
    int first = 17 + 17 * (column + 1);
    int key = 0;
    for (int m = 0; m < 17; m++) key = key << 1 | symbol->at(row, first + m);
    int index = findPatternIndex(key);
    int cluster = (codewordPatternValues[index] - 1) / 929;
    int other = ((codewordPatternValues[index] - 1) % 929 + 1 + (*random)() % 900) % 929;
    int wanted = cluster * 929 + other + 1;
    for (int i = 0; i < kPatternTableSize; i++)
      if (codewordPatternValues[i] == wanted) key = codewordPatternKeys[i];
    for (int m = 0; m < 17; m++)
      symbol->modules[(size_t)row * symbol->width + first + m] = (key >> (16 - m)) & 1;
  }
}

struct Outcome {
  bool read = false;
  bool exact = false;
  bool verified = false;
};

Outcome decodeCase(const Case& c, std::mt19937* random, bool* encoded) {
  ModuleMatrix symbol;
  Outcome outcome;
  *encoded = encodeSymbol(c.data, c.options, &symbol);
  if (!*encoded) return outcome;
  damageSymbol(&symbol, c.damage, random);
  GrayPicture picture = drawSymbol(symbol, c.draw);
  testing::internal::CaptureStdout();
  DecodeResult* result = decodeImageRobust(picture.pixels.data(), picture.width, picture.height);
  testing::internal::GetCapturedStdout();
  if (!result) return outcome;
  outcome.read = true;
  outcome.verified = result->verified != 0;
  outcome.exact = std::string(result->text, result->textLength) == c.data;
  freeDecodeResult(result);
  return outcome;
}

// Check codewords of a level, and how many errors leave two to spare.
int repairable(int level) { return ((2 << level) - 2) / 2; }

void runCases(int count, unsigned seed, bool damaged) {
  std::mt19937 random(seed);
  int tried = 0, failed = 0;
  while (tried < count) {
    Case c;
    c.data = randomData(&random);
    c.options.columns = 1 + random() % 30;
    c.options.rows = random() % 3 ? 0 : 3 + random() % 88;
    c.options.eccLevel = damaged ? 1 + random() % 5 : (int)(random() % 10) - 1;
    c.draw.modulePixels = 1 + random() % 6;
    // Big symbols with big modules make slow tests; the sizes still span 1..6.
    if (c.options.columns > 12 && c.draw.modulePixels > 3) c.draw.modulePixels = 2 + random() % 2;
    c.draw.rowPixels = c.draw.modulePixels * (3 + random() % 2);
    c.draw.quietPixels = random() % 4 ? 2 * c.draw.modulePixels + (int)(random() % 10) : 0;
    c.draw.rotation = 90 * (int)(random() % 4);
    c.damage = damaged ? 1 + (int)(random() % repairable(c.options.eccLevel)) : 0;
    bool encoded = false;
    Outcome outcome = decodeCase(c, &random, &encoded);
    if (!encoded) continue;
    tried++;
    EXPECT_TRUE(outcome.read && outcome.exact && outcome.verified) << describe(c);
    EXPECT_FALSE(outcome.verified && !outcome.exact) << "wrong text passed as verified: " << describe(c);
    failed += !(outcome.read && outcome.exact && outcome.verified);
  }
  std::printf("%d of %d read exactly\n", count - failed, count);
}

}  // namespace

TEST(RobustDecode, CleanSymbolsOfEveryShapeAndTurn) { runCases(120, 2026, false); }

TEST(RobustDecode, DamageWithinTheCheckCodewordsIsRepaired) { runCases(60, 417, true); }

TEST(RobustDecode, PictureWithoutSymbolFailsAsNoSymbol) {
  std::mt19937 random(5);
  GrayPicture noise;
  noise.width = 300;
  noise.height = 200;
  for (int i = 0; i < 300 * 200; i++) noise.pixels.push_back((unsigned char)random());
  EXPECT_EQ(decodeImageRobust(noise.pixels.data(), noise.width, noise.height), nullptr);
  EXPECT_LE(extraReadingsTried, (int)kMaxExtraReadings);
  std::vector<unsigned char> white(100 * 100, 255);
  EXPECT_EQ(decodeImageRobust(white.data(), 100, 100), nullptr);
  EXPECT_EQ(decodeFailure, kDecodeNoSymbol);
}
