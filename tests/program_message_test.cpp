// The program's output for programs and people: result lines for symbols
// with ECIs, --join over Macro PDF417 segments, --json, --annotate, and a
// picture read from standard input.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/message_symbols.h"
#include "support/program_run.h"

using namespace pdf417read::detail;

namespace {

MessageSymbol macroSegment(int index, int count, const std::string& fileId, const std::string& text) {
  MessageSymbol message;
  message.segments = {{0, text}};
  message.macroIndex = index;
  message.macroCount = count;
  message.macroFileId = fileId;
  return message;
}

// Three segments of one message, written once for the whole suite. The
// encoder writes file id 4711 as the codewords 471 and 1: "471001".
std::vector<std::string> threeSegments() {
  static std::vector<std::string> paths = {
      writeMessageSymbol(macroSegment(1, 3, "4711", "First part, "), "join-1.png"),
      writeMessageSymbol(macroSegment(2, 3, "4711", "second part, "), "join-2.png"),
      writeMessageSymbol(macroSegment(3, 3, "4711", "third part."), "join-3.png")};
  return paths;
}

std::vector<std::string> withOptions(std::vector<std::string> options,
                                     const std::vector<std::string>& pictures) {
  options.insert(options.end(), pictures.begin(), pictures.end());
  return options;
}

}  // namespace

TEST(ProgramMessage, ResultLinesPrintTextForEcisAndBytesOtherwise) {
  MessageSymbol greek;
  greek.segments = {{9, "Καλημέρα"}, {26, " 点"}};
  MessageSymbol unknown;
  unknown.binary = true;
  unknown.segments = {{811, "raw \xe9"}};
  ProgramRun run = runProgram(
      {"-q", writeMessageSymbol(greek, "eci-greek.png"), writeMessageSymbol(unknown, "eci-unknown.png")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Result =Καλημέρα 点\nResult =raw \xe9\n");
  EXPECT_NE(run.err.find("eci-unknown.png: warning: unknown ECI 811"), std::string::npos);
}

TEST(ProgramMessage, JoinPutsThreeSegmentsTogetherInAnyOrder) {
  std::vector<std::string> paths = threeSegments();
  std::vector<int> order = {0, 1, 2};
  do {
    std::vector<std::string> args = {"-q", "--join"};
    for (int i : order) args.push_back(paths[i]);
    ProgramRun run = runProgram(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Result =First part, second part, third part.\n");
    EXPECT_EQ(run.err, "");
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(ProgramMessage, JoinNamesMissingSegmentsAndConflicts) {
  std::vector<std::string> paths = threeSegments();
  ProgramRun missing = runProgram({"-q", "--join", paths[2], paths[0]});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("file id 471001: missing segment 2"), std::string::npos);

  std::string twin = writeMessageSymbol(macroSegment(2, 3, "4711", "another second part"), "join-twin.png");
  ProgramRun twice = runProgram(withOptions({"-q", "--join", twin}, paths));
  EXPECT_EQ(twice.status, 1);
  EXPECT_EQ(twice.out, "");
  EXPECT_NE(twice.err.find("segment 2 differs between " + twin + " and " + paths[1]), std::string::npos);

  std::string longer = writeMessageSymbol(macroSegment(4, 4, "4711", "fourth"), "join-count.png");
  ProgramRun count = runProgram(withOptions({"-q", "--join", longer}, paths));
  EXPECT_EQ(count.status, 1);
  EXPECT_EQ(count.out, "");
  EXPECT_NE(count.err.find("segment counts disagree"), std::string::npos);
  EXPECT_NE(count.err.find(longer + " says 4"), std::string::npos) << count.err;
  EXPECT_NE(count.err.find(" says 3"), std::string::npos) << count.err;

  std::string stray = writeMessageSymbol(macroSegment(2, 3, "4712", "second part, "), "join-stray.png");
  ProgramRun ids = runProgram({"-q", "--join", paths[0], stray, paths[2]});
  EXPECT_EQ(ids.status, 1);
  EXPECT_EQ(ids.out, "");
  EXPECT_NE(ids.err.find("segment 2 has file id 471002 in " + stray), std::string::npos);

  // The same segment read twice is no conflict.
  ProgramRun again = runProgram(withOptions({"-q", "--join", paths[1]}, paths));
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, "Result =First part, second part, third part.\n");
}

TEST(ProgramMessage, JsonLinesCarryEveryField) {
  MessageSymbol message = macroSegment(1, 2, "12", "JSON");
  message.segments = {{26, "Grüße"}};
  std::string decoded = writeMessageSymbol(message, "json-macro.png");
  std::string missing = workPath("json-missing-\xe9.png");
  ProgramRun run = runProgram({"--json", "-j", "2", decoded, missing});
  EXPECT_EQ(run.status, 1);
  size_t newline = run.out.find('\n');
  ASSERT_NE(newline, std::string::npos);
  nlohmann::json first = nlohmann::json::parse(run.out.substr(0, newline));
  nlohmann::json second = nlohmann::json::parse(run.out.substr(newline + 1));
  EXPECT_EQ(first["file"], decoded);
  EXPECT_EQ(first["status"], "decoded");
  ASSERT_EQ(first["symbols"].size(), 1u);
  const nlohmann::json& symbol = first["symbols"][0];
  EXPECT_EQ(symbol["text"], "Grüße");
  EXPECT_EQ(symbol["bytes"], "R3LDvMOfZQ==");
  EXPECT_EQ(symbol["verified"], true);
  EXPECT_EQ(symbol["eci"], nlohmann::json::array({26}));
  for (const char* key : {"ec_level", "rows", "columns", "compact", "mirrored", "reader_init"})
    EXPECT_TRUE(symbol.contains(key)) << key;
  ASSERT_EQ(symbol["corners"].size(), 4u);
  EXPECT_LT(symbol["corners"][0][0].get<double>(), symbol["corners"][1][0].get<double>());
  EXPECT_LT(symbol["corners"][1][1].get<double>(), symbol["corners"][2][1].get<double>());
  EXPECT_EQ(symbol["macro"]["segment_index"], 0);
  EXPECT_EQ(symbol["macro"]["file_id"], "012");
  EXPECT_EQ(symbol["macro"]["last_segment"], false);
  EXPECT_EQ(symbol["macro"]["segment_count"], 2);
  EXPECT_FALSE(symbol["macro"].contains("file_name"));
  // A file name that is not UTF-8 is written with U+FFFD, never refused.
  EXPECT_EQ(second["file"], workPath("json-missing-\uFFFD.png"));
  EXPECT_EQ(second["status"], "no picture");
  EXPECT_EQ(second["symbols"], nlohmann::json::array());
  // No trace and no line of its own on standard error in JSON mode.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
  EXPECT_EQ(run.err, "");
}

TEST(ProgramMessage, AnnotateOutlinesTheSymbolAndStandardInputIsAPicture) {
  MessageSymbol message;
  message.segments = {{0, "Outlined"}};
  std::string picture = writeMessageSymbol(message, "annotate-in.png");
  std::string out = workPath("annotated.png");
  std::remove(out.c_str());
  std::remove(workPath("annotated-2.png").c_str());
  ProgramRun run = runProgram({"-q", "--annotate", out, "-", picture}, picture);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Result =Outlined\nResult =Outlined\n");

  std::vector<unsigned char> drawnFile = readBytes(out), inputFile = readBytes(picture);
  pdf417read::Picture drawn, input;
  ASSERT_TRUE(pdf417read::loadPicture(drawnFile.data(), drawnFile.size(), &drawn));
  ASSERT_TRUE(pdf417read::loadPicture(inputFile.data(), inputFile.size(), &input));
  EXPECT_EQ(drawn.width, input.width);
  EXPECT_EQ(drawn.height, input.height);
  // The outline runs along the symbol's left edge, 20 pixels in.
  int changed = 0;
  for (int y = 0; y < drawn.height; y++) {
    size_t at = 3 * ((size_t)y * drawn.width + 20);
    changed += !std::equal(drawn.rgb.begin() + at, drawn.rgb.begin() + at + 3, input.rgb.begin() + at);
  }
  EXPECT_GT(changed, drawn.height / 2);
  EXPECT_FALSE(readBytes(workPath("annotated-2.png")).empty());

  // The name's extension chooses the format.
  std::string jpeg = workPath("annotated.JPG");
  std::remove(jpeg.c_str());
  EXPECT_EQ(runProgram({"-q", "--annotate", jpeg, picture}).status, 0);
  std::vector<unsigned char> jpegFile = readBytes(jpeg);
  ASSERT_GT(jpegFile.size(), 3u);
  EXPECT_EQ(jpegFile[0], 0xff);
  EXPECT_EQ(jpegFile[1], 0xd8);
  pdf417read::Picture fromJpeg;
  ASSERT_TRUE(pdf417read::loadPicture(jpegFile.data(), jpegFile.size(), &fromJpeg));
  EXPECT_EQ(fromJpeg.width, input.width);

  ProgramRun twice = runProgram({"-", "-"}, picture);
  EXPECT_EQ(twice.status, 2);
}
