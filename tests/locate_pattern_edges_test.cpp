#include <gtest/gtest.h>

#include <vector>

#include "locate/pattern_edges.h"
#include "support/symbol_pictures.h"

TEST(PatternEdges, TiltAndOneSidedSymbols) {
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("Pattern edges over every row", SymbolOptions{}, &symbol));
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 12;
  GrayPicture picture = drawSymbol(symbol, draw);
  // Shear the picture by one pixel every ten rows: edges lean by 0.1.
  std::vector<unsigned char> binary((size_t)picture.width * 2 * picture.height, 0);
  int width = picture.width * 2;
  for (int y = 0; y < picture.height; y++)
    for (int x = 0; x < picture.width; x++)
      binary[(size_t)y * width + x + y / 10] = picture.pixels[(size_t)y * picture.width + x] < 128;
  SymbolEdges edges;
  ASSERT_EQ(findSymbolEdges(binary.data(), width, picture.height, &edges), 2);
  EXPECT_NEAR(edges.start.slope, 0.1, 0.01);
  EXPECT_NEAR(edges.stop.slope, 0.1, 0.01);
  EXPECT_NEAR(edges.start.moduleWidth, 3.0, 0.2);
  EXPECT_NEAR(edgeColumn(edges.start, draw.quietPixels), draw.quietPixels + 17 * 3 + 2, 1.5);

  // The right half cut away: only the start pattern's edge remains.
  for (int y = 0; y < picture.height; y++)
    for (int x = picture.width / 2; x < width; x++) binary[(size_t)y * width + x] = 0;
  ASSERT_EQ(findSymbolEdges(binary.data(), width, picture.height, &edges), 1);
  EXPECT_GT(edges.start.rows, 0);
  EXPECT_EQ(edges.stop.rows, 0);
}
