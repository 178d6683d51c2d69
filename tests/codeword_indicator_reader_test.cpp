#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codeword/indicator_reader.h"
#include "codeword/pattern_table.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

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

struct Assembled {
  bool layoutFound = false;
  SymbolLayout layout{};
  std::vector<int> codewords;
  int erasureCount = -1;
};

// Reads a grid of gridColumns columns (4 pixels a module) and assembles its
// codewords by the layout its indicators give.
Assembled readAndAssemble(const std::vector<unsigned char>& grid, int width, int height, int gridColumns) {
  Assembled out;
  GridReading* reading = new GridReading;
  clearReading(reading, gridColumns);
  readGrid(grid.data(), width, height, gridColumns, 4, kBothIndicators, nullptr, reading);
  out.layoutFound = layoutFromIndicators(reading, &out.layout);
  if (out.layoutFound) {
    std::vector<int> erasures(kMaxSymbolRows * kMaxDataColumns);
    out.codewords.resize(kMaxSymbolRows * kMaxDataColumns);
    int n = assembleCodewords(reading, &out.layout, out.codewords.data(), erasures.data(), &out.erasureCount);
    out.codewords.resize(n < 0 ? 0 : n);
  }
  delete reading;
  return out;
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
  Assembled read = readAndAssemble(grid, width, height, 6);
  ASSERT_TRUE(read.layoutFound);
  EXPECT_EQ(read.layout.rows, symbol.rows);
  EXPECT_EQ(read.layout.columns, 4);
  EXPECT_EQ(read.layout.level, 3);
  EXPECT_EQ(read.codewords, symbolCodewords(symbol));
  EXPECT_EQ(read.erasureCount, 0);
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
  Assembled read = readAndAssemble(grid, width, height, 5);
  ASSERT_TRUE(read.layoutFound);
  std::vector<int> expected = symbolCodewords(symbol);
  ASSERT_EQ(read.codewords.size(), expected.size());
  EXPECT_EQ(read.erasureCount, 6);
  for (size_t i = 0; i < expected.size(); i++)
    EXPECT_EQ(read.codewords[i], i / 3 == 4 || i / 3 == 5 ? -1 : expected[i]) << i;
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
