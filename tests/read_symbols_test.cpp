// The public read on what cameras and printers make of symbols: compact and
// mirrored symbols, several symbols in one picture, small modules, any
// angle. Every symbol must read back to exactly its bytes, verified.
#include <gtest/gtest.h>

#include <pdf417read/pdf417read.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/picture_variants.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

pdf417read::ReadResult readPicture(const GrayPicture& picture, const pdf417read::Options& options = {}) {
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  return pdf417read::read(view, options);
}

GrayPicture symbolPicture(const std::string& data, const SymbolOptions& options, const DrawOptions& draw) {
  ModuleMatrix symbol;
  EXPECT_TRUE(encodeSymbol(data, options, &symbol)) << data;
  return drawSymbol(symbol, draw);
}

GrayPicture turned(const GrayPicture& picture, double degrees) {
  int width = 0, height = 0;
  unsigned char* pixels = rotatePicture(picture.pixels.data(), picture.width, picture.height,
                                        degrees * M_PI / 180.0, 255, &width, &height);
  return adoptPicture(pixels, width, height);
}

// One symbol that must read as `data`, verified; returns it.
pdf417read::Symbol readOne(const GrayPicture& picture, const std::string& data, const std::string& what) {
  pdf417read::ReadResult result = readPicture(picture);
  EXPECT_EQ(result.symbols.size(), 1u) << what;
  if (result.symbols.size() != 1) return pdf417read::Symbol();
  EXPECT_EQ(result.symbols[0].bytes, data) << what;
  EXPECT_TRUE(result.symbols[0].verified) << what;
  return result.symbols[0];
}

}  // namespace

TEST(ReadSymbols, CompactSymbolsReadInEveryTurnAndAreFlagged) {
  const std::string data = "Compact PDF417 drops the right row indicator 0123456789";
  for (int columns : {1, 3, 6}) {
    SymbolOptions options;
    options.compact = true;
    options.columns = columns;
    for (int rotation : {0, 90, 180, 270}) {
      DrawOptions draw;
      draw.modulePixels = 2;
      draw.rowPixels = 6;
      draw.rotation = rotation;
      std::string what = "compact, columns " + std::to_string(columns) + " turn " + std::to_string(rotation);
      pdf417read::Symbol symbol = readOne(symbolPicture(data, options, draw), data, what);
      EXPECT_TRUE(symbol.compact) << what;
      EXPECT_FALSE(symbol.mirrored) << what;
    }
  }
  // A full symbol is not compact.
  pdf417read::Symbol full = readOne(symbolPicture(data, SymbolOptions{}, DrawOptions{}), data, "full");
  EXPECT_FALSE(full.compact);
}

TEST(ReadSymbols, CompactSymbolTouchingThePictureEdgeIsFlagged) {
  const std::string data = "Compact, its stop bar the picture's last column";
  SymbolOptions options;
  options.compact = true;
  options.columns = 4;
  DrawOptions draw;
  GrayPicture drawn = symbolPicture(data, options, draw);
  // Cut right after the one-module stop bar.
  GrayPicture cut = blankPicture(drawn.width - draw.quietPixels, drawn.height);
  for (int y = 0; y < cut.height; y++)
    for (int x = 0; x < cut.width; x++) cut.pixels[(size_t)y * cut.width + x] = drawn.pixels[(size_t)y * drawn.width + x];
  EXPECT_TRUE(readOne(cut, data, "compact at the edge").compact);
}

TEST(ReadSymbols, MirroredSymbolsReadInEveryTurnAndAreFlagged) {
  const std::string data = "Seen through film: every row reads right to left";
  for (bool compact : {false, true}) {
    SymbolOptions options;
    options.compact = compact;
    options.columns = 4;
    for (int rotation : {0, 90, 180, 270}) {
      DrawOptions draw;
      draw.mirrored = true;
      draw.rotation = rotation;
      std::string what = std::string(compact ? "compact" : "full") + " mirrored, turn " + std::to_string(rotation);
      pdf417read::Symbol symbol = readOne(symbolPicture(data, options, draw), data, what);
      EXPECT_TRUE(symbol.mirrored) << what;
      EXPECT_EQ(symbol.compact, compact) << what;
    }
  }
}

namespace {

struct Placed {
  std::string data;
  int x, y;
};

// Symbols of different sizes pasted onto one page at the given places.
GrayPicture page(const std::vector<Placed>& placed, int width, int height) {
  GrayPicture canvas = blankPicture(width, height);
  for (size_t i = 0; i < placed.size(); i++) {
    SymbolOptions options;
    options.columns = 2 + (int)i % 4;
    DrawOptions draw;
    draw.modulePixels = 2;
    draw.rowPixels = 6;
    draw.quietPixels = 4;
    pastePicture(&canvas, symbolPicture(placed[i].data, options, draw), placed[i].x, placed[i].y);
  }
  return canvas;
}

std::vector<std::string> textsOf(const pdf417read::ReadResult& result) {
  std::vector<std::string> texts;
  for (const pdf417read::Symbol& symbol : result.symbols) {
    EXPECT_TRUE(symbol.verified);
    texts.push_back(symbol.bytes);
  }
  return texts;
}

}  // namespace

TEST(ReadSymbols, EverySymbolOfAPageInReadingOrder) {
  // In reading order: three side by side at slightly different heights; on
  // the next line one on the left and one, a little higher, on the right;
  // last one under the one on the left.
  std::vector<Placed> placed = {
      {"first, top left", 10, 10},
      {"second, top middle with more text in it", 260, 30},
      {"third, top right", 620, 15},
      {"fourth, left 0123456789", 10, 260},
      {"fifth, right and a little higher", 520, 240},
      {"sixth, under the fourth", 10, 420},
  };
  GrayPicture picture = page(placed, 900, 600);
  std::vector<std::string> expected;
  for (const Placed& p : placed) expected.push_back(p.data);
  EXPECT_EQ(textsOf(readPicture(picture)), expected);

  pdf417read::Options one;
  one.maxSymbols = 1;
  EXPECT_EQ(readPicture(picture, one).symbols.size(), 1u);
  pdf417read::Options three;
  three.maxSymbols = 3;
  EXPECT_EQ(readPicture(picture, three).symbols.size(), 3u);

  // The same page upside down reads in its own reading order.
  GrayPicture upsideDown = turned(picture, 180);
  pdf417read::ReadResult turnedAll = readPicture(upsideDown);
  EXPECT_EQ(turnedAll.symbols.size(), placed.size());
}

TEST(ReadSymbols, TwoSymbolsStackedWithTheirPatternsInLine) {
  // Same width, same left edge: their start patterns form one straight edge.
  SymbolOptions options;
  options.columns = 4;
  DrawOptions draw;
  draw.quietPixels = 6;
  GrayPicture top = symbolPicture("the upper of two stacked symbols", options, draw);
  GrayPicture bottom = symbolPicture("the lower one, 0123456789 0123456789", options, draw);
  GrayPicture canvas = blankPicture(top.width + 40, top.height + bottom.height + 40);
  pastePicture(&canvas, top, 20, 20);
  pastePicture(&canvas, bottom, 20, 20 + top.height);
  EXPECT_EQ(textsOf(readPicture(canvas)),
            (std::vector<std::string>{"the upper of two stacked symbols", "the lower one, 0123456789 0123456789"}));
}

TEST(ReadSymbols, ModulesOfLittleMoreThanOnePixel) {
  const std::string data = "Small modules: 1.25 pixels wide, rows under four pixels high";
  for (int columns : {3, 8}) {
    SymbolOptions options;
    options.columns = columns;
    DrawOptions draw;
    draw.modulePixels = 5;
    draw.rowPixels = 15;
    GrayPicture large = symbolPicture(data, options, draw);
    int width = 0, height = 0;
    // Averaged down by 4: modules of 1.25 pixels, rows of 3.75.
    unsigned char* pixels = shrinkPicture(large.pixels.data(), large.width, large.height, 4, &width, &height);
    GrayPicture small = adoptPicture(pixels, width, height);
    readOne(small, data, "columns " + std::to_string(columns));
    readOne(turned(small, 90), data, "columns " + std::to_string(columns) + " turned");
  }
}

TEST(ReadSymbols, AnyAngle) {
  const std::string data = "Turned by any angle, read along its own axes";
  SymbolOptions options;
  options.columns = 5;
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 9;
  GrayPicture upright = symbolPicture(data, options, draw);
  for (double degrees : {7.0, 22.5, 38.0, 45.0, 61.0, 100.0, 143.0, 200.0, 251.0, 315.0}) {
    pdf417read::Symbol symbol = readOne(turned(upright, degrees), data, "angle " + std::to_string(degrees));
    EXPECT_FALSE(symbol.mirrored);
  }
  // A low symbol, five rows of three modules: turned by 30 degrees or more,
  // no row or column crosses a whole start pattern.
  const std::string low = "Five low rows, any angle";
  SymbolOptions wide;
  wide.rows = 5;
  draw.modulePixels = 2;
  draw.rowPixels = 6;
  GrayPicture flat = symbolPicture(low, wide, draw);
  for (double degrees : {17.0, 30.0, 45.0, 135.0, 222.0, 318.0})
    readOne(turned(flat, degrees), low, "low symbol, angle " + std::to_string(degrees));
}

namespace {

// Blurred by the kernel (1, centre, 1) / (centre + 2) down and across.
GrayPicture softened(const GrayPicture& p, int centre) {
  int weight = (centre + 2) * (centre + 2);
  std::vector<int> across(p.pixels.size());
  for (int y = 0; y < p.height; y++) {
    const unsigned char* row = p.pixels.data() + (size_t)y * p.width;
    for (int x = 0; x < p.width; x++)
      across[(size_t)y * p.width + x] = row[x > 0 ? x - 1 : x] + centre * row[x] + row[x + 1 < p.width ? x + 1 : x];
  }
  GrayPicture out = p;
  for (int y = 0; y < p.height; y++) {
    const int* up = across.data() + (size_t)(y > 0 ? y - 1 : y) * p.width;
    const int* here = across.data() + (size_t)y * p.width;
    const int* down = across.data() + (size_t)(y + 1 < p.height ? y + 1 : y) * p.width;
    for (int x = 0; x < p.width; x++)
      out.pixels[(size_t)y * p.width + x] = (unsigned char)((up[x] + centre * here[x] + down[x] + weight / 2) / weight);
  }
  return out;
}

}  // namespace

// Modules of 1.2 to 1.25 pixels, blurred: the one-module bars and spaces
// fade into their neighbours, yet each codeword's shape still tells it.
TEST(ReadSymbols, BlurredModulesOfLittleMoreThanOnePixel) {
  const std::string data = "Blurred small modules: 0123456789 abcdefghij";
  struct Case {
    int columns, rowModules, shrink, centre;
  };
  for (Case c : {Case{3, 2, 5, 4}, Case{3, 3, 4, 3}}) {
    SymbolOptions options;
    options.columns = c.columns;
    DrawOptions draw;
    draw.modulePixels = c.shrink + 1;
    draw.rowPixels = draw.modulePixels * c.rowModules;
    GrayPicture large = symbolPicture(data, options, draw);
    int width = 0, height = 0;
    unsigned char* pixels = shrinkPicture(large.pixels.data(), large.width, large.height, c.shrink, &width, &height);
    GrayPicture small = softened(adoptPicture(pixels, width, height), c.centre);
    std::string what = "columns " + std::to_string(c.columns);
    readOne(small, data, what);
    readOne(turned(small, 90), data, what + " turned");
  }
}

// Modules of 1.5 pixels, blurred twice over (some 0.9 pixel) and printed
// gray on gray: the start pattern's one-module bars and spaces swing by a
// few gray levels only, yet the line's turning points still part them.
TEST(ReadSymbols, FaintBlurredModulesOfAPixelAndAHalf) {
  const std::string data = "Blurred modules of a pixel and a half: 0123456789";
  for (int columns : {2, 4, 6}) {
    SymbolOptions options;
    options.columns = columns;
    options.eccLevel = 3;
    DrawOptions draw;
    draw.modulePixels = 3;
    draw.rowPixels = 9;
    draw.quietPixels = 12;
    draw.dark = columns == 2 ? 90 : 60;
    draw.light = 200;
    GrayPicture large = symbolPicture(data, options, draw);
    int width = 0, height = 0;
    unsigned char* pixels = shrinkPicture(large.pixels.data(), large.width, large.height, 2, &width, &height);
    GrayPicture small = softened(softened(adoptPicture(pixels, width, height), 3), 3);
    std::string what = "columns " + std::to_string(columns);
    readOne(small, data, what);
    readOne(turned(small, 90), data, what + " turned");
  }
}

// Three rows of three modules (nine in all, about half a pattern's width)
// turned so that rows, columns and diagonals cross a whole pattern on a few
// lines only, and see a start pattern's inner edge near one end of the
// symbol and a stop pattern's near the other.
TEST(ReadSymbols, ThreeRowSymbolsAtAngles) {
  const std::string data = "Three rows at any angle";
  SymbolOptions options;
  options.rows = 3;
  for (int module : {2, 3}) {
    DrawOptions draw;
    draw.modulePixels = module;
    draw.rowPixels = 3 * module;
    draw.quietPixels = 4 * module;
    GrayPicture flat = symbolPicture(data, options, draw);
    for (double degrees : {15.0, 18.0, 24.0, 30.0, 60.0, 63.0, 66.0, 72.0, 114.0, 198.0, 246.0, 336.0})
      readOne(turned(flat, degrees), data, "modules " + std::to_string(module) + ", angle " + std::to_string(degrees));
  }
}

// Rows one module high, modules of 1.5 pixels, blurred: the start
// pattern's thin bars merge with its wide bar at any one level, and the
// rows blur into each other so that no row indicator reads whole. The
// patterns are found by the line's own turning points, the rows placed
// between where the wide bars begin and end.
TEST(ReadSymbols, BlurredRowsOfOneModule) {
  const std::string data = "Blurred flat rows: 0123456789 abcdefghijklmnop";
  for (int columns : {2, 6}) {
    SymbolOptions options;
    options.columns = columns;
    options.eccLevel = 3;
    DrawOptions draw;
    draw.modulePixels = 6;
    draw.rowPixels = 6;
    draw.quietPixels = 24;
    GrayPicture large = symbolPicture(data, options, draw);
    int width = 0, height = 0;
    unsigned char* pixels = shrinkPicture(large.pixels.data(), large.width, large.height, 4, &width, &height);
    GrayPicture small = softened(adoptPicture(pixels, width, height), 2);
    std::string what = "columns " + std::to_string(columns);
    readOne(small, data, what);
    readOne(turned(small, 90), data, what + " turned");
  }
}
