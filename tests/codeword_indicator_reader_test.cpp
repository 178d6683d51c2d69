#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codeword/indicator_reader.h"
#include "codeword/pattern_table.h"
#include "support/symbol_pictures.h"

namespace {

// A symbol's modules between its start and stop patterns, drawn as a 0/1
// grid the way the reader takes it: two light modules of margin on each
// side, modulePixels per module, rowPixels grid rows per symbol row.
std::vector<unsigned char> readerGrid(const ModuleMatrix& symbol, int modulePixels, int rowPixels,
                                      int* width, int* height) {
  int modules = symbol.width - 17 - 18 + 4;
  *width = modules * modulePixels;
  *height = symbol.rows * rowPixels;
  std::vector<unsigned char> grid((size_t)*width * *height, 0);
  for (int y = 0; y < *height; y++)
    for (int m = 2; m < modules - 2; m++)
      if (symbol.at(y / rowPixels, 17 + m - 2))
        for (int p = 0; p < modulePixels; p++) grid[(size_t)y * *width + m * modulePixels + p] = 1;
  return grid;
}

}  // namespace

TEST(IndicatorReader, ReadsEveryPatternWithItsCluster) {
  // Each table pattern drawn at 4 pixels a module, with a light pixel after.
  for (int i = 0; i < kPatternTableSize; i += 7) {
    std::vector<unsigned char> row(17 * 4 + 8, 0);
    for (int m = 0; m < 17; m++)
      if (codewordPatternKeys[i] >> (16 - m) & 1)
        for (int p = 0; p < 4; p++) row[2 + m * 4 + p] = 1;
    row[2 + 17 * 4] = 1;  // the next codeword's first bar
    EXPECT_EQ(readPatternAt(row.data(), (int)row.size(), 2, 68), codewordPatternValues[i]) << i;
  }
}

TEST(IndicatorReader, LayoutAndCodewordsOfASymbol) {
  SymbolOptions options;
  options.columns = 4;
  options.eccLevel = 3;
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("Row indicators tell rows, columns and level", options, &symbol));
  int width = 0, height = 0;
  std::vector<unsigned char> grid = readerGrid(symbol, 4, 6, &width, &height);
  GridReading* reading = new GridReading;
  clearReading(reading, 6);
  readGrid(grid.data(), width, height, 6, 4, kBothIndicators, nullptr, reading);
  SymbolLayout layout;
  ASSERT_TRUE(layoutFromIndicators(reading, &layout));
  EXPECT_EQ(layout.rows, symbol.rows);
  EXPECT_EQ(layout.columns, 4);
  EXPECT_EQ(layout.level, 3);
  std::vector<int> codewords(kMaxSymbolRows * kMaxDataColumns), erasures(kMaxSymbolRows * kMaxDataColumns);
  int erasureCount = -1;
  int n = assembleCodewords(reading, &layout, codewords.data(), erasures.data(), &erasureCount);
  codewords.resize(n < 0 ? 0 : n);
  EXPECT_EQ(codewords, symbolCodewords(symbol));
  EXPECT_EQ(erasureCount, 0);
  delete reading;
}

TEST(IndicatorReader, RowsNeverSeenAreErasuresInPlace) {
  SymbolOptions options;
  options.columns = 3;
  options.eccLevel = 4;
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("Some rows are blotted out by a stroke of ink across the symbol", options, &symbol));
  int width = 0, height = 0;
  std::vector<unsigned char> grid = readerGrid(symbol, 4, 6, &width, &height);
  // Rows 4 and 5 of the symbol covered by solid ink.
  for (int y = 4 * 6; y < 6 * 6; y++)
    for (int x = 0; x < width; x++) grid[(size_t)y * width + x] = 1;
  GridReading* reading = new GridReading;
  clearReading(reading, 5);
  readGrid(grid.data(), width, height, 5, 4, kBothIndicators, nullptr, reading);
  SymbolLayout layout;
  ASSERT_TRUE(layoutFromIndicators(reading, &layout));
  std::vector<int> codewords(kMaxSymbolRows * kMaxDataColumns), erasures(kMaxSymbolRows * kMaxDataColumns);
  int erasureCount = 0;
  int n = assembleCodewords(reading, &layout, codewords.data(), erasures.data(), &erasureCount);
  std::vector<int> expected = symbolCodewords(symbol);
  ASSERT_EQ(n, (int)expected.size());
  EXPECT_EQ(erasureCount, 6);
  for (int i = 0; i < n; i++) EXPECT_EQ(codewords[i], i / 3 == 4 || i / 3 == 5 ? -1 : expected[i]) << i;
  delete reading;
}

TEST(IndicatorReader, HostileGridsStayInBounds) {
  std::mt19937 random(3);
  GridReading* reading = new GridReading;
  for (int trial = 0; trial < 40; trial++) {
    int width = 1 + random() % 300, height = 1 + random() % 40, columns = (int)(random() % 40) - 2;
    std::vector<unsigned char> grid((size_t)width * height);
    for (unsigned char& v : grid) v = random() % 3 ? 0 : 1;
    clearReading(reading, columns);
    readGrid(grid.data(), width, height, columns, 1 + random() % 8, kBothIndicators, nullptr, reading);
    SymbolLayout layout;
    layoutFromIndicators(reading, &layout);
    EXPECT_EQ(readPatternAt(grid.data(), width, width + 5, 68), 0);
  }
  delete reading;
}
