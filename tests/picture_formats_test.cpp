// The picture formats through the public readers: a zint symbol written in
// each kind of file the reader takes must read back as its message, and a
// file that cannot be read must say why.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/picture_files.h"
#include "support/program_run.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

using pdf417read::Status;

// The message decoded from a picture file's bytes, or the reason it was not.
std::string readBack(const std::vector<unsigned char>& bytes) {
  pdf417read::ReadResult result = pdf417read::readMemory(bytes.data(), bytes.size());
  if (result.status != Status::Decoded) return "(" + result.error + ")";
  return result.symbols[0].text;
}

std::string errorOfFile(const std::string& path) { return pdf417read::readFile(path).error; }

const char kMessage[] = "Pictures of every kind 0123456789";

}  // namespace

// A 16-bit PGM or PPM crashed the reader; every Netpbm kind, plain and raw,
// 8 and 16 bits, now reads back.
TEST(PictureFormats, NetpbmOfEveryKindReadsBack) {
  GrayPicture picture = messagePicture(kMessage);
  struct Kind {
    const char* magic;
    int maxValue;
  };
  const Kind kinds[] = {{"P1", 1}, {"P2", 255}, {"P3", 255}, {"P4", 1},     {"P5", 255},
                        {"P5", 65535}, {"P6", 65535}, {"P2", 1000}, {"P5", 15}, {"P3", 65535}};
  for (const Kind& kind : kinds)
    EXPECT_EQ(readBack(pnmFile(picture, kind.magic, kind.maxValue)), kMessage) << kind.magic << " " << kind.maxValue;
  // 16-bit samples keep their high byte, as 16-bit PNG samples do.
  GrayPicture levels = blankPicture(3, 1);
  levels.pixels = {0, 128, 255};
  std::vector<unsigned char> wide = pnmFile(levels, "P5", 65535);
  wide[wide.size() - 3] = 0x7F;  // 128 * 257 = 0x8080 becomes 0x807F: still 128
  pdf417read::Picture read;
  ASSERT_TRUE(pdf417read::loadPicture(wide.data(), wide.size(), &read));
  EXPECT_EQ(read.rgb, std::vector<uint8_t>({0, 0, 0, 128, 128, 128, 255, 255, 255}));
}

TEST(PictureFormats, TiffOfEveryLayoutReadsBack) {
  if (!tiffAvailable()) GTEST_SKIP() << "built without libtiff";
  GrayPicture picture = messagePicture(kMessage);
  struct Case {
    const char* name;
    TiffLayout layout;
  };
  const Case cases[] = {
      {"1-bit G4", {1, false, kTiffG4, 0, 4000}},
      {"1-bit G3", {1, false, kTiffG3, 0, 16}},
      {"8-bit LZW", {8, false, kTiffLzw, 0, 7}},
      {"16-bit Deflate", {16, false, kTiffDeflate, 0, 16}},
      {"RGB JPEG tiles", {8, true, kTiffJpeg, 32, 0}},
      {"8-bit tiles", {8, false, kTiffNone, 48, 0}},
      // Gray with alpha, as ImageMagick writes a bilevel picture that had
      // transparency: not for libtiff's RGBA reading.
      {"1-bit with alpha", {1, false, kTiffLzw, 0, 4000, true}},
      {"16-bit with alpha", {16, false, kTiffLzw, 0, 16, true}},
      {"RGB with alpha", {8, true, kTiffDeflate, 0, 16, true}},
  };
  for (const Case& c : cases) EXPECT_EQ(readBack(tiffFile({picture}, c.layout)), kMessage) << c.name;
}

TEST(PictureFormats, EveryPageOfATiffIsReadAndNamed) {
  if (!tiffAvailable()) GTEST_SKIP() << "built without libtiff";
  std::vector<GrayPicture> pages = {messagePicture("first page"), blankPicture(200, 100),
                                    messagePicture("third page")};
  std::vector<unsigned char> file = tiffFile(pages, TiffLayout{1, false, kTiffG4, 0, 64});
  pdf417read::ReadResult result = pdf417read::readMemory(file.data(), file.size());
  ASSERT_EQ(result.status, Status::Decoded);
  ASSERT_EQ(result.symbols.size(), 2u);
  EXPECT_EQ(result.symbols[0].text, "first page");
  EXPECT_EQ(result.symbols[0].page, 1);
  EXPECT_EQ(result.symbols[1].text, "third page");
  EXPECT_EQ(result.symbols[1].page, 3);
  // A limit on the symbols counts those of every page.
  pdf417read::Options one;
  one.maxSymbols = 1;
  EXPECT_EQ(pdf417read::readMemory(file.data(), file.size(), one).symbols.size(), 1u);
  // One page: no page named.
  file = tiffFile({pages[0]}, TiffLayout{});
  result = pdf417read::readMemory(file.data(), file.size());
  ASSERT_EQ(result.symbols.size(), 1u);
  EXPECT_EQ(result.symbols[0].page, 0);
}

TEST(PictureFormats, WebpReadsBack) {
  if (!webpAvailable()) GTEST_SKIP() << "built without libwebp";
  GrayPicture picture = messagePicture(kMessage);
  EXPECT_EQ(readBack(webpFile(picture, true)), kMessage);
  EXPECT_EQ(readBack(webpFile(picture, false)), kMessage);
}

TEST(PictureFormats, FilesThatCannotBeReadSayWhy) {
  EXPECT_EQ(errorOfFile(workPath("no such picture.png")), "no such file");
  EXPECT_EQ(errorOfFile(TEST_WORK_DIR), "a directory, not a picture file");
  EXPECT_EQ(errorOfFile("/dev/null"), "not a regular file");
  writeBytes(workPath("empty.png"), {});
  EXPECT_EQ(errorOfFile(workPath("empty.png")), "empty file");
  std::string text = "this is not a picture\n";
  writeBytes(workPath("text.png"), std::vector<unsigned char>(text.begin(), text.end()));
  EXPECT_EQ(errorOfFile(workPath("text.png")), "unknown picture format");
  std::vector<unsigned char> heic = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0};
  EXPECT_EQ(readBack(heic), "(unsupported picture format: HEIC)");

  GrayPicture picture = messagePicture(kMessage);
  std::vector<unsigned char> pgm = pnmFile(picture, "P5");
  pgm.resize(pgm.size() / 2);
  EXPECT_EQ(readBack(pgm), "(truncated PGM file)");
  ASSERT_TRUE(writePicture(picture, workPath("cut.png")));
  std::vector<unsigned char> png = readBytes(workPath("cut.png"));
  png.resize(png.size() / 2);
  EXPECT_EQ(readBack(png), "(truncated PNG file)");

  // A run-length encoded BMP: the reader knows it and says it does not read it.
  ASSERT_TRUE(writePicture(picture, workPath("rle.bmp")));
  std::vector<unsigned char> bmp = readBytes(workPath("rle.bmp"));
  bmp[30] = 1;
  EXPECT_EQ(readBack(bmp), "(unsupported picture format: run-length encoded BMP)");

  // Headers claiming more than the limits, or than their file could hold.
  std::string huge = "P5 40000 10 255\n";
  EXPECT_EQ(readBack(std::vector<unsigned char>(huge.begin(), huge.end())),
            "(picture too large: 40000 x 10 pixels (limit 32767 pixels a side, 134217728 in all))");
  std::string claim = "P4 10000 10000\n";
  EXPECT_EQ(readBack(std::vector<unsigned char>(claim.begin(), claim.end())),
            "(damaged PBM file: 10000 x 10000 pixels claimed by 15 bytes)");

  if (geteuid() != 0) {  // the superuser may read any file
    writeBytes(workPath("secret.png"), png);
    chmod(workPath("secret.png").c_str(), 0);
    EXPECT_EQ(errorOfFile(workPath("secret.png")), "permission denied");
  }
}

// The program says the same on standard error and in --json.
TEST(PictureFormats, TheProgramSaysTheSameReason) {
  std::string heic = workPath("photo.heic");
  writeBytes(heic, {0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0});
  ProgramRun run = runProgram({"-q", heic});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "pdf417read: " + heic + ": unsupported picture format: HEIC\n");
  run = runProgram({"--json", heic});
  EXPECT_NE(run.out.find("\"error\":\"unsupported picture format: HEIC\""), std::string::npos) << run.out;
}
