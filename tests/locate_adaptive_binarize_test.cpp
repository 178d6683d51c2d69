// The local mean threshold: flat paper stays light, dark marks stay dark,
// and uneven light does not get in the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "locate/adaptive_binarize.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

TEST(AdaptiveBinarize, KeepsFlatAndNoisyPaperLight) {
  std::mt19937 random(11);
  for (int level : {0, 30, 128, 250}) {
    std::vector<unsigned char> picture(64 * 48);
    for (auto& p : picture) p = (unsigned char)std::min(255, std::max(0, level + (int)(random() % 9) - 4));
    adaptiveBinarize(picture.data(), 64, 48, 15);
    for (unsigned char p : picture) ASSERT_EQ(p, 0) << "level " << level;
  }

  // Any window, however odd, leaves only 0 and 1; a dark dot stays dark.
  for (int window : {INT_MIN, -5, 0, 1, 2, 4, 999, INT_MAX}) {
    std::mt19937 noise(2);
    std::vector<unsigned char> picture(17 * 9);
    for (auto& p : picture) p = (unsigned char)(noise() & 255);
    picture[4 * 17 + 8] = 0;
    picture[4 * 17 + 7] = picture[4 * 17 + 9] = picture[3 * 17 + 8] = picture[5 * 17 + 8] = 255;
    adaptiveBinarize(picture.data(), 17, 9, window);
    for (unsigned char p : picture) ASSERT_LE(p, 1) << window;
    EXPECT_EQ(picture[4 * 17 + 8], 1) << window;
  }
  unsigned char single = 90;
  adaptiveBinarize(&single, 1, 1, 31);
  EXPECT_EQ(single, 0);
}

TEST(AdaptiveBinarize, SumsStayExactPastThirtyTwoBits) {
  // White paper whose total passes 2^32, the widest window and one dark dot:
  // any box sum that wrapped wrongly would blacken the paper.
  const int side = 4200;
  std::vector<unsigned char> paper((size_t)side * side, 255);
  paper[(size_t)(side / 2) * side + side / 2] = 0;
  adaptiveBinarize(paper.data(), side, side, INT_MAX);
  size_t dark = 0;
  for (unsigned char p : paper) dark += p;
  EXPECT_EQ(dark, 1u);
  EXPECT_EQ(paper[(size_t)(side / 2) * side + side / 2], 1);
}

TEST(AdaptiveBinarize, CleansASymbolUnderUnevenLight) {
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 9;
  draw.quietPixels = 24;
  draw.dark = 20;
  draw.light = 235;
  ModuleMatrix matrix;
  SymbolOptions options;
  options.columns = 4;
  ASSERT_TRUE(encodeSymbol("Read me in the shade, and then in the sun: 0123456789", options, &matrix));
  GrayPicture symbol = drawSymbol(matrix, draw);
  const int width = symbol.width, height = symbol.height;
  std::vector<unsigned char> ideal(symbol.pixels.size());
  for (size_t i = 0; i < ideal.size(); i++) ideal[i] = symbol.pixels[i] < 128;

  // Light falls from the right: 15% at the far left, full at the right,
  // a little less at the top; glare brightens the right side further; plus
  // some sensor noise.
  std::mt19937 random(17);
  std::vector<unsigned char> lit(ideal.size());
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      double light = 0.15 + 0.85 * (0.75 * x / (width - 1) + 0.25 * y / (height - 1));
      double glare = 90.0 * x * x / ((double)width * width);
      double value = symbol.pixels[(size_t)y * width + x] * light + glare + (int)(random() % 5) - 2;
      lit[(size_t)y * width + x] = (unsigned char)std::min(255.0, std::max(0.0, std::round(value)));
    }

  // No single threshold can separate this picture.
  size_t bestGlobal = ideal.size();
  for (int threshold = 0; threshold < 256; threshold++) {
    size_t wrong = 0;
    for (size_t i = 0; i < lit.size(); i++) wrong += (lit[i] < threshold) != ideal[i];
    bestGlobal = std::min(bestGlobal, wrong);
  }
  EXPECT_GT(bestGlobal, ideal.size() / 20);

  adaptiveBinarize(lit.data(), width, height, 16 * draw.modulePixels + 1);
  size_t wrong = 0;
  for (size_t i = 0; i < lit.size(); i++) {
    ASSERT_LE(lit[i], 1);
    wrong += lit[i] != ideal[i];
  }
  EXPECT_LT(wrong, ideal.size() / 500) << wrong << " of " << ideal.size();
}
