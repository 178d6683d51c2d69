// Hostile and broken pictures through the program: every one must end in the
// one-line message and exit status 1, with no crash, hang or huge allocation.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

#if defined(__SANITIZE_ADDRESS__)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif

struct Outcome {
  int status = -1;
  int errLines = 0;
  std::string err;
};

// Runs the program on one file with its address space capped at 2 GiB (not
// under AddressSanitizer, which reserves far more up front).
Outcome runOn(const std::string& path) {
  std::string err = workPath("hostile.err");
  std::string command = kSanitized ? "" : "ulimit -v 2097152; ";
  command += "timeout 20 " + std::string(PDF417READ_BINARY) + " '" + path + "' >/dev/null 2>" + err;
  int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::vector<unsigned char> bytes = readBytes(err);
  outcome.err.assign(bytes.begin(), bytes.end());
  for (unsigned char c : bytes) outcome.errLines += c == '\n';
  return outcome;
}

void expectRefused(const std::string& path) {
  Outcome outcome = runOn(path);
  EXPECT_EQ(outcome.status, 1) << path << ": " << outcome.err;
  EXPECT_EQ(outcome.errLines, 1) << path << ": " << outcome.err;
  EXPECT_NE(outcome.err.find(path), std::string::npos) << outcome.err;
}

GrayPicture noise(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  GrayPicture picture;
  picture.width = width;
  picture.height = height;
  for (int i = 0; i < width * height; i++) picture.pixels.push_back((unsigned char)random());
  return picture;
}

std::vector<unsigned char> bmpHeader(int width, int height, int bits) {
  std::vector<unsigned char> h(54, 0);
  auto put32 = [&](int at, int value) {
    for (int k = 0; k < 4; k++) h[at + k] = (unsigned char)((unsigned)value >> (8 * k));
  };
  h[0] = 'B';
  h[1] = 'M';
  put32(2, 54 + 64);
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  h[26] = 1;
  h[28] = (unsigned char)bits;
  h.resize(54 + 64, 0x55);
  return h;
}

}  // namespace

TEST(HostileInput, FilesThatAreNotPictures) {
  writeBytes(workPath("empty.bmp"), {});
  expectRefused(workPath("empty.bmp"));
  std::string text = "Hello, this is a text file\nwith two lines\n";
  writeBytes(workPath("text.png"), std::vector<unsigned char>(text.begin(), text.end()));
  expectRefused(workPath("text.png"));
  mkdir(workPath("a-directory.png").c_str(), 0755);
  expectRefused(workPath("a-directory.png"));
}

TEST(HostileInput, TruncatedAndBitFlippedFilesOfEveryFormat) {
  GrayPicture picture = noise(90, 60, 1);
  std::mt19937 random(99);
  for (const char* name : {"noise.png", "noise.bmp", "noise.jpg", "noise.tga"}) {
    std::string path = workPath(name);
    ASSERT_TRUE(writePicture(picture, path));
    std::vector<unsigned char> bytes = readBytes(path);
    std::string cut = workPath(std::string("cut-") + name);
    writeBytes(cut, std::vector<unsigned char>(bytes.begin(), bytes.begin() + bytes.size() / 3));
    expectRefused(cut);
    for (int trial = 0; trial < 4; trial++) {
      std::vector<unsigned char> flipped = bytes;
      // Flip bits in the header, where they change sizes and layouts.
      for (int k = 0; k < 3; k++) flipped[random() % std::min<size_t>(64, flipped.size())] ^= 1 << (random() % 8);
      std::string path2 = workPath("flip-" + std::to_string(trial) + "-" + name);
      writeBytes(path2, flipped);
      expectRefused(path2);
    }
  }
  std::string gif = workPath("noise.gif");
  std::string zint = "zint -b PDF417 -d noise -o " + gif + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(zint.c_str()), 0);
  std::vector<unsigned char> bytes = readBytes(gif);
  writeBytes(workPath("cut-noise.gif"), std::vector<unsigned char>(bytes.begin(), bytes.begin() + 20));
  expectRefused(workPath("cut-noise.gif"));
  std::string ppm = "P6\n90 60\n255\n";
  std::vector<unsigned char> pnm(ppm.begin(), ppm.end());
  pnm.resize(pnm.size() + 100, 0x80);  // far fewer pixels than the header says
  writeBytes(workPath("cut.ppm"), pnm);
  expectRefused(workPath("cut.ppm"));
}

TEST(HostileInput, BmpHeadersClaimingImpossibleSizes) {
  const int sizes[][3] = {{100000, 100000, 24}, {32767, 32767, 24}, {30000, 30000, 1},
                          {0, 0, 24},           {0, 50, 24},         {50, 0, 24},
                          {-40, 40, 24},        {40, -2147483647, 24}, {2147483647, 2, 8}};
  for (const auto& size : sizes) {
    std::string path = workPath("claim-" + std::to_string(size[0]) + "x" + std::to_string(size[1]) + ".bmp");
    writeBytes(path, bmpHeader(size[0], size[1], size[2]));
    expectRefused(path);
  }
}

TEST(HostileInput, DegeneratePictures) {
  struct Case {
    const char* name;
    GrayPicture picture;
  };
  const Case cases[] = {
      {"one-wide.png", noise(1, 300, 2)}, {"one-high.png", noise(300, 1, 3)},
      {"one-pixel.png", blankPicture(1, 1, 0)},   {"white.png", blankPicture(400, 300, 255)},
      {"black.png", blankPicture(400, 300, 0)},   {"noise.png", noise(640, 480, 4)},
      {"gray.bmp", blankPicture(64, 64, 128)},
  };
  for (const Case& c : cases) {
    std::string path = workPath(std::string("degenerate-") + c.name);
    ASSERT_TRUE(writePicture(c.picture, path));
    expectRefused(path);
  }
}

TEST(HostileInput, StripesThatLookLikeBarsButHoldNoSymbol) {
  // Start and stop patterns around rows of unreadable bars: a symbol is
  // found, and every codeword is an erasure.
  const char* start = "11111111010101000";
  const char* stop = "111111101000101001";
  int columns = 12, rows = 40, module = 2;
  int modulesWide = 17 + 17 * (columns + 2) + 18;
  GrayPicture picture = blankPicture(modulesWide * module + 40, rows * 4 + 40, 255);
  for (int r = 0; r < rows; r++) {
    std::string line = start;
    for (int c = 0; c < columns + 2; c++)
      line += (r + c) % 2 ? "11111110000000010" : "10000000111111100";
    line += stop;
    for (int y = 0; y < 4; y++)
      for (int m = 0; m < modulesWide; m++)
        for (int p = 0; p < module; p++)
          if (line[m] == '1') picture.pixels[(size_t)(20 + r * 4 + y) * picture.width + 20 + m * module + p] = 0;
  }
  std::string path = workPath("stripes.png");
  ASSERT_TRUE(writePicture(picture, path));
  expectRefused(path);
}
