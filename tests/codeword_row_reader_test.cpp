#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codeword/pattern_table.h"
#include "codeword/row_reader.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

typedef std::vector<unsigned char> Modules;  // 1 = bar, one entry per module

Modules modulesFromWidths(const std::vector<int>& widths) {
  Modules modules;
  for (size_t e = 0; e < widths.size(); e++) modules.insert(modules.end(), widths[e], e % 2 == 0);
  return modules;
}

// The 17 modules of a codeword in cluster 0, 3 or 6, taken from the table.
Modules codewordModules(int cluster, int codeword) {
  int value = cluster / 3 * 929 + codeword + 1;
  for (int i = 0; i < kPatternTableSize; i++) {
    if (codewordPatternValues[i] != value) continue;
    Modules modules;
    for (int bit = 16; bit >= 0; bit--) modules.push_back((codewordPatternKeys[i] >> bit) & 1);
    return modules;
  }
  ADD_FAILURE() << "no pattern for codeword " << codeword;
  return Modules(17, 0);
}

const Modules kStartPattern = modulesFromWidths({8, 1, 1, 1, 1, 1, 1, 3});
const Modules kStopPattern = modulesFromWidths({7, 1, 1, 3, 1, 1, 1, 2, 1});
const Modules kUnreadable = kStartPattern;  // 17 modules, not a codeword

// One symbol row: left indicator, data codewords, right indicator, all in
// the cluster of the row. A value of -1 draws an unreadable pattern.
Modules symbolRow(int row, int left, const std::vector<int>& data, int right) {
  int cluster = 3 * (row % 3);
  Modules modules;
  auto append = [&](int codeword) {
    Modules m = codeword < 0 ? kUnreadable : codewordModules(cluster, codeword);
    modules.insert(modules.end(), m.begin(), m.end());
  };
  append(left);
  for (int codeword : data) append(codeword);
  append(right);
  return modules;
}

struct Grid {
  int rowLen = 0;
  int rows = 0;
  std::vector<unsigned char> bytes;
};

// Draws each symbol row as rowsPerSymbolRow grid rows with pixelsPerModule
// columns per module, each grid row ending in a light pad byte.
Grid drawGrid(const std::vector<Modules>& symbolRows, int pixelsPerModule, int rowsPerSymbolRow) {
  Grid grid;
  size_t width = 0;
  for (const Modules& row : symbolRows) width = std::max(width, row.size());
  grid.rowLen = (int)width * pixelsPerModule + 1;
  for (const Modules& row : symbolRows) {
    for (int copy = 0; copy < rowsPerSymbolRow; copy++) {
      for (int x = 0; x + 1 < grid.rowLen; x++) {
        size_t module = (size_t)(x / pixelsPerModule);
        grid.bytes.push_back(module < row.size() ? row[module] : 0);
      }
      grid.bytes.push_back(0);
      grid.rows++;
    }
  }
  return grid;
}

struct Reading {
  int result = 0;
  std::vector<int> codewords;
  RowReaderState reader{};  // what the reader learned
};

Reading readGrid(const Grid& grid) {
  Reading reading;
  reading.codewords.assign(kCodewordBufferSize, 12345);
  reading.result =
      detectBStoCW(grid.bytes.data(), grid.rowLen, grid.rows, reading.codewords.data(), &reading.reader);
  return reading;
}

// The buffer the reader should fill: the codewords, then -2 everywhere else.
std::vector<int> filledBuffer(const std::vector<int>& codewords) {
  std::vector<int> buffer(kCodewordBufferSize, -2);
  std::copy(codewords.begin(), codewords.end(), buffer.begin());
  return buffer;
}

// A symbol of random data codewords with the row indicators PDF417 gives
// them for the error-correction level.
struct TableSymbol {
  std::vector<Modules> rows;
  std::vector<int> data;  // all data codewords, in symbol order
};

TableSymbol randomSymbol(int rowCount, int columns, int level, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> codeword(0, 928);
  TableSymbol symbol;
  for (int r = 0; r < rowCount; r++) {
    std::vector<int> data;
    for (int c = 0; c < columns; c++) data.push_back(codeword(random));
    int base = 30 * (r / 3), rowsPart = (rowCount - 1) / 3;
    int levelPart = 3 * level + (rowCount - 1) % 3, columnsPart = columns - 1;
    int left[3] = {rowsPart, levelPart, columnsPart};
    int right[3] = {columnsPart, rowsPart, levelPart};
    symbol.rows.push_back(symbolRow(r, base + left[r % 3], data, base + right[r % 3]));
    symbol.data.insert(symbol.data.end(), data.begin(), data.end());
  }
  return symbol;
}

Grid concatenate(const Grid& top, const Grid& bottom) {
  Grid grid = top;
  grid.rows += bottom.rows;
  grid.bytes.insert(grid.bytes.end(), bottom.bytes.begin(), bottom.bytes.end());
  return grid;
}

}  // namespace

// ---- reading grids drawn from the table ---------------------------------

TEST(RowReader, ReadsGridsAtSeveralScales) {
  const int scales[][2] = {{1, 3}, {2, 3}, {3, 4}, {4, 7}, {7, 5}, {12, 3}};
  unsigned seed = 1;
  for (const auto& scale : scales) {
    SCOPED_TRACE(testing::Message() << scale[0] << " px/module, " << scale[1] << " rows");
    TableSymbol symbol = randomSymbol(7, 4, 2, seed++);
    Reading reading = readGrid(drawGrid(symbol.rows, scale[0], scale[1]));
    EXPECT_EQ(reading.result, 1);
    EXPECT_EQ(reading.codewords, filledBuffer(symbol.data));
    EXPECT_EQ(reading.reader.codewordWritePos, (int)symbol.data.size());
    // Indicators 30q + 6. At one pixel per module the pad byte stretches the
    // last codeword of a row by 1/17, enough to misread the right indicator.
    if (scale[0] > 1) {
      EXPECT_EQ(reading.reader.ecLevel, 1);
    }
  }
}

TEST(RowReader, ToleratesBarsAQuarterModuleWiderOrNarrower) {
  TableSymbol symbol = randomSymbol(6, 5, 3, 77);
  Grid grid = drawGrid(symbol.rows, 4, 5);
  for (int grow : {1, 0}) {
    SCOPED_TRACE(grow ? "wider" : "narrower");
    // Move the right edge of every bar by one pixel.
    Grid changed = grid;
    for (int y = 0; y < grid.rows; y++) {
      const unsigned char* row = &grid.bytes[(size_t)y * grid.rowLen];
      for (int x = 0; x + 1 < grid.rowLen; x++) {
        bool dark = grow ? row[x] || (x > 0 && row[x - 1]) : row[x] && row[x + 1];
        changed.bytes[(size_t)y * grid.rowLen + x] = dark;
      }
    }
    Reading reading = readGrid(changed);
    EXPECT_EQ(reading.result, 1);
    EXPECT_EQ(reading.codewords, filledBuffer(symbol.data));
  }
}

TEST(RowReader, BarEdgesRoundWithinTheirTolerance) {
  // At 100 pixels per module, move bars 1 to 3 of the middle codeword: a
  // bar may start up to 0.56 module early or 0.43 late, and end up to 0.67
  // early or 0.32 late, and still read as drawn.
  const int px = 100;
  const int shifts[][2] = {{-55, 0}, {43, 0}, {0, -66}, {0, 32}, {-55, -66}, {43, 32}};  // start, end
  for (const auto& shift : shifts) {
    SCOPED_TRACE(testing::Message() << shift[0] << " " << shift[1]);
    Modules row = symbolRow(0, 3, {707}, 4);
    Grid grid = drawGrid({row}, px, 3);
    std::vector<int> edges;  // module edges of the middle codeword
    for (int m = 17; m <= 34; m++)
      if (m == 17 || row[m] != row[m - 1]) edges.push_back(m * px);
    for (int y = 0; y < grid.rows; y++) {
      unsigned char* pixels = &grid.bytes[(size_t)y * grid.rowLen];
      for (int bar = 1; bar < 4; bar++) {
        int start = edges[2 * bar], end = edges[2 * bar + 1];
        for (int x = start - px / 2; x < end + px / 2; x++) pixels[x] = 0;
        for (int x = start + shift[0]; x < end + shift[1]; x++) pixels[x] = 1;
      }
    }
    Reading reading = readGrid(grid);
    EXPECT_EQ(reading.result, 1);
    EXPECT_EQ(reading.codewords, filledBuffer({707}));
  }
}

TEST(RowReader, StartAndStopPatternsReadAsUnreadableIndicators) {
  // A row framed by the start and stop patterns: they take the place of the
  // row indicators, which are then stored like data.
  std::vector<Modules> rows;
  std::vector<int> expected;
  for (int r = 0; r < 3; r++) {
    Modules row = kStartPattern;
    Modules inner = symbolRow(r, 10 + r, {100 + r, 200 + r}, 20 + r);
    row.insert(row.end(), inner.begin(), inner.end());
    row.insert(row.end(), kStopPattern.begin(), kStopPattern.end());
    rows.push_back(row);
    expected.insert(expected.end(), {10 + r, 100 + r, 200 + r, 20 + r});
  }
  Reading reading = readGrid(drawGrid(rows, 3, 4));
  EXPECT_EQ(reading.result, 1);
  EXPECT_EQ(reading.codewords, filledBuffer(expected));
  EXPECT_EQ(reading.reader.lastLeftIndicator, -1);
  EXPECT_EQ(reading.reader.lastRightIndicator, -1);
  EXPECT_EQ(reading.reader.ecLevel, -1);
}

TEST(RowReader, UnreadablePatternBecomesAnErasure) {
  std::vector<Modules> rows = {symbolRow(0, 1, {5, 6, 7}, 2), symbolRow(1, 3, {8, -1, 9}, 4),
                               symbolRow(2, 5, {10, 11, -1}, 6)};
  Reading reading = readGrid(drawGrid(rows, 3, 4));
  EXPECT_EQ(reading.result, 1);
  EXPECT_EQ(reading.codewords, filledBuffer({5, 6, 7, 8, -1, 9, 10, 11, -1}));
}

TEST(RowReader, NarrowHoleNearABarEndDoesNotSplitTheBar) {
  // Left indicator 0 of cluster 0 starts with a bar of three modules; at 20
  // pixels per module a hole of one pixel two pixels before the end of a
  // later bar is narrower than 1/15 of it and merges into the next run.
  Modules row = symbolRow(0, 0, {123, 456}, 7);
  Grid grid = drawGrid({row}, 20, 4);
  int barEnd = 17 + 1;  // first codeword after the indicator
  while (row[barEnd]) barEnd++;
  for (int y = 0; y < grid.rows; y++) grid.bytes[(size_t)y * grid.rowLen + barEnd * 20 - 2] = 0;
  Reading reading = readGrid(grid);
  EXPECT_EQ(reading.result, 1);
  EXPECT_EQ(reading.codewords, filledBuffer({123, 456}));
}

// ---- bands --------------------------------------------------------------

TEST(RowReader, TooShortGridsDecodeNothing) {
  std::vector<int> untouched(kCodewordBufferSize, -2);
  Grid oneRow = drawGrid({symbolRow(0, 1, {2, 3}, 4)}, 3, 1);
  Reading reading = readGrid(oneRow);
  EXPECT_EQ(reading.result, -1);
  EXPECT_EQ(reading.codewords, untouched);

  // Two equal rows make a band of one voted row, which is never decoded.
  reading = readGrid(drawGrid({symbolRow(0, 1, {2, 3}, 4)}, 3, 2));
  EXPECT_EQ(reading.result, -1);
  EXPECT_EQ(reading.codewords, untouched);
}

TEST(RowReader, OneRowBandIsOutvotedByTheRowsAfterIt) {
  // The lone voted row of the first symbol row is not decoded on its own;
  // it stays in the band, where the following symbol row outvotes it.
  Grid first = drawGrid({symbolRow(0, 1, {11, 12, 13}, 4)}, 3, 2);
  Grid second = drawGrid({symbolRow(0, 5, {21, 22, 23}, 6)}, 3, 5);
  Reading reading = readGrid(concatenate(first, second));
  EXPECT_EQ(reading.result, 1);
  EXPECT_EQ(reading.codewords, filledBuffer({21, 22, 23}));
}

TEST(RowReader, FailedLastBandFailsTheRead) {
  TableSymbol symbol = randomSymbol(3, 3, 1, 5);
  Modules lonelyBar = modulesFromWidths({0, 10, 4, 5 * 17 - 14});
  Reading reading = readGrid(concatenate(drawGrid(symbol.rows, 2, 4), drawGrid({lonelyBar}, 2, 4)));
  EXPECT_EQ(reading.result, -1);
  // The bands before it are read all the same.
  EXPECT_EQ(reading.codewords, filledBuffer(symbol.data));

  // Blank rows at the bottom form a band without a dark column: it fails too.
  Modules blank(symbol.rows[0].size(), 0);
  reading = readGrid(concatenate(drawGrid(symbol.rows, 2, 4), drawGrid({blank}, 2, 4)));
  EXPECT_EQ(reading.result, -1);
  EXPECT_EQ(reading.codewords, filledBuffer(symbol.data));
}

TEST(RowReader, BandOfOnlyIndicatorsAppendsNothing) {
  std::vector<Modules> rows = {symbolRow(0, 1, {}, 2), symbolRow(1, 33, {}, 4),
                               symbolRow(2, 5, {}, 33)};
  Reading reading = readGrid(drawGrid(rows, 2, 3));
  EXPECT_EQ(reading.result, 1);
  EXPECT_EQ(reading.codewords, filledBuffer({}));
  EXPECT_EQ(reading.reader.codewordWritePos, 0);
  EXPECT_EQ(reading.reader.ecLevel, 0);  // indicators are still read: 33 = 30 + 3
}

// ---- error-correction level ---------------------------------------------

// Three symbol rows (bands 0, 1, 2) with the given indicators.
static Grid indicatorGrid(int left0, int right0, int left1, int right1, int left2, int right2) {
  return drawGrid({symbolRow(0, left0, {500}, right0), symbolRow(1, left1, {501}, right1),
                   symbolRow(2, left2, {502}, right2)},
                  2, 3);
}

TEST(RowReader, LevelComesFromAgreeingIndicatorsOfBandsOneAndTwo) {
  // Indicator 30q + v gives level (v - 2) / 3, truncated toward zero.
  const int cases[][2] = {{0, 0}, {1, 0}, {2, 0}, {4, 0}, {5, 1}, {8, 2}, {26, 8}, {29, 9}};
  for (const auto& c : cases) {
    for (int q : {0, 7}) {
      int indicator = 30 * q + c[0];
      SCOPED_TRACE(indicator);
      Reading reading = readGrid(indicatorGrid(900, 901, indicator, 902, 903, indicator));
      EXPECT_EQ(reading.result, 1);
      EXPECT_EQ(reading.reader.ecLevel, c[1]);
      EXPECT_EQ(reading.reader.lastLeftIndicator, indicator);
      EXPECT_EQ(reading.reader.lastRightIndicator, indicator);
    }
  }
}

TEST(RowReader, LevelStaysUnknownUnlessTheIndicatorsAgree) {
  // Band 0 agrees with band 2, but band 0 never counts.
  Reading reading = readGrid(indicatorGrid(14, 14, 15, 14, 14, 14));
  EXPECT_EQ(reading.reader.ecLevel, -1);
  EXPECT_EQ(reading.reader.lastLeftIndicator, 15);
  EXPECT_EQ(reading.reader.lastRightIndicator, 14);

  // Both indicators unreadable: equal, but not a level.
  reading = readGrid(indicatorGrid(14, 14, -1, 14, 14, -1));
  EXPECT_EQ(reading.reader.ecLevel, -1);
  EXPECT_EQ(reading.reader.lastLeftIndicator, -1);

  // Bands 1 and 2 disagree; bands 4 and 5 of the next group agree.
  reading = readGrid(concatenate(indicatorGrid(1, 1, 8, 1, 1, 9), indicatorGrid(1, 1, 35, 1, 1, 35)));
  EXPECT_EQ(reading.reader.ecLevel, 1);
}

TEST(RowReader, LevelOnceLearnedIsKept) {
  // Bands 1, 2 give level 2 (indicator 8), bands 4, 5 would give level 1.
  Grid grid = concatenate(indicatorGrid(1, 1, 8, 1, 1, 8), indicatorGrid(1, 1, 35, 1, 1, 35));
  Reading reading = readGrid(grid);
  EXPECT_EQ(reading.result, 1);
  EXPECT_EQ(reading.reader.ecLevel, 2);
  EXPECT_EQ(reading.reader.lastLeftIndicator, 35);
  EXPECT_EQ(reading.reader.lastRightIndicator, 35);
  EXPECT_EQ(reading.codewords, filledBuffer({500, 501, 502, 500, 501, 502}));
}

TEST(RowReader, EveryDecodeStartsFresh) {
  Grid learning = indicatorGrid(1, 1, 8, 1, 1, 8);
  Grid other = indicatorGrid(1, 1, 35, 1, 1, 35);
  Reading first = readGrid(learning);
  int firstLevel = first.reader.ecLevel;
  Reading reading = readGrid(other);
  EXPECT_EQ(reading.reader.ecLevel, 1);
  Reading again = readGrid(learning);
  EXPECT_EQ(again.result, first.result);
  EXPECT_EQ(again.codewords, first.codewords);
  EXPECT_EQ(again.reader.ecLevel, firstLevel);
  EXPECT_EQ(again.reader.codewordWritePos, 3);

  // A state full of another read's values starts afresh too.
  RowReaderState reused = again.reader;
  detectBStoCW(nullptr, 0, 0, first.codewords.data(), &reused);
  EXPECT_EQ(reused.ecLevel, -1);
  EXPECT_EQ(reused.codewordWritePos, 0);
  EXPECT_EQ(reused.lastLeftIndicator, 0);
  EXPECT_EQ(reused.lastRightIndicator, 0);
}

// ---- limits and hostile input -------------------------------------------

TEST(RowReader, BandStopsAt64Codewords) {
  std::vector<int> data;
  for (int i = 0; i < 70; i++) data.push_back(i * 13);
  Reading reading = readGrid(drawGrid({symbolRow(0, 1, data, 2)}, 1, 3));
  EXPECT_EQ(reading.result, 1);
  // Codewords 1 to 62 of the 64 read are stored; the 64th counts as the
  // right indicator.
  std::vector<int> stored(data.begin(), data.begin() + 62);
  EXPECT_EQ(reading.codewords, filledBuffer(stored));
}

TEST(RowReader, BufferStopsAtItsLastEntry) {
  // 50 rows of 60 data codewords would fill 3000 entries; 52 rows of 60 are
  // 3120, more than the buffer holds.
  TableSymbol symbol = randomSymbol(52, 60, 4, 99);
  Reading reading = readGrid(drawGrid(symbol.rows, 1, 3));
  EXPECT_EQ(reading.result, 1);
  std::vector<int> kept(symbol.data.begin(), symbol.data.begin() + kCodewordBufferSize);
  EXPECT_EQ(reading.codewords, kept);
  EXPECT_EQ(reading.reader.codewordWritePos, kCodewordBufferSize);
}

TEST(RowReader, RejectsBadArguments) {
  std::vector<int> untouched(kCodewordBufferSize, -2);
  std::vector<int> buffer(kCodewordBufferSize, 7);
  unsigned char row[4] = {1, 0, 1, 0};
  RowReaderState state;
  EXPECT_EQ(detectBStoCW(nullptr, 4, 1, buffer.data(), &state), -1);
  EXPECT_EQ(buffer, untouched);
  buffer.assign(kCodewordBufferSize, 7);
  EXPECT_EQ(detectBStoCW(row, 0, 1, buffer.data(), &state), -1);
  EXPECT_EQ(buffer, untouched);
  buffer.assign(kCodewordBufferSize, 7);
  EXPECT_EQ(detectBStoCW(row, 4, -3, buffer.data(), &state), -1);
  EXPECT_EQ(buffer, untouched);
  EXPECT_EQ(detectBStoCW(row, 4, 0, buffer.data(), &state), -1);
  EXPECT_EQ(detectBStoCW(row, 4, 1, nullptr, &state), -1);
  EXPECT_EQ(detectBStoCW(row, 4, 1, buffer.data(), nullptr), -1);

  double votes[4] = {0, 0, 0, 0};
  resetRowReader(&state);
  EXPECT_EQ(decodeRowBand(4, 0, 2, votes, moduleWeights, buffer.data(), &state), 0);  // no dark column
  votes[3] = 2;
  EXPECT_EQ(decodeRowBand(4, 0, 2, votes, moduleWeights, buffer.data(), &state), 0);  // dark at the end
  EXPECT_EQ(decodeRowBand(4, 0, 2, votes, nullptr, buffer.data(), &state), 0);
  EXPECT_EQ(decodeRowBand(0, 0, 2, votes, moduleWeights, buffer.data(), &state), 0);
  EXPECT_EQ(decodeRowBand(4, 0, 2, votes, moduleWeights, buffer.data(), nullptr), 0);
  state.codewordWritePos = kCodewordBufferSize + 5;  // a write position past the end stores nothing
  std::vector<double> band(3 * 17 + 1, 0.0);
  Modules modules = symbolRow(0, 1, {2}, 3);
  for (size_t m = 0; m < modules.size(); m++) band[m] = modules[m] ? 2.0 : 0.0;
  buffer.assign(kCodewordBufferSize, -2);
  EXPECT_EQ(decodeRowBand((int)band.size(), 0, 2, band.data(), moduleWeights, buffer.data(), &state), 1);
  EXPECT_EQ(buffer, untouched);
}

TEST(RowReader, HostileGridsStayWithinTheBuffer) {
  std::mt19937 random(2024);
  for (int trial = 0; trial < 40; trial++) {
    Grid grid;
    grid.rowLen = 1 + (int)(random() % 300);
    grid.rows = (int)(random() % 60);
    int noise = (int)(random() % 4);
    for (int i = 0; i < grid.rowLen * grid.rows; i++) {
      // Mostly long runs with some noise, so that bands do form.
      int x = i % grid.rowLen;
      unsigned char value = (x / (1 + trial % 5)) % 3 == 0;
      if ((int)(random() % 8) < noise) value = (unsigned char)(random() % 3);
      grid.bytes.push_back(value);
    }
    Reading reading = readGrid(grid);
    EXPECT_TRUE(reading.result == 1 || reading.result == -1);
    for (int v : reading.codewords) ASSERT_TRUE(v >= -2 && v <= 928) << v;
    EXPECT_GE(reading.reader.codewordWritePos, 0);
    EXPECT_LE(reading.reader.codewordWritePos, kCodewordBufferSize);
  }
}

// ---- round trip through libzint ------------------------------------------

TEST(RowReader, ReadsSymbolsMadeByZint) {
  struct Case {
    std::string data;
    SymbolOptions options;
    int modulePixels;
    int rowPixels;
  };
  std::string bytes;
  for (int i = 0; i < 300; i++) bytes.push_back((char)(i * 37 + 11));
  const Case cases[] = {
      {"HELLO", {0, 0, -1}, 1, 3},
      {"PDF417 row reader round trip 0123456789", {3, 0, 2}, 3, 4},
      {bytes, {8, 0, 5}, 2, 5},
      {"0123456789012345678901234567890123456789", {2, 20, 0}, 4, 3},
      {std::string(500, 'x'), {30, 0, 1}, 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data.substr(0, 20));
    ModuleMatrix symbol;
    std::string error;
    ASSERT_TRUE(encodeSymbol(c.data, c.options, &symbol, &error)) << error;
    // Between the inner edges of the start and stop patterns.
    std::vector<Modules> rows;
    for (int r = 0; r < symbol.rows; r++) {
      Modules row;
      for (int m = 17; m < symbol.width - 18; m++) row.push_back(symbol.at(r, m));
      rows.push_back(row);
    }
    Reading reading = readGrid(drawGrid(rows, c.modulePixels, c.rowPixels));
    std::vector<int> expected = symbolCodewords(symbol);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(reading.result, 1);
    EXPECT_EQ(reading.codewords, filledBuffer(expected));
    if (c.options.eccLevel >= 0) {
      int indicator = 3 * c.options.eccLevel + (symbol.rows - 1) % 3;
      EXPECT_EQ(reading.reader.ecLevel, (indicator - 2) / 3);
    }
  }
}
