#include <gtest/gtest.h>

#include "locate/edge_lines.h"

using namespace pdf417read::detail;

namespace {

struct Line {
  float a, b, c;
};

Line through(int x1, int y1, int x2, int y2) {
  const int p1[2] = {x1, y1}, p2[2] = {x2, y2};
  Line line;
  lineThroughPoints(p1, p2, &line.a, &line.b, &line.c);
  return line;
}

float columnOnRow(const Line& line, int y) { return -(line.b * y + line.c) / line.a; }

}  // namespace

TEST(EdgeLines, VerticalHorizontalAndSlantedForms) {
  Line vertical = through(5, 10, 5, 40);
  EXPECT_EQ(vertical.a, 1.0f);
  EXPECT_EQ(vertical.b, 0.0f);
  EXPECT_EQ(vertical.c, -5.0f);
  for (int y : {0, 10, 77}) EXPECT_EQ(columnOnRow(vertical, y), 5.0f);

  Line slanted = through(10, 0, 20, 100);
  EXPECT_EQ(slanted.a, -10.0f);
  EXPECT_EQ(slanted.b, 1.0f);
  EXPECT_EQ(slanted.c, 100.0f);
  EXPECT_EQ(columnOnRow(slanted, 50), 15.0f);

  Line horizontal = through(3, 8, 30, 8);
  EXPECT_EQ(horizontal.a, 0.0f);
  EXPECT_EQ(horizontal.b, 1.0f);
  EXPECT_EQ(horizontal.c, -8.0f);

  Line samePoint = through(7, 9, 7, 9);  // taken as the horizontal line
  EXPECT_EQ(samePoint.a, 0.0f);
  EXPECT_EQ(samePoint.b, 1.0f);
  EXPECT_EQ(samePoint.c, -9.0f);
}

TEST(EdgeLines, SlantedLinesPassThroughBothPoints) {
  const int points[][4] = {{0, 0, 3, 4}, {120, 15, 100, 300}, {640, 5, 655, 470}, {1, 479, 639, 0}};
  for (const auto& p : points) {
    Line line = through(p[0], p[1], p[2], p[3]);
    EXPECT_EQ(line.b, 1.0f);
    EXPECT_NEAR(columnOnRow(line, p[1]), p[0], 1e-3);
    EXPECT_NEAR(columnOnRow(line, p[3]), p[2], 1e-3);
  }
}

TEST(EdgeLines, Distance) {
  const int origin[2] = {0, 0}, p[2] = {3, 4}, q[2] = {-3, -4}, far[2] = {32767, 32767};
  EXPECT_EQ(pointDistance(origin, p), 5.0);
  EXPECT_EQ(pointDistance(p, origin), 5.0);
  EXPECT_EQ(pointDistance(p, p), 0.0);
  EXPECT_EQ(pointDistance(q, p), 10.0);
  EXPECT_NEAR(pointDistance(origin, far), 32767 * 1.4142135623730951, 1e-6);
}
