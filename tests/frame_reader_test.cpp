// Reading the frames of one scene together: a glare that sweeps across a
// laminated card hides part of the symbol in every frame, and the frames
// read together give the message exactly; each symbol is returned once, and
// codewords of different symbols are never combined.
#include <gtest/gtest.h>

#include <pdf417read/pdf417read.h>

#include <string>
#include <vector>

#include "support/glare_clips.h"
#include "support/symbol_pictures.h"

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
std::vector<std::string> pushClip(FrameReader* reader, const std::vector<GrayPicture>& clip,
                                  std::vector<int>* frames = nullptr) {
  std::vector<std::string> returned;
  for (size_t k = 0; k < clip.size(); k++) {
    ReadResult result = reader->push(viewOf(clip[k]));
    EXPECT_EQ(result.status == Status::Decoded, !result.symbols.empty());
    for (const pdf417read::Symbol& symbol : result.symbols) {
      EXPECT_TRUE(symbol.verified);
      returned.push_back(symbol.bytes);
      if (frames) frames->push_back((int)k);
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
  int columns, level;
  double halfWidth, degrees;
  int drift;
  bool upsideDown;
};

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
  std::vector<int> frames;
  std::vector<std::string> returned = pushClip(&reader, clip, &frames);
  ASSERT_EQ(returned.size(), 1u);
  EXPECT_EQ(returned[0], message);
  for (size_t k = 0; k < frames.size(); k++) std::printf("decoded at frame %d\n", frames[k]);
}

INSTANTIATE_TEST_SUITE_P(Clips, GlareSweepTest,
                         ::testing::Values(SweepCase{6, 2, 40, 0, 0, false}, SweepCase{8, 3, 50, 12, 3, false},
                                           SweepCase{6, 2, 40, 0, 2, true}));

}  // namespace
