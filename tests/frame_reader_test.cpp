// Reading the frames of one scene together: a glare that sweeps across a
// laminated card hides part of the symbol in every frame, and the frames
// read together give the message exactly; each symbol is returned once, and
// codewords of different symbols are never combined.
#include <gtest/gtest.h>

#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "support/glare_clips.h"
#include "support/program_run.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

using pdf417read::FrameReader;
using pdf417read::ReadResult;
using pdf417read::Status;

pdf417read::ImageView viewOf(const GrayPicture& picture) {
  return pdf417read::ImageView(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
}

// A symbol of `columns` data columns at `level`, modules of 3 pixels, rows of 9.
GrayPicture symbolCard(const std::string& message, int columns, int level, int rows = 0) {
  SymbolOptions options;
  options.columns = columns;
  options.eccLevel = level;
  options.rows = rows;
  ModuleMatrix symbol;
  EXPECT_TRUE(encodeSymbol(message, options, &symbol));
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 9;
  return drawSymbol(symbol, draw);
}

// Every frame's symbols pushed in turn, the bytes of each returned.
std::vector<std::string> pushClip(FrameReader* reader, const std::vector<GrayPicture>& clip) {
  std::vector<std::string> returned;
  for (const GrayPicture& frame : clip) {
    ReadResult result = reader->push(viewOf(frame));
    EXPECT_EQ(result.status == Status::Decoded, !result.symbols.empty());
    for (const pdf417read::Symbol& symbol : result.symbols) {
      EXPECT_TRUE(symbol.verified);
      returned.push_back(symbol.bytes);
    }
  }
  return returned;
}

void expectEveryFrameFailsAlone(const std::vector<GrayPicture>& clip) {
  for (size_t k = 0; k < clip.size(); k++)
    EXPECT_NE(pdf417read::read(viewOf(clip[k])).status, Status::Decoded) << "frame " << k << " reads alone";
}

// Where a data column's middle lies across a card of symbolCard: past the
// quiet zone, the start pattern and the left row indicator.
double dataColumnMiddle(int column) { return 20 + 3 * (34 + 17 * column + 8.5); }

struct SweepCase {
  const char* name;
  int columns, level;
  double halfWidth, degrees;
  int drift;
  bool upsideDown;
};

void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.name; }

class GlareSweepTest : public ::testing::TestWithParam<SweepCase> {};

TEST_P(GlareSweepTest, FramesThatFailAloneReadTogether) {
  const SweepCase& c = GetParam();
  std::string message = "LICENCE 0123456789 ANYTOWN DRIVER CLASS C; frames read together give every codeword.";
  GrayPicture card = symbolCard(message, c.columns, c.level);
  GlareSweep sweep;
  sweep.frames = 6;
  // From the first data column's middle to the last's.
  sweep.from = dataColumnMiddle(0);
  sweep.to = dataColumnMiddle(c.columns - 1);
  sweep.halfWidth = c.halfWidth;
  sweep.degrees = c.degrees;
  sweep.drift = c.drift;
  std::vector<GrayPicture> clip = glareClip(card, sweep);
  if (c.upsideDown)
    for (GrayPicture& frame : clip) std::reverse(frame.pixels.begin(), frame.pixels.end());
  expectEveryFrameFailsAlone(clip);
  FrameReader reader;
  std::vector<std::string> returned = pushClip(&reader, clip);
  ASSERT_EQ(returned.size(), 1u);
  EXPECT_EQ(returned[0], message);
}

INSTANTIATE_TEST_SUITE_P(Clips, GlareSweepTest,
                         ::testing::Values(SweepCase{"Upright", 6, 2, 40, 0, 0, false},
                                           SweepCase{"LeaningGlareDriftingCard", 8, 3, 50, 12, 3, false},
                                           SweepCase{"UpsideDownDriftingCard", 6, 2, 40, 0, 2, true}),
                         [](const ::testing::TestParamInfo<SweepCase>& info) { return info.param.name; });

// The program reads its pictures as frames of one scene with --frames: the
// message once, from a clip none of whose frames reads alone; a frame that
// is no picture is named and fails the run.
TEST(FrameReaderTest, ProgramPrintsEachSymbolOnceFromFrames) {
  std::string message = "PROGRAM FRAMES 0123456789 0123456789 0123456789 0123456789 0123";
  GlareSweep sweep;
  sweep.from = dataColumnMiddle(0);
  sweep.to = dataColumnMiddle(5);
  std::vector<GrayPicture> clip = glareClip(symbolCard(message, 6, 2), sweep);
  std::vector<std::string> frames;
  for (size_t k = 0; k < clip.size(); k++) {
    frames.push_back(workPath("frame" + std::to_string(k) + ".png"));
    ASSERT_TRUE(writePicture(clip[k], frames.back()));
  }
  std::vector<std::string> args = {"-q"};
  args.insert(args.end(), frames.begin(), frames.end());
  EXPECT_EQ(runProgram(args).out, "");
  args.insert(args.begin() + 1, "--frames");
  ProgramRun run = runProgram(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Result =" + message + "\n");
  // The first frame twice, and a file that is missing.
  args.insert(args.begin() + 2, {frames[0], workPath("missing.png")});
  run = runProgram(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Result =" + message + "\n");
  EXPECT_NE(run.err.find("missing.png: no such file"), std::string::npos) << run.err;
}

// A symbol that reads in every frame is returned by the first push, once;
// a copy knows what its original returned, and reset starts a new scene.
TEST(FrameReaderTest, ReturnsASymbolOnceUntilReset) {
  std::string message = "ONE SYMBOL, MANY FRAMES";
  GrayPicture card = symbolCard(message, 4, 2);
  FrameReader reader;
  ReadResult first = reader.push(viewOf(card));
  ASSERT_EQ(first.symbols.size(), 1u);
  EXPECT_EQ(first.symbols[0].bytes, message);
  EXPECT_TRUE(first.symbols[0].verified);
  ReadResult again = reader.push(viewOf(card));
  EXPECT_EQ(again.status, Status::NotDecoded);
  EXPECT_TRUE(again.symbols.empty());
  FrameReader copy = reader;
  EXPECT_TRUE(copy.push(viewOf(card)).symbols.empty());
  reader.reset();
  EXPECT_EQ(reader.push(viewOf(card)).symbols.size(), 1u);
  EXPECT_TRUE(copy.push(viewOf(card)).symbols.empty());
  FrameReader moved = std::move(copy);
  EXPECT_TRUE(moved.push(viewOf(card)).symbols.empty());
}

// Two symbols side by side, the glare sweeping over the left one only: the
// right one is returned with the first frame, the left one once the sweep
// has shown all of it, each once.
TEST(FrameReaderTest, FollowsTwoSymbolsOfOneScene) {
  std::string left = "LEFT SYMBOL UNDER THE LAMP: 4242 4242 4242 4242 4242 4242";
  std::string right = "RIGHT SYMBOL, CLEAR";
  GrayPicture leftCard = symbolCard(left, 6, 2);
  GrayPicture rightCard = symbolCard(right, 3, 2);
  GlareSweep sweep;
  sweep.from = dataColumnMiddle(0);
  sweep.to = dataColumnMiddle(5);
  std::vector<GrayPicture> clip = glareClip(leftCard, sweep);
  for (GrayPicture& frame : clip) {
    GrayPicture scene = blankPicture(frame.width + rightCard.width, std::max(frame.height, rightCard.height));
    pastePicture(&scene, frame, 0, 0);
    pastePicture(&scene, rightCard, frame.width, 0);
    frame = scene;
  }
  FrameReader reader;
  ReadResult first = reader.push(viewOf(clip[0]));
  ASSERT_EQ(first.symbols.size(), 1u);
  EXPECT_EQ(first.symbols[0].bytes, right);
  std::vector<std::string> rest = pushClip(&reader, std::vector<GrayPicture>(clip.begin() + 1, clip.end()));
  EXPECT_EQ(rest, std::vector<std::string>{left});
}

// Two symbols of one layout shown in turn at one place, each frame under a
// glare: each is read from its own frames, once, and their codewords are
// never mixed into some third text.
TEST(FrameReaderTest, NeverMixesTwoSymbolsShownAtOnePlace) {
  std::string first = "FIRST CARD 1111111111 AAAAAAAAAA aaaaaaaaaa 0000 END";
  std::string second = "OTHER CARD 2222222222 BBBBBBBBBB bbbbbbbbbb 9999 FIN";
  GrayPicture cards[2] = {symbolCard(first, 6, 2, 10), symbolCard(second, 6, 2, 10)};
  ASSERT_EQ(cards[0].width, cards[1].width);
  ASSERT_EQ(cards[0].height, cards[1].height);
  // Where the glare lies in each frame, and which card it lies on.
  const int columns[] = {0, 5, 5, 0, 2, 3, 3, 2, 1, 4, 4, 1};
  std::vector<GrayPicture> clip;
  for (int k = 0; k < 12; k++) clip.push_back(glareBand(cards[k % 2], dataColumnMiddle(columns[k]), 40));
  expectEveryFrameFailsAlone(clip);
  FrameReader reader;
  std::vector<std::string> returned = pushClip(&reader, clip);
  std::sort(returned.begin(), returned.end());
  EXPECT_EQ(returned, (std::vector<std::string>{first, second}));
}

}  // namespace
