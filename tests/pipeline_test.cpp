#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codeword/pattern_table.h"
#include "pipeline/decode_pipeline.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

struct Decoded {
  bool ok = false;
  std::string text;
  DecodeResult corners{};
  int failure = kDecodeOk;
  int codewordCount = 0;
};

Decoded decodePicture(const GrayPicture& picture) {
  std::vector<unsigned char> pixels = picture.pixels;
  Decoded decoded;
  std::unique_ptr<DecodeRecord> record(new DecodeRecord());
  DecodeResult* result = decodeImage(pixels.data(), picture.width, picture.height, record.get());
  decoded.failure = record->failure;
  decoded.codewordCount = record->codewordCount;
  if (!result) return decoded;
  decoded.ok = true;
  decoded.text.assign(result->text, result->textLength);
  decoded.corners = *result;
  freeDecodeResult(result);
  return decoded;
}

GrayPicture symbolPicture(const std::string& data, const SymbolOptions& options,
                          const DrawOptions& draw) {
  ModuleMatrix symbol;
  std::string error;
  EXPECT_TRUE(encodeSymbol(data, options, &symbol, &error)) << error;
  return drawSymbol(symbol, draw);
}

std::string randomText(std::mt19937* random, int length, const std::string& alphabet) {
  std::string text;
  for (int i = 0; i < length; i++) text += alphabet[(*random)() % alphabet.size()];
  return text;
}

}  // namespace

TEST(ColumnRuns, CountsLightStretchesBetweenDarkColumns) {
  // Columns: dark, dark, light, dark, light, light, dark.
  const unsigned char row[7] = {1, 1, 0, 1, 0, 0, 1};
  std::vector<unsigned char> grid;
  for (int y = 0; y < 20; y++) grid.insert(grid.end(), row, row + 7);
  EXPECT_EQ(countLightColumnRuns(grid.data(), 7, 20), 2);
  // With five rows the tenth of the range truncates to 0: no column is below it.
  EXPECT_EQ(countLightColumnRuns(grid.data(), 7, 5), 0);
}

TEST(ColumnRuns, RisingProfileIsOneRunAndFlatIsNone) {
  // Each column darker than the last: min never moves from its start value.
  std::vector<unsigned char> rising;
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) rising.push_back(y <= x ? 1 : 0);
  EXPECT_EQ(countLightColumnRuns(rising.data(), 4, 4), 1);
  std::vector<unsigned char> flat(20, 0);
  EXPECT_EQ(countLightColumnRuns(flat.data(), 5, 4), 0);
  EXPECT_EQ(countLightColumnRuns(flat.data(), 0, 4), 0);
}

TEST(DecodeImage, PictureWithoutSymbolGivesNull) {
  GrayPicture blank;
  blank.width = 200;
  blank.height = 100;
  blank.pixels.assign(200 * 100, 255);
  for (int i = 0; i < 200 * 100; i += 7) blank.pixels[i] = 40;
  Decoded decoded = decodePicture(blank);
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(decoded.failure, kDecodeNoSymbol);
  unsigned char one = 0;
  EXPECT_EQ(decodeImage(&one, 1, 1), nullptr);
}

TEST(DecodeImage, ReadsTextDigitsAndBytesUpright) {
  const std::string inputs[] = {"ABC", "Hello, World! 123", "0123456789012345678901234567890",
                                std::string("\x80\x81\xfe\xff\x01 bytes", 10),
                                "Mixed: abc DEF 12345678901234 !@#$%"};
  for (const std::string& input : inputs) {
    Decoded decoded = decodePicture(symbolPicture(input, SymbolOptions{}, DrawOptions{}));
    EXPECT_TRUE(decoded.ok) << input;
    EXPECT_EQ(decoded.text, input);
  }
}

TEST(DecodeImage, EveryLevelAndSeveralColumnCounts) {
  std::mt19937 random(7);
  for (int level = 0; level <= 8; level++) {
    SymbolOptions options;
    options.eccLevel = level;
    options.columns = 2 + level % 5 * 2;
    std::string input = randomText(&random, 20 + level * 7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghij0123456789");
    DrawOptions draw;
    draw.modulePixels = 3 + level % 4;
    draw.rowPixels = 3 * draw.modulePixels;
    Decoded decoded = decodePicture(symbolPicture(input, options, draw));
    EXPECT_TRUE(decoded.ok) << "level " << level;
    EXPECT_EQ(decoded.text, input) << "level " << level;
  }
}

TEST(DecodeImage, TurnedSymbolReportsCornersInItsOwnFrame) {
  DrawOptions draw;
  draw.rotation = 180;
  GrayPicture picture = symbolPicture("TURNED 180", SymbolOptions{}, draw);
  Decoded decoded = decodePicture(picture);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.text, "TURNED 180");
  // The symbol's top-left lies at the picture's lower right.
  EXPECT_GT(decoded.corners.topLeftX, picture.width / 2);
  EXPECT_GT(decoded.corners.topLeftY, decoded.corners.bottomLeftY);
}

TEST(DecodeImage, UprightCornersLieOnThePatternEdges) {
  DrawOptions draw;
  GrayPicture picture = symbolPicture("CORNERS", SymbolOptions{}, draw);
  Decoded decoded = decodePicture(picture);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.corners.topLeftX, draw.quietPixels);
  EXPECT_EQ(decoded.corners.topLeftY, draw.quietPixels);
  EXPECT_EQ(decoded.corners.bottomLeftX, draw.quietPixels);
  EXPECT_EQ(decoded.corners.bottomLeftY, picture.height - draw.quietPixels - 1);
}

TEST(DecodeImage, ReplacedCodewordsAreCorrected) {
  SymbolOptions options;
  options.eccLevel = 3;
  options.columns = 4;
  const std::string input = "Corrected by the check codewords 0123456789";
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol(input, options, &symbol));
  replaceCodeword(&symbol, 1, 0, 17);
  replaceCodeword(&symbol, 2, 3, 900);
  replaceCodeword(&symbol, symbol.rows - 1, 1, 5);
  Decoded decoded = decodePicture(drawSymbol(symbol, DrawOptions{}));
  EXPECT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.text, input);
}

TEST(DecodeImage, RepeatedDecodesGiveTheSameResult) {
  GrayPicture picture = symbolPicture("AGAIN AND AGAIN", SymbolOptions{}, DrawOptions{});
  Decoded first = decodePicture(picture);
  GrayPicture other = symbolPicture("something else entirely", SymbolOptions{}, DrawOptions{});
  decodePicture(other);
  Decoded second = decodePicture(picture);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.text, second.text);
  EXPECT_EQ(std::memcmp(&first.corners.topLeftX, &second.corners.topLeftX, 8 * sizeof(int)), 0);
}

// The text is the message the symbol's data carries, decoded once: zero
// bytes kept, where the trace's text stops at each.
TEST(DecodeImage, TheTextIsTheWholeMessage) {
  const std::string input("bytes \0\x01\xff\0 then \0", 17);
  GrayPicture picture = symbolPicture(input, SymbolOptions{}, DrawOptions{});
  EXPECT_EQ(decodePicture(picture).text, input);
  std::vector<unsigned char> gray = picture.pixels;
  std::unique_ptr<DecodeRecord> record(new DecodeRecord());
  DecodeResult* result = decodeImageKeeping(gray.data(), picture.width, picture.height, record.get());
  ASSERT_TRUE(result);
  const DecodedMessage& message = record->message;
  EXPECT_EQ(std::string(message.bytes, (size_t)message.length), input);
  EXPECT_EQ(message.outcome, kMessageWhole);
  freeDecodeResult(result);
}

TEST(DecodeImage, KeepingThePictureReadsAsDecodeImageDoes) {
  for (int rotation : {0, 180}) {
    DrawOptions draw;
    draw.rotation = rotation;
    GrayPicture picture = symbolPicture("KEEP THE PICTURE 12345", SymbolOptions{}, draw);
    Decoded expected = decodePicture(picture);
    std::vector<unsigned char> gray = picture.pixels;
    DecodeResult* result = decodeImageKeeping(gray.data(), picture.width, picture.height);
    ASSERT_TRUE(expected.ok && result);
    EXPECT_EQ(std::string(result->text, result->textLength), expected.text);
    EXPECT_EQ(std::memcmp(&result->topLeftX, &expected.corners.topLeftX, 8 * sizeof(int)), 0);
    EXPECT_EQ(gray, picture.pixels);
    freeDecodeResult(result);
  }
}

// Start and stop patterns around rows of bars that are no codewords: every
// codeword read is an erasure, more than the erasure list holds.
TEST(DecodeImage, MoreErasuresThanTheListHoldsGiveNull) {
  const char* start = "11111111010101000";
  const char* stop = "111111101000101001";
  int columns = 30, rows = 120, module = 2, rowPixels = 4;
  int modulesWide = 17 + 17 * (columns + 2) + 18;
  GrayPicture picture;
  picture.width = modulesWide * module + 40;
  picture.height = rows * rowPixels + 40;
  picture.pixels.assign((size_t)picture.width * picture.height, 255);
  for (int r = 0; r < rows; r++) {
    std::string line = start;
    for (int c = 0; c < columns + 2; c++) line += (r + c) % 2 ? "11111110000000010" : "10000000111111100";
    line += stop;
    for (int y = 0; y < rowPixels; y++)
      for (int m = 0; m < modulesWide; m++)
        for (int p = 0; p < module; p++)
          if (line[m] == '1')
            picture.pixels[(size_t)(20 + r * rowPixels + y) * picture.width + 20 + m * module + p] = 0;
  }
  Decoded decoded = decodePicture(picture);
  EXPECT_FALSE(decoded.ok);
  EXPECT_EQ(decoded.failure, kDecodeNotDecoded);
  EXPECT_GT(decoded.codewordCount, 929);
}

// A symbol sheared by a pixel a row, its inner edges leaning left going up,
// under a dark band that reaches the picture's left border: the walk up the start edge runs
// out of the picture and must stop there without reading outside it.
TEST(DecodeImage, EdgeWalkLeavingThePictureStopsAtItsBorder) {
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("SHEARED", SymbolOptions{}, &symbol));
  int module = 3, rowPixels = 9, top = 60;
  int height = top + symbol.rows * rowPixels + 10;
  int width = symbol.width * module + symbol.rows * rowPixels + 40;
  GrayPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign((size_t)width * height, 255);
  for (int y = 0; y < symbol.rows * rowPixels; y++) {
    int shift = y;  // one pixel right each row down
    for (int x = 0; x < symbol.width * module; x++)
      if (symbol.at(y / rowPixels, x / module)) picture.pixels[(size_t)(top + y) * width + shift + x] = 0;
  }
  for (int y = 0; y < top; y++)
    for (int x = 0; x < width / 2; x++) picture.pixels[(size_t)y * width + x] = 0;
  Decoded decoded = decodePicture(picture);  // under the sanitizer build, any stray read fails here
  if (decoded.ok) {
    EXPECT_GE(decoded.corners.topRightX, 0);
  }
}
