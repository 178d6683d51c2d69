#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "locate/binarize.h"
#include "locate/start_stop_search.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

const char* START_MODULES = "11111111010101000";
const char* STOP_MODULES = "111111101000101001";

// A binarised row: '1' modules dark, '0' light, each `scale` pixels wide.
void appendModules(std::vector<unsigned char>* row, const std::string& modules, int scale) {
  for (char m : modules)
    for (int p = 0; p < scale; p++) row->push_back(m == '1' ? 1 : 0);
}

// Light pixels, then the modules, then one pixel of the other colour that
// closes the pattern's last run, then light pixels.
std::vector<unsigned char> rowWith(int lead, const std::string& modules, int scale, int tail = 5) {
  std::vector<unsigned char> row(lead, 0);
  appendModules(&row, modules, scale);
  row.push_back(modules.back() == '1' ? 0 : 1);
  row.insert(row.end(), tail, 0);
  return row;
}

// The searches with their results as values: none when nothing was found.
std::optional<PatternSpan> scanRow(const unsigned char* pixels, int width, int row, int firstX,
                                   int scanLength, int terminator, const int* pattern, int count) {
  PatternSpan span;
  if (!scanRowForPattern(pixels, width, row, firstX, scanLength, terminator, pattern, count, &span))
    return std::nullopt;
  return span;
}

std::optional<StartStopCorners> searchUpright(const unsigned char* pixels, int width, int height) {
  StartStopCorners corners;
  if (!findStartStopUpright(pixels, width, height, &corners)) return std::nullopt;
  return corners;
}

std::optional<StartStopCorners> searchRotated(const unsigned char* pixels, int width, int height) {
  StartStopCorners corners;
  if (!findStartStopRotated(pixels, width, height, &corners)) return std::nullopt;
  return corners;
}

std::optional<PatternSpan> scanWhole(const std::vector<unsigned char>& row, const int* pattern, int count,
                       int terminator = 0) {
  return scanRow(row.data(), (int)row.size(), 0, 0, (int)row.size(), terminator,
                           pattern, count);
}

}  // namespace

TEST(PatternScore, PerRunLimit) {
  // 20 pixels per module; the total stays at 17 modules, so one run that is
  // 0.85 of a module too wide fails alone although the average is small.
  const int perfect[8] = {160, 20, 20, 20, 20, 20, 20, 60};
  EXPECT_EQ(patternScore(perfect, startPattern, 8, 204), 0);
  const int offByFifteenTwentieths[8] = {153, 35, 20, 20, 20, 20, 20, 52};
  EXPECT_EQ(patternScore(offByFifteenTwentieths, startPattern, 8, 204), 22);
  const int offBySeventeenTwentieths[8] = {151, 37, 20, 20, 20, 20, 20, 52};
  EXPECT_EQ(patternScore(offBySeventeenTwentieths, startPattern, 8, 204), 32767);
}

TEST(PatternScore, SummedLimitAndShortWindows) {
  // Ten one-module runs each 0.6 of a module off: every run is within its
  // limit but the summed deviation (153/256 per module) is not.
  const int ones[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  const int wobbly[10] = {32, 8, 32, 8, 32, 8, 32, 8, 32, 8};
  EXPECT_EQ(patternScore(wobbly, ones, 10, 204), 153);
  std::vector<unsigned char> row(3, 0);
  for (int k = 0; k < 5; k++) appendModules(&row, std::string(32, '1') + std::string(8, '0'), 1);
  row.push_back(1);
  EXPECT_EQ(scanWhole(row, ones, 10), std::nullopt);

  // 16 pixels cannot hold the 17 modules of the start pattern.
  const int tooShort[8] = {8, 1, 1, 1, 1, 1, 1, 2};
  EXPECT_EQ(patternScore(tooShort, startPattern, 8, 204), 32767);
  EXPECT_EQ(scanWhole(rowWith(4, "1111111101010100", 1), startPattern, 8), std::nullopt);
}

TEST(ScanRow, FindsThePatternBetweenLightPixels) {
  std::vector<unsigned char> row = rowWith(7, START_MODULES, 3);
  std::optional<PatternSpan> span = scanWhole(row, startPattern, 8);
  ASSERT_NE(span, std::nullopt);
  EXPECT_EQ(span->first, 7);
  EXPECT_EQ(span->end, 7 + 17 * 3);

  row = rowWith(0, STOP_MODULES, 2);  // starts right at the row's first pixel
  span = scanWhole(row, stopPattern, 9);
  ASSERT_NE(span, std::nullopt);
  EXPECT_EQ(span->first, 0);
  EXPECT_EQ(span->end, 18 * 2);
}

TEST(ScanRow, LeftmostPassingWindowWins) {
  std::vector<unsigned char> row(4, 0);
  appendModules(&row, "111111001010101000", 3);  // 6-module bar: rejected
  appendModules(&row, START_MODULES, 2);
  appendModules(&row, "1000", 2);
  int second = (int)row.size();
  appendModules(&row, START_MODULES, 3);
  row.push_back(1);
  std::optional<PatternSpan> span = scanWhole(row, startPattern, 8);
  ASSERT_NE(span, std::nullopt);
  EXPECT_EQ(span->first, 4 + 18 * 3);
  EXPECT_EQ(span->end, 4 + 18 * 3 + 34);

  // From the end of the first pattern on, the second one is found.
  span = scanRow(row.data(), (int)row.size(), 0, span->end, 1000, 0, startPattern, 8);
  ASSERT_NE(span, std::nullopt);
  EXPECT_EQ(span->first, second);
}

TEST(ScanRow, PatternMustBeClosedInsideTheRange) {
  // Nothing after the last bar of the stop pattern: never reported.
  std::vector<unsigned char> row(5, 0);
  appendModules(&row, STOP_MODULES, 2);
  EXPECT_EQ(scanWhole(row, stopPattern, 9), std::nullopt);
  // The same with a light pixel after it is found; cutting the range just
  // before that pixel loses it again.
  row.push_back(0);
  ASSERT_NE(scanWhole(row, stopPattern, 9), std::nullopt);
  int width = (int)row.size();
  EXPECT_EQ(scanRow(row.data(), width, 0, 0, width - 1, 0, stopPattern, 9), std::nullopt);
}

TEST(ScanRow, RangeIsClippedToTheRow) {
  // Rows 0 and 2 are guards; only row 1 is scanned, with ranges that reach
  // past both ends. Under the sanitizers an overrun of the whole buffer fails.
  std::vector<unsigned char> row = rowWith(3, START_MODULES, 2, 0);
  int width = (int)row.size();
  std::vector<unsigned char> rows(3 * (size_t)width, 1);
  std::copy(row.begin(), row.end(), rows.begin() + width);
  const unsigned char* pixels = rows.data();
  std::optional<PatternSpan> span = scanRow(pixels, width, 1, -50, 1000, 0, startPattern, 8);
  ASSERT_NE(span, std::nullopt);
  EXPECT_EQ(span->first, 3);
  EXPECT_EQ(span->end, 3 + 34);
  EXPECT_EQ(scanRow(pixels, width, 1, -2000000000, 2000000000, 0, startPattern, 8),
            std::nullopt);
  EXPECT_NE(scanRow(pixels, width, 1, 0, 2147483647, 0, startPattern, 8), std::nullopt);
  EXPECT_EQ(scanRow(pixels, width, 1, width, 100, 0, startPattern, 8), std::nullopt);
  EXPECT_EQ(scanRow(pixels, width, 1, 3, -5, 0, startPattern, 8), std::nullopt);
  EXPECT_EQ(scanRow(pixels, width, -1, 0, width, 0, startPattern, 8), std::nullopt);
  EXPECT_EQ(scanRow(pixels, width, 1, 0, width, 0, startPattern, 11), std::nullopt);
}

TEST(ScanRow, LightFirstRunWithTerminatorOne) {
  std::vector<unsigned char> row(6, 1);  // a dark lead: the light run starts after it
  appendModules(&row, "00010101011111111", 2);
  row.push_back(0);
  std::optional<PatternSpan> span = scanWhole(row, startPatternReversed, 8, 1);
  ASSERT_NE(span, std::nullopt);
  EXPECT_EQ(span->first, 6);
  EXPECT_EQ(span->end, 6 + 34);
}

TEST(StartStopSearch, BottomRowsStopAtRowOne) {
  std::vector<unsigned char> row(4, 0);
  appendModules(&row, START_MODULES, 2);
  appendModules(&row, "1000000000", 2);
  appendModules(&row, STOP_MODULES, 2);
  row.insert(row.end(), 4, 0);
  int width = (int)row.size();
  std::vector<unsigned char> picture(3 * (size_t)width, 0);
  std::copy(row.begin(), row.end(), picture.begin());
  EXPECT_EQ(searchUpright(picture.data(), width, 3), std::nullopt);
  EXPECT_EQ(searchUpright(picture.data(), width, 1), std::nullopt);
  std::copy(row.begin(), row.end(), picture.begin() + width);
  std::optional<StartStopCorners> corners = searchUpright(picture.data(), width, 3);
  ASSERT_NE(corners, std::nullopt);
  const int expected[16] = {4, 0, 4, 1, 4 + 2 * 45, 0, 4 + 2 * 45, 1,
                            4 + 34, 0, 4 + 34, 1, 4 + 2 * 27, 0, 4 + 2 * 27, 1};
  for (int k = 0; k < 16; k++) EXPECT_EQ(corners->entries[k], expected[k]) << "entry " << k;
}

namespace {

struct DrawnSymbol {
  ModuleMatrix symbol;
  GrayPicture picture;
  DrawOptions draw;
};

DrawnSymbol binarisedSymbol(const std::string& data, int rotation, unsigned char dark,
                            unsigned char light) {
  DrawnSymbol d;
  EXPECT_TRUE(encodeSymbol(data, SymbolOptions{}, &d.symbol));
  d.draw.rotation = rotation;
  d.draw.dark = dark;
  d.draw.light = light;
  d.picture = drawSymbol(d.symbol, d.draw);
  binarizeImage(d.picture.pixels.data(), d.picture.width, d.picture.height);
  return d;
}

// Where the pattern edges lie in the upright drawing: the start pattern's
// outer and inner edge, the stop pattern's inner and outer edge, the top and
// bottom pixel rows of the symbol.
struct Edges {
  int startOuter, startInner, stopInner, stopOuter, top, bottom;
};

Edges uprightEdges(const DrawnSymbol& d) {
  int q = d.draw.quietPixels, m = d.draw.modulePixels;
  return {q, q + 17 * m, q + (d.symbol.width - 18) * m, q + d.symbol.width * m, q,
          q + d.symbol.rows * d.draw.rowPixels - 1};
}

}  // namespace

TEST(StartStopSearch, UprightZintSymbols) {
  const char* texts[] = {"PDF417", "Hello, world! 1234567890",
                         "A longer message that needs several rows and columns to hold."};
  for (const char* text : texts) {
    for (int contrast = 0; contrast < 2; contrast++) {
      DrawnSymbol d = contrast ? binarisedSymbol(text, 0, 40, 210) : binarisedSymbol(text, 0, 0, 255);
      Edges e = uprightEdges(d);
      std::optional<StartStopCorners> corners =
          searchUpright(d.picture.pixels.data(), d.picture.width, d.picture.height);
      ASSERT_NE(corners, std::nullopt) << text;
      const int expected[16] = {e.startOuter, e.top,    e.startOuter, e.bottom,
                                e.stopOuter,  e.top,    e.stopOuter,  e.bottom,
                                e.startInner, e.top,    e.startInner, e.bottom,
                                e.stopInner,  e.top,    e.stopInner,  e.bottom};
      for (int k = 0; k < 16; k++)
        EXPECT_EQ(corners->entries[k], expected[k]) << text << " entry " << k;
    }
  }
}

TEST(StartStopSearch, ZintSymbolsTurnedHalfway) {
  const char* texts[] = {"PDF417", "Hello, world! 1234567890",
                         "A longer message that needs several rows and columns to hold."};
  for (const char* text : texts) {
    DrawnSymbol d = binarisedSymbol(text, 180, 0, 255);
    const unsigned char* pixels = d.picture.pixels.data();
    int width = d.picture.width, height = d.picture.height;
    // A turn by 180 degrees sends column x to width - 1 - x, so an edge
    // between upright columns x - 1 and x lies at column width - x.
    Edges e = uprightEdges(d);
    int top = height - 1 - e.top, bottom = height - 1 - e.bottom;
    std::optional<StartStopCorners> corners = searchRotated(pixels, width, height);
    ASSERT_NE(corners, std::nullopt) << text;
    const int expected[16] = {width - e.startOuter, top,    width - e.startOuter, bottom,
                              width - e.stopOuter,  top,    width - e.stopOuter,  bottom,
                              width - e.startInner, top,    width - e.startInner, bottom,
                              width - e.stopInner,  top,    width - e.stopInner,  bottom};
    for (int k = 0; k < 16; k++)
      EXPECT_EQ(corners->entries[k], expected[k]) << text << " entry " << k;
  }
}

TEST(StartStopSearch, EmptyPicturesAreNotFound) {
  std::vector<unsigned char> light(50 * 20, 0);
  EXPECT_EQ(searchUpright(light.data(), 50, 20), std::nullopt);
  EXPECT_EQ(searchRotated(light.data(), 50, 20), std::nullopt);
  EXPECT_EQ(searchUpright(light.data(), 0, 20), std::nullopt);
  EXPECT_EQ(searchRotated(light.data(), 1, 20), std::nullopt);
}
