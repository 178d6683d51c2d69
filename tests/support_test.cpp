#include <gtest/gtest.h>

#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

// The drawing helpers are what every round trip stands on: check that the
// encoder's symbol has the start and stop patterns where PDF417 puts them and
// that its codewords read back.
TEST(SymbolPictures, EncodedSymbolHasStartAndStopPatterns) {
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("HELLO", SymbolOptions{}, &symbol));
  const char* start = "11111111010101000";
  const char* stop = "111111101000101001";
  for (int r = 0; r < symbol.rows; r++) {
    for (int m = 0; m < 17; m++) EXPECT_EQ(symbol.at(r, m), start[m] - '0');
    for (int m = 0; m < 18; m++) EXPECT_EQ(symbol.at(r, symbol.width - 18 + m), stop[m] - '0');
  }
  std::vector<int> codewords = symbolCodewords(symbol);
  ASSERT_FALSE(codewords.empty());
  EXPECT_GE(codewords[0], 2);
}

TEST(SymbolPictures, QuarterTurnsSwapTheSides) {
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("A", SymbolOptions{}, &symbol));
  DrawOptions draw;
  GrayPicture upright = drawSymbol(symbol, draw);
  draw.rotation = 90;
  GrayPicture turned = drawSymbol(symbol, draw);
  EXPECT_EQ(turned.width, upright.height);
  EXPECT_EQ(turned.height, upright.width);
}
