// The public read on generated symbols of every shape, in every quarter
// turn, clean and damaged within what the check codewords can repair: each
// must read back to exactly its bytes, and nothing may be passed off as
// verified that is not the symbol's content.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "codeword/pattern_table.h"
#include "pipeline/symbol_scan.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

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
  int columns = dataColumns(*symbol);
  std::vector<int> places(symbol->rows * columns);
  for (size_t i = 0; i < places.size(); i++) places[i] = (int)i;
  std::shuffle(places.begin(), places.end(), *random);
  for (int k = 0; k < count && k < (int)places.size(); k++) {
    int row = places[k] / columns, column = places[k] % columns;
    int other = (codewordAt(*symbol, row, column) + 1 + (*random)() % 900) % 929;
    replaceCodeword(symbol, row, column, other);
  }
}

struct Outcome {
  bool read = false;
  bool exact = false;
  bool verified = false;
};

pdf417read::ReadResult readPicture(const GrayPicture& picture) {
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  return pdf417read::read(view);
}

Outcome decodeCase(const Case& c, std::mt19937* random, bool* encoded) {
  ModuleMatrix symbol;
  Outcome outcome;
  *encoded = encodeSymbol(c.data, c.options, &symbol);
  if (!*encoded) return outcome;
  damageSymbol(&symbol, c.damage, random);
  pdf417read::ReadResult result = readPicture(drawSymbol(symbol, c.draw));
  if (result.symbols.empty()) return outcome;
  outcome.read = true;
  outcome.verified = result.symbols[0].verified;
  outcome.exact = result.symbols[0].bytes == c.data;
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

TEST(ReadShapes, CleanSymbolsOfEveryShapeAndTurn) { runCases(120, 2026, false); }

TEST(ReadShapes, DamageWithinTheCheckCodewordsIsRepaired) { runCases(60, 417, true); }

TEST(ReadShapes, PictureWithoutSymbolFailsAsNoSymbol) {
  std::mt19937 random(5);
  GrayPicture noise;
  noise.width = 300;
  noise.height = 200;
  for (int i = 0; i < 300 * 200; i++) noise.pixels.push_back((unsigned char)random());
  EXPECT_NE(readPicture(noise).status, pdf417read::Status::Decoded);
  SymbolReading reading;
  ScanStats stats;
  ScanRequest request = {kEffortNormal, 1, nullptr};
  EXPECT_EQ(readSymbolsByScan(noise.pixels.data(), noise.width, noise.height, request, &reading, 1, &stats), 0);
  EXPECT_LE(stats.readings, 8);
  EXPECT_EQ(readPicture(blankPicture(100, 100)).status, pdf417read::Status::NoSymbol);
}

namespace {

GrayPicture pictureOf(const std::string& data, const SymbolOptions& options, const DrawOptions& draw) {
  ModuleMatrix symbol;
  EXPECT_TRUE(encodeSymbol(data, options, &symbol));
  return drawSymbol(symbol, draw);
}

std::string robustText(const GrayPicture& picture, bool* verified) {
  pdf417read::ReadResult result = readPicture(picture);
  *verified = !result.symbols.empty() && result.symbols[0].verified;
  return result.symbols.empty() ? "<none>" : result.symbols[0].bytes;
}

}  // namespace

TEST(ReadShapes, SymbolWithItsRightPartCutOff) {
  SymbolOptions options;
  options.columns = 6;
  options.eccLevel = 7;
  const std::string data = "Only the left part of this symbol is in the picture";
  DrawOptions draw;
  draw.modulePixels = 2;
  draw.rowPixels = 6;
  GrayPicture whole = pictureOf(data, options, draw);
  // Keep the start pattern and a little over half the symbol.
  GrayPicture part;
  part.width = whole.width * 6 / 10;
  part.height = whole.height;
  for (int y = 0; y < whole.height; y++)
    part.pixels.insert(part.pixels.end(), whole.pixels.begin() + (size_t)y * whole.width,
                       whole.pixels.begin() + (size_t)y * whole.width + part.width);
  bool verified = false;
  EXPECT_EQ(robustText(part, &verified), data);
  EXPECT_TRUE(verified);
}

TEST(ReadShapes, TiltedUnevenlyLitAndBorderTouchingSymbols) {
  const std::string data = "Photos are never straight, evenly lit or well framed";
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 9;
  GrayPicture upright = pictureOf(data, SymbolOptions{}, draw);

  GrayPicture lit = upright;  // light falling off from 100% to 30% across
  for (int y = 0; y < lit.height; y++)
    for (int x = 0; x < lit.width; x++) {
      unsigned char& v = lit.pixels[(size_t)y * lit.width + x];
      v = (unsigned char)(40 + v * (1.0 - 0.7 * x / lit.width) * 0.8);
    }
  bool verified = false;
  EXPECT_EQ(robustText(lit, &verified), data);
  EXPECT_TRUE(verified);

  DrawOptions tight = draw;
  tight.quietPixels = 0;
  EXPECT_EQ(robustText(pictureOf(data, SymbolOptions{}, tight), &verified), data);
  EXPECT_TRUE(verified);

  // Turned by about 6 degrees, with a light margin around it.
  GrayPicture tilted;
  tilted.width = upright.width + 60;
  tilted.height = upright.height + 120;
  tilted.pixels.assign((size_t)tilted.width * tilted.height, 255);
  double angle = 0.1, c = std::cos(angle), s = std::sin(angle);
  for (int y = 0; y < tilted.height; y++)
    for (int x = 0; x < tilted.width; x++) {
      double dx = x - tilted.width / 2.0, dy = y - tilted.height / 2.0;
      int sx = (int)std::lround(dx * c + dy * s + upright.width / 2.0);
      int sy = (int)std::lround(-dx * s + dy * c + upright.height / 2.0);
      if (sx >= 0 && sx < upright.width && sy >= 0 && sy < upright.height)
        tilted.pixels[(size_t)y * tilted.width + x] = upright.pixels[(size_t)sy * upright.width + sx];
    }
  EXPECT_EQ(robustText(tilted, &verified), data);
  EXPECT_TRUE(verified);
}

// Far more damage than the check codewords repair: the symbol may be read
// uncorrected, but never passes as verified with a text that is not its own.
TEST(ReadShapes, DamageBeyondRepairIsNeverVerified) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 12; trial++) {
    SymbolOptions options;
    options.eccLevel = trial % 3;
    options.columns = 3 + trial % 4;
    const std::string data = "Beyond repair " + std::to_string(trial) + " 0123456789 abcdefghij";
    ModuleMatrix symbol;
    ASSERT_TRUE(encodeSymbol(data, options, &symbol));
    damageSymbol(&symbol, (2 << options.eccLevel) + 2 + trial % 3, &random);
    bool verified = false;
    std::string text = robustText(drawSymbol(symbol, DrawOptions{}), &verified);
    EXPECT_FALSE(verified && text != data) << "trial " << trial << ": " << text;
  }
}
