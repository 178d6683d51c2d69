#include <gtest/gtest.h>

#include <set>

#include "ecc/gf929.h"

using namespace pdf417read::detail;

TEST(Gf929, PowersAndLogarithmsOfThree) {
  buildGfTables();
  EXPECT_EQ(gfExp[0], 1);
  EXPECT_EQ(gfExp[1], 3);
  EXPECT_EQ(gfExp[464], 928);  // 3^464 = -1
  EXPECT_EQ(gfExp[928], 1);
  EXPECT_EQ(gfLog[1], 0);
  EXPECT_EQ(gfLog[3], 1);
  EXPECT_EQ(gfLog[928], 464);
  EXPECT_EQ(gfLog[0], logZero);
  EXPECT_EQ(gfLog[929], logZero);
}

TEST(Gf929, ThreeGeneratesTheWholeGroup) {
  buildGfTables();
  std::set<int> seen(gfExp, gfExp + 928);
  EXPECT_EQ(seen.size(), 928u);
  EXPECT_EQ(*seen.begin(), 1);
  EXPECT_EQ(*seen.rbegin(), 928);
  for (int v = 1; v <= 928; v++) EXPECT_EQ(gfExp[gfLog[v]], v) << v;
}
