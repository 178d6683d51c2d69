#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "image/gray_conversion.h"
#include "image/picture_reader.h"
#include "image/picture_status.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

// A small picture with every gray level a test needs, and colours.
struct RgbPicture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

RgbPicture testPattern() {
  RgbPicture p;
  p.width = 7;
  p.height = 5;
  for (int y = 0; y < p.height; y++)
    for (int x = 0; x < p.width; x++) {
      p.rgb.push_back((unsigned char)(x * 40));
      p.rgb.push_back((unsigned char)(y * 60));
      p.rgb.push_back((unsigned char)(255 - x * 30 - y * 5));
    }
  return p;
}

std::vector<unsigned char> expectedGray(const RgbPicture& p) {
  std::vector<unsigned char> gray;
  for (size_t i = 0; i < p.rgb.size(); i += 3)
    gray.push_back((unsigned char)(int)((p.rgb[i + 2] * 0.11 + p.rgb[i + 1] * 0.59) + p.rgb[i] * 0.3));
  return gray;
}

std::vector<unsigned char> grayOfFile(const std::string& path, int* width, int* height) {
  unsigned char* gray = loadPictureGray(path.c_str(), width, height);
  if (!gray) return {};
  std::vector<unsigned char> out(gray, gray + (size_t)*width * *height);
  std::free(gray);
  return out;
}

unsigned char grayOfPixel(unsigned char blue, unsigned char green, unsigned char red) {
  return grayOf(red, green, blue);
}

// The gray of the colour pixels a file's bytes decode to (as the program
// draws on them); empty when they do not decode.
std::vector<unsigned char> grayOfColour(const std::vector<unsigned char>& bytes) {
  DecodedPicture picture;
  PictureStatus status;
  if (!decodePicture(bytes.data(), bytes.size(), 3, &picture, &status)) return {};
  std::vector<unsigned char> gray;
  for (size_t i = 0; i < (size_t)picture.width * picture.height * 3; i += 3)
    gray.push_back(grayOf(picture.pixels[i], picture.pixels[i + 1], picture.pixels[i + 2]));
  freeDecodedPicture(&picture);
  return gray;
}

}  // namespace

TEST(GrayConversion, WeighsBlueGreenRedAndTruncates) {
  EXPECT_EQ(grayOfPixel(255, 255, 255), 255);
  EXPECT_EQ(grayOfPixel(0, 0, 0), 0);
  EXPECT_EQ(grayOfPixel(255, 0, 0), 28);
  EXPECT_EQ(grayOfPixel(0, 255, 0), 150);
  EXPECT_EQ(grayOfPixel(0, 0, 255), 76);
  EXPECT_EQ(grayOfPixel(23, 23, 23), 22);
  EXPECT_EQ(grayOfPixel(100, 150, 200), 159);
}

TEST(GrayConversion, TopRowFirstWithoutPadding) {
  // Blue, green, red pixels in rows of 3 with two bytes of padding.
  std::vector<unsigned char> bgr;
  for (int y = 0; y < 2; y++) {
    for (int x = 0; x < 3; x++) bgr.insert(bgr.end(), 3, (unsigned char)(10 * y + x));
    bgr.insert(bgr.end(), 2, 0x77);
  }
  unsigned char* gray = pixelsToGray(bgr.data(), 3, 2, 11, 3, 2, 1, 0, -1);
  ASSERT_NE(gray, nullptr);
  const int expected[6] = {0, 1, 2, 10, 11, 12};
  for (int i = 0; i < 6; i++) EXPECT_EQ(gray[i], expected[i]) << i;
  std::free(gray);
  EXPECT_EQ(pixelsToGray(nullptr, 3, 2, 11, 3, 2, 1, 0, -1), nullptr);
}

TEST(PictureFiles, LosslessFormatsReadPixelForPixel) {
  RgbPicture p = testPattern();
  std::vector<unsigned char> want = expectedGray(p);
  const char* names[] = {"pattern.png", "pattern.bmp", "pattern.tga"};
  std::string png = workPath(names[0]), bmp = workPath(names[1]), tga = workPath(names[2]);
  ASSERT_TRUE(stbi_write_png(png.c_str(), p.width, p.height, 3, p.rgb.data(), p.width * 3));
  ASSERT_TRUE(stbi_write_bmp(bmp.c_str(), p.width, p.height, 3, p.rgb.data()));
  ASSERT_TRUE(stbi_write_tga(tga.c_str(), p.width, p.height, 3, p.rgb.data()));
  for (const std::string& path : {png, bmp, tga}) {
    int w = 0, h = 0;
    EXPECT_EQ(grayOfFile(path, &w, &h), want) << path;
    EXPECT_EQ(w, p.width);
    EXPECT_EQ(h, p.height);
  }
}

TEST(PictureFiles, PortablePixmapAndGraymap) {
  RgbPicture p = testPattern();
  std::string ppm = "P6\n7 5\n255\n";
  std::vector<unsigned char> bytes(ppm.begin(), ppm.end());
  bytes.insert(bytes.end(), p.rgb.begin(), p.rgb.end());
  writeBytes(workPath("pattern.ppm"), bytes);
  int w = 0, h = 0;
  EXPECT_EQ(grayOfFile(workPath("pattern.ppm"), &w, &h), expectedGray(p));

  std::string pgm = "P5\n3 1\n255\n";
  bytes.assign(pgm.begin(), pgm.end());
  bytes.insert(bytes.end(), {0, 128, 255});
  writeBytes(workPath("levels.pgm"), bytes);
  std::vector<unsigned char> gray = grayOfFile(workPath("levels.pgm"), &w, &h);
  ASSERT_EQ(gray.size(), 3u);
  EXPECT_EQ(gray[0], 0);
  EXPECT_NEAR(gray[1], 128, 1);
  EXPECT_EQ(gray[2], 255);
}

TEST(PictureFiles, GrayAndAlphaPng) {
  // Gray with alpha: opaque black, fully transparent black, half transparent black.
  unsigned char grayAlpha[6] = {0, 255, 0, 0, 0, 128};
  std::string path = workPath("alpha.png");
  ASSERT_TRUE(stbi_write_png(path.c_str(), 3, 1, 2, grayAlpha, 6));
  int w = 0, h = 0;
  std::vector<unsigned char> gray = grayOfFile(path, &w, &h);
  ASSERT_EQ(gray.size(), 3u);
  EXPECT_EQ(gray[0], 0);
  EXPECT_GE(gray[1], 254);  // transparent lies on white paper
  EXPECT_NEAR(gray[2], 127, 2);
}

TEST(PictureFiles, GrayIsTheGrayOfTheColour) {
  // Every channel count with random pixels, alpha opaque, clear and in
  // between, through the PNG reader, and JPEG and BMP through the general
  // one: the gray read must be the gray of the colour read, exactly.
  std::vector<std::string> paths;
  unsigned seed = 417;
  for (int channels = 1; channels <= 4; channels++) {
    std::vector<unsigned char> pixels(29 * 13 * channels);
    for (unsigned char& v : pixels) v = (unsigned char)((seed = seed * 1103515245u + 12345u) >> 16);
    for (size_t i = channels - 1; channels % 2 == 0 && i < pixels.size(); i += channels)
      pixels[i] = i % 3 == 0 ? 255 : i % 3 == 1 ? 0 : pixels[i];
    paths.push_back(workPath("channels" + std::to_string(channels) + ".png"));
    ASSERT_TRUE(stbi_write_png(paths.back().c_str(), 29, 13, channels, pixels.data(), 29 * channels));
    if (channels == 3) {
      paths.push_back(workPath("random.jpg"));
      ASSERT_TRUE(stbi_write_jpg(paths.back().c_str(), 29, 13, 3, pixels.data(), 70));
      paths.push_back(workPath("random.bmp"));
      ASSERT_TRUE(stbi_write_bmp(paths.back().c_str(), 29, 13, 3, pixels.data()));
    }
  }
  for (const std::string& path : paths) {
    int gw = 0, gh = 0;
    std::vector<unsigned char> viaColour = grayOfColour(readBytes(path));
    std::vector<unsigned char> gray = grayOfFile(path, &gw, &gh);
    ASSERT_FALSE(gray.empty()) << path;
    EXPECT_EQ(gray, viaColour) << path;
    EXPECT_EQ((size_t)gw * gh, viaColour.size());
  }
  int w = 0, h = 0;
  EXPECT_EQ(loadPictureGray(workPath("no such picture.png").c_str(), &w, &h), nullptr);
}

TEST(PictureFiles, JpegKeepsTheSymbolDarkOnLight) {
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("JPEG", SymbolOptions{}, &symbol));
  GrayPicture picture = drawSymbol(symbol, DrawOptions{});
  std::string path = workPath("symbol.jpg");
  ASSERT_TRUE(writePicture(picture, path));
  int w = 0, h = 0;
  std::vector<unsigned char> gray = grayOfFile(path, &w, &h);
  ASSERT_EQ(w, picture.width);
  ASSERT_EQ(h, picture.height);
  int far = 0;
  for (size_t i = 0; i < gray.size(); i++) far += std::abs(gray[i] - picture.pixels[i]) > 100;
  EXPECT_LT(far, (int)gray.size() / 100);
}

TEST(PictureFiles, OversizedHeadersAreRefusedBeforeAllocating) {
  // A 54-byte BMP header claiming width x height pixels of 24 bits, no pixels.
  auto bmpHeader = [](int width, int height) {
    std::vector<unsigned char> h(54, 0);
    auto put32 = [&](int at, int value) {
      for (int k = 0; k < 4; k++) h[at + k] = (unsigned char)((unsigned)value >> (8 * k));
    };
    h[0] = 'B';
    h[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    h[26] = 1;
    h[28] = 24;
    return h;
  };
  const int sizes[][2] = {{100000, 100000}, {32768, 1}, {1, 32768}, {30000, 30000}, {0, 10}, {10, 0},
                          {-5, 10}};
  for (const auto& size : sizes) {
    writeBytes(workPath("claim.bmp"), bmpHeader(size[0], size[1]));
    int w = 0, h = 0;
    EXPECT_EQ(loadPictureGray(workPath("claim.bmp").c_str(), &w, &h), nullptr) << size[0] << "x" << size[1];
  }
}

TEST(PictureFiles, GifFromZint) {
  std::string path = workPath("zint.gif");
  std::string command = "zint -b PDF417 --scale=2 -d GIF -o " + path + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  int w = 0, h = 0;
  unsigned char* gray = loadPictureGray(path.c_str(), &w, &h);
  ASSERT_NE(gray, nullptr);
  EXPECT_GT(w, 50);
  int dark = 0, light = 0;
  for (int i = 0; i < w * h; i++) {
    dark += gray[i] == 0;
    light += gray[i] == 255;
  }
  EXPECT_EQ(dark + light, w * h);
  EXPECT_GT(dark, 0);
  std::free(gray);
}

TEST(PictureFiles, JpegHuffmanTablesWithTooManySymbolsAreRefused) {
  // A sound JPEG with an extra Huffman table (class 1, id 3, unused by the
  // picture) whose codes of 9 to 16 bits number 8 * 255: far more than a
  // table holds. The reader would build it past its arrays and go on decoding.
  ModuleMatrix symbol;
  ASSERT_TRUE(encodeSymbol("J", SymbolOptions{}, &symbol));
  std::string path = workPath("huffman.jpg");
  ASSERT_TRUE(writePicture(drawSymbol(symbol, DrawOptions{}), path));
  std::vector<unsigned char> sound = readBytes(path);
  EXPECT_FALSE(grayOfColour(sound).empty());

  int symbols = 8 * 255, length = 2 + 17 + symbols;
  std::vector<unsigned char> table = {0xFF, 0xC4, (unsigned char)(length >> 8), (unsigned char)length, 0x13};
  table.insert(table.end(), 8, 0);
  table.insert(table.end(), 8, 255);
  table.insert(table.end(), (size_t)symbols, 0x11);
  std::vector<unsigned char> hostile(sound.begin(), sound.begin() + 2);
  hostile.insert(hostile.end(), table.begin(), table.end());
  hostile.insert(hostile.end(), sound.begin() + 2, sound.end());
  EXPECT_TRUE(grayOfColour(hostile).empty());
  // The same table cut short by the end of the file.
  hostile.resize(2 + 5 + 8 + 2);
  EXPECT_TRUE(grayOfColour(hostile).empty());
}

// Inputs the fuzzer found, kept so that the faults stay mended: under the
// sanitizer build any stray access stops the test. The JPEG must be refused;
// the PNG (a zero-length chunk) need only load safely.
TEST(PictureFiles, FuzzFindings) {
  struct Finding {
    const char* name;
    bool refused;
  };
  // The damaged palette was read straight to gray but refused in colour:
  // both readings of a file must agree.
  const Finding findings[] = {{"jpeg-fill-bytes-huffman.jpg", true}, {"png-empty-chunk.png", false},
                              {"png-palette-damaged.png", false}};
  for (const Finding& finding : findings) {
    std::vector<unsigned char> bytes = readBytes(std::string(TEST_DATA_DIR) + "/" + finding.name);
    ASSERT_FALSE(bytes.empty()) << finding.name;
    std::vector<unsigned char> colour = grayOfColour(bytes);
    if (finding.refused) {
      EXPECT_TRUE(colour.empty()) << finding.name;
    }
    int width = 0, height = 0;
    unsigned char* gray = decodePictureGray(bytes.data(), bytes.size(), &width, &height);
    EXPECT_EQ(gray == nullptr, colour.empty()) << finding.name;
    std::free(gray);
  }
}

namespace {

// A minimal PNG writer for the kinds the test writer cannot make: the image
// data in stored (uncompressed) deflate blocks.
uint32_t crc32Of(const std::vector<unsigned char>& bytes, size_t from) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); i++) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void put32(std::vector<unsigned char>* out, uint32_t value) {
  for (int k = 3; k >= 0; k--) out->push_back((unsigned char)(value >> (8 * k)));
}

void putChunk(std::vector<unsigned char>* png, const char* type, const std::vector<unsigned char>& data) {
  put32(png, (uint32_t)data.size());
  size_t start = png->size();
  png->insert(png->end(), type, type + 4);
  png->insert(png->end(), data.begin(), data.end());
  std::vector<unsigned char> typed(png->begin() + start, png->end());
  put32(png, crc32Of(typed, 0));
}

std::vector<unsigned char> pngOf(int width, int height, int depth, int colourType,
                                 const std::vector<unsigned char>& rows, const std::vector<unsigned char>& palette,
                                 const std::vector<unsigned char>& transparency = {}) {
  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<unsigned char> header;
  put32(&header, (uint32_t)width);
  put32(&header, (uint32_t)height);
  header.insert(header.end(), {(unsigned char)depth, (unsigned char)colourType, 0, 0, 0});
  putChunk(&png, "IHDR", header);
  if (!palette.empty()) putChunk(&png, "PLTE", palette);
  if (!transparency.empty()) putChunk(&png, "tRNS", transparency);
  std::vector<unsigned char> zlib = {0x78, 0x01, 0x01, (unsigned char)rows.size(), (unsigned char)(rows.size() >> 8),
                                     (unsigned char)~rows.size(), (unsigned char)(~rows.size() >> 8)};
  zlib.insert(zlib.end(), rows.begin(), rows.end());
  uint32_t a = 1, b = 0;
  for (unsigned char c : rows) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  put32(&zlib, b << 16 | a);
  putChunk(&png, "IDAT", zlib);
  putChunk(&png, "IEND", {});
  return png;
}

std::vector<unsigned char> grayOfBytes(const std::vector<unsigned char>& bytes) {
  int w = 0, h = 0;
  unsigned char* gray = decodePictureGray(bytes.data(), bytes.size(), &w, &h);
  if (!gray) return {};
  std::vector<unsigned char> out(gray, gray + (size_t)w * h);
  std::free(gray);
  return out;
}

}  // namespace

TEST(PictureFiles, SixteenBitAndPalettePng) {
  // 16-bit gray, one row of three pixels (filter byte 0 first): the high
  // byte of each sample is the level.
  std::vector<unsigned char> gray16 = {0, 0x00, 0x00, 0x80, 0x7F, 0xFF, 0xFF};
  EXPECT_EQ(grayOfBytes(pngOf(3, 1, 16, 0, gray16, {})), std::vector<unsigned char>({0, 128, 255}));

  // 2-bit palette of black, white, pure red and pure blue; one row of four.
  std::vector<unsigned char> palette = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255};
  std::vector<unsigned char> indexed = {0, 0x1B};  // indices 0, 1, 2, 3
  EXPECT_EQ(grayOfBytes(pngOf(4, 1, 2, 3, indexed, palette)), std::vector<unsigned char>({0, 255, 76, 28}));

  // 16-bit RGB with alpha: an opaque mid gray and a transparent black.
  std::vector<unsigned char> rgba16 = {0, 0x64, 0, 0x96, 0, 0xC8, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<unsigned char> got = grayOfBytes(pngOf(2, 1, 16, 6, rgba16, {}));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (unsigned char)(int)((200 * 0.11 + 150 * 0.59) + 100 * 0.3));
  EXPECT_GE(got[1], 254);
}

TEST(PictureFiles, PackedPngGrayIsTheGrayOfItsColour) {
  // Palettes of 1 to 8 bits, with and without alpha, and gray of 1, 2 and 4
  // bits, an odd number of pixels a row: read straight to gray, each must
  // give the gray of its colour.
  unsigned seed = 929;
  auto next = [&seed] { return (unsigned char)((seed = seed * 1103515245u + 12345u) >> 16); };
  const int width = 13, height = 5;
  for (int depth : {1, 2, 4, 8}) {
    for (int kind = 0; kind < 3; kind++) {
      bool indexed = kind < 2, alpha = kind == 1;
      if (!indexed && depth == 8) continue;
      int entries = 1 << depth, rowBytes = (width * depth + 7) / 8;
      std::vector<unsigned char> palette, transparency, rows;
      for (int i = 0; indexed && i < 3 * entries; i++) palette.push_back(next());
      for (int i = 0; alpha && i < entries / 2 + 1; i++) transparency.push_back(i % 3 == 0 ? 255 : next());
      for (int y = 0; y < height; y++) {
        rows.push_back(0);
        for (int i = 0; i < rowBytes; i++) rows.push_back(next());
      }
      std::vector<unsigned char> png = pngOf(width, height, depth, indexed ? 3 : 0, rows, palette, transparency);
      std::vector<unsigned char> expected = grayOfColour(png);
      ASSERT_EQ(expected.size(), (size_t)width * height) << depth << " " << kind;
      int w = 0, h = 0;
      unsigned char* gray = decodePictureGray(png.data(), png.size(), &w, &h);
      ASSERT_NE(gray, nullptr) << depth << " " << kind;
      EXPECT_EQ(std::vector<unsigned char>(gray, gray + (size_t)w * h), expected) << depth << " " << kind;
      std::free(gray);
    }
  }
}
