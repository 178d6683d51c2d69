// Hostile input through the library's own doors: image views of any
// geometry, picture bytes in memory (truncated ones included), and Macro
// segments joined whatever numbers they carry. What the fuzz targets
// read_view_fuzz, read_memory_fuzz and segment_join_fuzz found is kept here.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "app/segment_join.h"
#include "image/gray_conversion.h"
#include "image/picture_reader.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

using pdf417read::ImageView;
using pdf417read::PixelFormat;
using pdf417read::Status;

std::vector<unsigned char> randomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(count);
  for (unsigned char& b : bytes) b = (unsigned char)random();
  return bytes;
}

// The gray of the colour a picture file's bytes give (the pixels the program
// draws on), pixel by pixel.
std::vector<unsigned char> grayThroughColour(const std::vector<unsigned char>& bytes, int* width, int* height) {
  pdf417read::Picture picture;
  if (!pdf417read::loadPicture(bytes.data(), bytes.size(), &picture)) return {};
  *width = picture.width;
  *height = picture.height;
  std::vector<unsigned char> gray;
  for (size_t i = 0; i < picture.rgb.size(); i += 3)
    gray.push_back(grayOf(picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]));
  return gray;
}

std::vector<unsigned char> grayDirect(const std::vector<unsigned char>& bytes, int* width, int* height) {
  unsigned char* gray = decodePictureGray(bytes.data(), bytes.size(), width, height);
  return adoptPicture(gray, *width, *height).pixels;
}

// Takes what the C picture writers write to a file.
std::vector<unsigned char> written(const std::string& name, bool ok) {
  EXPECT_TRUE(ok) << name;
  return readBytes(workPath(name));
}

std::vector<unsigned char> pnm(const char* magic, int width, int height, const std::vector<unsigned char>& pixels) {
  std::string header = std::string(magic) + "\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::vector<unsigned char> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

// An uncompressed 24-bit TGA, top row first.
std::vector<unsigned char> rawTga(int width, int height, const std::vector<unsigned char>& pixels) {
  std::vector<unsigned char> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, (unsigned char)width,
                                     (unsigned char)(width >> 8), (unsigned char)height,
                                     (unsigned char)(height >> 8), 24, 0x20};
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

}  // namespace

TEST(HostileRead, PictureBytesTurnGrayAsTheirColourDoes) {
  const int w = 37, h = 23;
  std::vector<unsigned char> pixels = randomBytes((size_t)w * h * 4, 17);
  auto path = [](const char* name) { return workPath(name); };
  struct Kind {
    std::string name;
    std::vector<unsigned char> bytes;
  };
  std::vector<Kind> kinds;
  for (int channels = 1; channels <= 4; channels++) {
    std::string name = "pixels" + std::to_string(channels) + ".png";
    kinds.push_back({name, written(name, stbi_write_png(path(name.c_str()).c_str(), w, h, channels, pixels.data(),
                                                        w * channels))});
  }
  kinds.push_back({"colour.jpg", written("colour.jpg", stbi_write_jpg(path("colour.jpg").c_str(), w, h, 3,
                                                                      pixels.data(), 90))});
  kinds.push_back({"gray.jpg", written("gray.jpg", stbi_write_jpg(path("gray.jpg").c_str(), w, h, 1,
                                                                  pixels.data(), 90))});
  kinds.push_back({"alpha.bmp", written("alpha.bmp", stbi_write_bmp(path("alpha.bmp").c_str(), w, h, 4,
                                                                    pixels.data()))});
  kinds.push_back({"alpha.tga", written("alpha.tga", stbi_write_tga(path("alpha.tga").c_str(), w, h, 4,
                                                                    pixels.data()))});
  kinds.push_back({"pixels.ppm", pnm("P6", w, h, std::vector<unsigned char>(pixels.begin(), pixels.begin() + w * h * 3))});
  kinds.push_back({"pixels.pgm", pnm("P5", w, h, std::vector<unsigned char>(pixels.begin(), pixels.begin() + w * h))});
  // Truncated: what the file lacks reads as black either way.
  kinds.push_back({"cut.tga", rawTga(w, h, std::vector<unsigned char>(pixels.begin(), pixels.begin() + 100))});
  // The encoder's own files: a palette PNG and a GIF.
  for (const char* name : {"zint.png", "zint.gif"}) {
    std::string command = "zint -b PDF417 -d 'Gray as it comes' -o " + path(name) + " >/dev/null 2>&1";
    kinds.push_back({name, written(name, std::system(command.c_str()) == 0)});
  }
  for (const Kind& kind : kinds) {
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    std::vector<unsigned char> expected = grayThroughColour(kind.bytes, &w1, &h1);
    ASSERT_FALSE(expected.empty()) << kind.name;
    EXPECT_EQ(grayDirect(kind.bytes, &w2, &h2), expected) << kind.name;
    EXPECT_EQ(w2, w1) << kind.name;
    EXPECT_EQ(h2, h1) << kind.name;
  }
}

// Found by read_memory_fuzz: a PNG whose pixel data fails its checksum was
// read as a picture by one reader and refused by the other, so readMemory
// and loadPicture disagreed about the same bytes. Both now read it alike.
TEST(HostileRead, BothReadersTakeAPngWithAWrongChecksumAlike) {
  std::vector<unsigned char> bytes = readBytes(std::string(TEST_DATA_DIR) + "/png-pixel-checksum-wrong.png");
  ASSERT_FALSE(bytes.empty());
  pdf417read::Picture picture;
  bool loaded = pdf417read::loadPicture(bytes.data(), bytes.size(), &picture);
  Status status = pdf417read::readMemory(bytes.data(), bytes.size()).status;
  EXPECT_EQ(loaded, status != Status::NoPicture);
  int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  EXPECT_EQ(grayDirect(bytes, &w2, &h2), grayThroughColour(bytes, &w1, &h1));
}

// Found by read_memory_fuzz: the picture reader left the pixels a truncated
// uncompressed TGA file lacks unwritten, so they held what the memory held
// before, another picture's pixels perhaps, and a read of the same bytes
// could give another result each time. A truncated PNM file is refused.
TEST(HostileRead, PixelsATruncatedFileLacksAreBlackNotOldMemory) {
  const int w = 64, h = 64;
  std::vector<unsigned char> present(100, 200);
  for (int attempt = 0; attempt < 3; attempt++) {
    // Memory of the picture's size filled and given back, as a read of
    // another picture leaves it.
    std::vector<unsigned char>* stale = new std::vector<unsigned char>((size_t)w * h * 4, 0x77);
    delete stale;
    std::vector<unsigned char> bytes = rawTga(w, h, present);
    pdf417read::Picture picture;
    ASSERT_TRUE(pdf417read::loadPicture(bytes.data(), bytes.size(), &picture));
    ASSERT_EQ(picture.rgb.size(), (size_t)w * h * 3);
    // Past the 100 bytes present, whichever pixels they make.
    size_t missing = picture.rgb.size() - 300, dark = 0;
    for (size_t i = 300; i < picture.rgb.size(); i++) dark += picture.rgb[i] == 0;
    EXPECT_EQ(dark, missing);
    EXPECT_EQ(pdf417read::readMemory(bytes.data(), bytes.size()).status, Status::NoSymbol);
  }
  for (const char* magic : {"P5", "P6"}) {
    std::vector<unsigned char> bytes = pnm(magic, w, h, present);
    pdf417read::Picture picture;
    EXPECT_FALSE(pdf417read::loadPicture(bytes.data(), bytes.size(), &picture));
    pdf417read::ReadResult result = pdf417read::readMemory(bytes.data(), bytes.size());
    EXPECT_EQ(result.status, Status::NoPicture);
    EXPECT_EQ(result.error, magic[1] == '5' ? "truncated PGM file" : "truncated PPM file");
  }
}

// A PNM header's numbers were summed in a plain int: 4294967297 wrapped to 1,
// and the file read as a picture one pixel wide.
TEST(HostileRead, PnmNumbersBeyondAnIntAreRefused) {
  for (std::string header : {"P5\n4294967297 1\n255\n", "P6 1 # two\n 99999999999999999999 255 ",
                             "P5\n1 1\n4294967551\n"}) {
    std::string file = header + std::string(16, '\x80');
    const unsigned char* bytes = (const unsigned char*)file.data();
    pdf417read::Picture picture;
    EXPECT_FALSE(pdf417read::loadPicture(bytes, file.size(), &picture)) << header;
    EXPECT_EQ(pdf417read::readMemory(bytes, file.size()).status, Status::NoPicture) << header;
  }
  std::string fits = "P5\n# 99999999999999999999\n00000000000000000004 4\n255\n" + std::string(16, '\x80');
  EXPECT_EQ(pdf417read::readMemory((const unsigned char*)fits.data(), fits.size()).status, Status::NoSymbol);
}

// Views read must refuse before touching a pixel: the few bytes behind each
// are far fewer than the view claims.
TEST(HostileRead, ImpossibleViewsAreRefusedUntouched) {
  unsigned char* few = (unsigned char*)std::malloc(4);
  struct Case {
    ImageView view;
    const char* error;
  };
  const Case cases[] = {
      {ImageView(nullptr, 10, 10, PixelFormat::Gray), "no pixels"},
      {ImageView(few, 10, 10, (PixelFormat)7), "unknown pixel format"},
      {ImageView(few, 10, 10, (PixelFormat)-1), "unknown pixel format"},
      {ImageView(few, 0, 10, PixelFormat::RGB), "at least 1"},
      {ImageView(few, 10, -3, PixelFormat::RGB), "at least 1"},
      {ImageView(few, INT_MIN, INT_MIN, PixelFormat::Gray), "at least 1"},
      {ImageView(few, 32768, 1, PixelFormat::Gray), "too large"},
      {ImageView(few, 20000, 20000, PixelFormat::Gray), "too large"},
      {ImageView(few, 10, 10, PixelFormat::RGBA, 39), "stride shorter"},
      {ImageView(few, 10, 10, PixelFormat::BGR, -30), "stride shorter"},
  };
  for (const Case& c : cases) {
    pdf417read::ReadResult result = pdf417read::read(c.view);
    EXPECT_EQ(result.status, Status::NoPicture) << c.error;
    EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
  }
  std::free(few);
}

// Found by segment_join_fuzz: a segment count or index near the largest int
// made --join list every missing index, billions of them, before it said a
// word. Missing indexes are runs now, as many as the segments at most.
TEST(HostileRead, JoinTakesTimeAndMemoryOfTheSegmentsNotOfTheirNumbers) {
  auto segment = [](const char* file, int index, std::optional<int> count, bool last) {
    FoundSegment found;
    found.file = file;
    found.symbol.bytes = file;
    pdf417read::MacroInfo macro;
    macro.fileId = "007";
    macro.segmentIndex = index;
    macro.segmentCount = count;
    macro.lastSegment = last;
    found.symbol.macro = macro;
    return found;
  };
  JoinResult counted = joinSegments({segment("a.png", 0, INT_MAX, false), segment("b.png", 7, std::nullopt, false)});
  ASSERT_EQ(counted.errors.size(), 1u);
  EXPECT_EQ(counted.errors[0], "file id 007: missing segments 2-7, 9-2147483647");

  JoinResult lastAtTheEnd = joinSegments({segment("a.png", INT_MAX, std::nullopt, true)});
  ASSERT_EQ(lastAtTheEnd.errors.size(), 1u);
  EXPECT_EQ(lastAtTheEnd.errors[0], "file id 007: missing segments 1-2147483647");

  JoinResult unbounded = joinSegments({segment("a.png", INT_MAX - 1, std::nullopt, false)});
  ASSERT_EQ(unbounded.errors.size(), 1u);
  EXPECT_EQ(unbounded.errors[0], "file id 007: missing segments 1-2147483646, and the last one");

  JoinResult beyond = joinSegments({segment("a.png", INT_MIN, 2, false), segment("b.png", 1, 2, true)});
  ASSERT_EQ(beyond.errors.size(), 1u);
  EXPECT_EQ(beyond.errors[0], "file id 007: a.png is segment -2147483647 of 2, beyond the segment count");
  EXPECT_TRUE(beyond.messages.empty());
}
