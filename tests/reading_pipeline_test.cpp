// The reading pipeline as a whole: a watched trace changes no returned
// field on any corpus photo, the failure kind of a picture without a symbol
// is the same in every mode, and the exact path's corners are the symbol's
// outer corners.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/corpus_pictures.h"
#include "support/program_run.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

using pdf417read::ReadResult;
using pdf417read::Status;

ReadResult readGray(const GrayPicture& picture, pdf417read::Options options, std::string* trace = nullptr) {
  if (trace) options.trace = [trace](const std::string& text) { *trace += text; };
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  return pdf417read::read(view, options);
}

// Every field of two results that differs, named; empty when they agree.
std::string differences(const ReadResult& a, const ReadResult& b) {
  std::string found;
  auto check = [&found](bool same, const std::string& what) {
    if (!same) found += " " + what;
  };
  check(a.status == b.status, "status");
  check(a.error == b.error, "error");
  check(a.symbols.size() == b.symbols.size(), "symbol count");
  for (size_t i = 0; i < a.symbols.size() && i < b.symbols.size(); i++) {
    const pdf417read::Symbol& s = a.symbols[i];
    const pdf417read::Symbol& t = b.symbols[i];
    std::string n = "symbol " + std::to_string(i) + ": ";
    check(s.bytes == t.bytes, n + "bytes");
    check(s.text == t.text, n + "text");
    check(s.eci == t.eci, n + "eci");
    check(s.verified == t.verified, n + "verified");
    check(s.ecLevel == t.ecLevel, n + "ecLevel");
    check(s.rows == t.rows, n + "rows");
    check(s.columns == t.columns, n + "columns");
    for (int k = 0; k < 4; k++)
      check(s.corners[k].x == t.corners[k].x && s.corners[k].y == t.corners[k].y,
            n + "corner " + std::to_string(k));
    check(s.compact == t.compact, n + "compact");
    check(s.mirrored == t.mirrored, n + "mirrored");
    check(s.readerInit == t.readerInit, n + "readerInit");
    check(s.macro.has_value() == t.macro.has_value(), n + "macro");
    if (s.macro && t.macro) {
      const pdf417read::MacroInfo& m = *s.macro;
      const pdf417read::MacroInfo& o = *t.macro;
      check(m.segmentIndex == o.segmentIndex && m.fileId == o.fileId && m.lastSegment == o.lastSegment &&
                m.segmentCount == o.segmentCount && m.fileName == o.fileName && m.timestamp == o.timestamp &&
                m.sender == o.sender && m.addressee == o.addressee && m.fileSize == o.fileSize &&
                m.checksum == o.checksum,
            n + "macro fields");
    }
    check(s.warnings == t.warnings, n + "warnings");
  }
  return found;
}

}  // namespace

TEST(TraceOnlyWatches, EveryFieldOfEveryCorpusPhotoIsTheSameWithATrace) {
#ifndef TEST_CORPUS_DIR
  GTEST_SKIP() << "built without the corpus";
#else
  std::vector<CorpusPicture> corpus = loadCorpus(TEST_CORPUS_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus at " << TEST_CORPUS_DIR;
  int compared = 0, traced = 0;
  for (const CorpusPicture& photo : corpus) {
    for (bool exactOnly : {false, true}) {
      pdf417read::Options options;
      options.exactOnly = exactOnly;
      std::string trace;
      ReadResult quiet = readGray(photo.picture, options);
      ReadResult watched = readGray(photo.picture, options, &trace);
      EXPECT_EQ(differences(quiet, watched), "") << photo.name << (exactOnly ? " (exact only)" : "");
      compared++;
      traced += !trace.empty();
    }
  }
  std::printf("%d reads compared, %d of them traced something\n", compared, traced);
#endif
}

TEST(TraceOnlyWatches, NoiseIsNoSymbolInEveryMode) {
  std::mt19937 random(3);
  GrayPicture speckled = blankPicture(200, 150), gray = blankPicture(300, 300);
  for (unsigned char& v : speckled.pixels) v = random() % 2 ? 0 : 255;
  for (unsigned char& v : gray.pixels) v = (unsigned char)random();
  for (const GrayPicture* noise : {&speckled, &gray}) {
    std::string trace;
    ReadResult quiet = readGray(*noise, pdf417read::Options());
    ReadResult watched = readGray(*noise, pdf417read::Options(), &trace);
    EXPECT_EQ(quiet.status, Status::NoSymbol);
    EXPECT_EQ(quiet.error, "no PDF417 symbol found");
    EXPECT_EQ(differences(quiet, watched), "");
  }
  // The program prints the same failure with its trace as with -q.
  std::string path = workPath("noise.png");
  ASSERT_TRUE(writePicture(gray, path));
  ProgramRun traced = runProgram({path});
  ProgramRun quiet = runProgram({"-q", path});
  EXPECT_EQ(traced.status, 1);
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(traced.err, quiet.err);
  EXPECT_NE(quiet.err.find("no PDF417 symbol found"), std::string::npos) << quiet.err;
}

// An upright symbol and the same turned halfway, read by the exact path
// alone: its corners are the symbol's outer corners, the start pattern's
// outer edge to the stop pattern's, the top of the first row to the bottom
// of the last, within a module.
TEST(ExactReading, CornersAreTheSymbolsOuterCorners) {
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("Outer corners of the exact path 0123456789", SymbolOptions{}, &symbol));
  for (int rotation : {0, 180}) {
    DrawOptions draw;
    draw.rotation = rotation;
    GrayPicture picture = drawSymbol(symbol, draw);
    pdf417read::Options options;
    options.exactOnly = true;
    ReadResult result = readGray(picture, options);
    ASSERT_EQ(result.symbols.size(), 1u) << rotation;
    const pdf417read::Symbol& read = result.symbols[0];
    double left = draw.quietPixels, top = draw.quietPixels;
    double right = left + symbol.width * draw.modulePixels, bottom = top + symbol.rows * draw.rowPixels;
    pdf417read::Point expected[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    for (int k = 0; k < 4; k++) {
      if (rotation == 180) expected[k] = {picture.width - expected[k].x, picture.height - expected[k].y};
      EXPECT_NEAR(read.corners[k].x, expected[k].x, draw.modulePixels) << rotation << " corner " << k;
      EXPECT_NEAR(read.corners[k].y, expected[k].y, draw.modulePixels) << rotation << " corner " << k;
    }
    EXPECT_EQ(read.rows, symbol.rows);
    EXPECT_EQ(read.columns, dataColumns(symbol));
  }
}
