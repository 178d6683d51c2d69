// The scan for start and stop patterns and the trails built from it: edges
// at sub-pixel positions, both ways along a line, and the tilt of a leaning
// symbol from its trail.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "locate/pattern_scan.h"
#include "locate/pattern_trails.h"
#include "locate/run_matching.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

// A line of gray values holding the given module widths (first dark) at
// `module` pixels each from `start`, with each edge's pixel shaded by how
// much of it the bar covers.
std::vector<unsigned char> drawLine(const std::vector<int>& widths, double start, double module, int length) {
  std::vector<double> dark(length, 0.0);
  double x = start;
  for (size_t k = 0; k < widths.size(); k++) {
    double end = x + widths[k] * module;
    if (k % 2 == 0)
      for (int p = 0; p < length; p++) dark[p] += std::fmax(0.0, std::fmin(end, p + 1.0) - std::fmax(x, (double)p));
    x = end;
  }
  std::vector<unsigned char> line(length);
  for (int p = 0; p < length; p++) line[p] = (unsigned char)std::lround(230 - 200 * dark[p]);
  return line;
}

std::vector<PatternHit> scan(const std::vector<unsigned char>& line) {
  std::vector<PatternHit> room(16);
  HitList hits = {room.data(), (int)room.size(), 0};
  std::vector<unsigned char> thresholds(line.size(), 130);
  std::vector<int> starts(line.size() + 1);
  pattern_scan::scanRuns(line.data(), (int)line.size(), pattern_scan::PixelThresholds{thresholds.data()}, 7.5f,
                         kScanRows, kGlobalThreshold, starts.data(), &hits);
  room.resize(hits.count);
  return room;
}

}  // namespace

TEST(PatternScan, EdgesAtSubPixelPositionsBothWaysAlongTheLine) {
  // Start pattern, then a codeword-like bar, at 2.3 pixels a module from 10.4.
  std::vector<unsigned char> line = drawLine({8, 1, 1, 1, 1, 1, 1, 3, 4}, 10.4, 2.3, 120);
  std::vector<PatternHit> hits = scan(line);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].kind, kStartPatternKind);
  EXPECT_FALSE(hits[0].reversed);
  EXPECT_NEAR(hits[0].outer, 10.4, 0.15);
  EXPECT_NEAR(hits[0].inner, 10.4 + 17 * 2.3, 0.15);
  EXPECT_EQ(hits[0].line, 7.5f);

  // The same line read backwards: a reversed start pattern.
  std::vector<unsigned char> backwards(line.rbegin(), line.rend());
  hits = scan(backwards);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_TRUE(hits[0].reversed);
  EXPECT_NEAR(hits[0].inner, 120 - (10.4 + 17 * 2.3), 0.15);

  // A stop pattern after a codeword-like bar.
  hits = scan(drawLine({3, 2, 7, 1, 1, 3, 1, 1, 1, 2, 1}, 5.0, 1.6, 60));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].kind, kStopPatternKind);
  EXPECT_NEAR(hits[0].inner, 5.0 + 5 * 1.6, 0.15);
}

TEST(PatternScan, PatternFoundWhereverItLiesAlongTheLine) {
  // Lines are compared many pixels at a time, with the rest one by one:
  // every edge must come out the same across those steps' borders.
  for (double start = 0.6; start < 70; start += 1.37) {
    std::vector<PatternHit> hits = scan(drawLine({8, 1, 1, 1, 1, 1, 1, 3, 4}, start, 1.9, 113));
    ASSERT_EQ(hits.size(), 1u) << "start " << start;
    EXPECT_NEAR(hits[0].outer, start, 0.15) << "start " << start;
    EXPECT_NEAR(hits[0].inner, start + 17 * 1.9, 0.15) << "start " << start;
  }
}

TEST(PatternScan, ModulesTooNarrowOrRunsOffPatternFindNothing) {
  EXPECT_TRUE(scan(drawLine({8, 1, 1, 1, 1, 1, 1, 3}, 3.0, 0.5, 40)).empty());
  EXPECT_TRUE(scan(drawLine({8, 1, 1, 2, 1, 1, 1, 3}, 3.0, 2.0, 60)).empty());
  EXPECT_TRUE(scan(std::vector<unsigned char>(80, 40)).empty());
}

TEST(PatternTrails, LeaningSymbolGivesTwoTrailsWithItsTilt) {
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("Trails along the pattern edges", SymbolOptions{}, &symbol));
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 12;
  GrayPicture picture = drawSymbol(symbol, draw);
  // Shear by one pixel every ten rows: the edges lean by 0.1.
  GrayPicture sheared = blankPicture(picture.width + picture.height / 10 + 1, picture.height);
  for (int y = 0; y < picture.height; y++)
    for (int x = 0; x < picture.width; x++)
      sheared.pixels[(size_t)y * sheared.width + x + y / 10] = picture.pixels[(size_t)y * picture.width + x];
  std::vector<PatternHit> room(4096);
  HitList hits = {room.data(), (int)room.size(), 0};
  ScanSettings settings = {2, 1 << kGlobalThreshold, 128, 63, 0, nullptr};
  ASSERT_TRUE(scanForPatterns(sheared.pixels.data(), sheared.width, sheared.height, settings, &hits));
  std::vector<PatternTrail> trails(16);
  int count = findTrails(hits.hits, hits.count, settings.step, trails.data(), (int)trails.size());
  // The two longest are the edges of the start and the stop pattern.
  ASSERT_GE(count, 2);
  EXPECT_NE(trails[0].kind, trails[1].kind);
  for (int i = 0; i < 2; i++) {
    EXPECT_EQ(trails[i].direction, kScanRows);
    EXPECT_NEAR(trails[i].slope, 0.1, 0.01);
    EXPECT_NEAR(trails[i].moduleAlong, 3.0, 0.1);
    EXPECT_GT(trails[i].lastLine - trails[i].firstLine, picture.height - 2 * draw.quietPixels - 8);
  }
  const PatternTrail& start = trails[0].kind == kStartPatternKind ? trails[0] : trails[1];
  EXPECT_NEAR(trailInner(start, 100.5), draw.quietPixels + 17 * 3 + 10, 1.0);
}
