#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "image/picture_limits.h"
#include "locate/adaptive_binarize.h"
#include "support/picture_variants.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

// A picture made by one of the functions under test, freed on scope exit.
struct Made {
  unsigned char* pixels = nullptr;
  int width = -1, height = -1;
  ~Made() { free(pixels); }
  unsigned char at(int x, int y) const { return pixels[(size_t)y * width + x]; }
  std::vector<unsigned char> all() const {
    return std::vector<unsigned char>(pixels, pixels + (size_t)width * height);
  }
};

std::vector<unsigned char> randomPicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> pixels((size_t)width * height);
  for (auto& p : pixels) p = (unsigned char)(random() & 255);
  return pixels;
}

std::vector<unsigned char> turned(const std::vector<unsigned char>& gray, int width, int height,
                                  int quarters, int* newWidth, int* newHeight) {
  Made made;
  made.pixels = turnPictureQuarter(gray.data(), width, height, quarters, &made.width, &made.height);
  EXPECT_NE(made.pixels, nullptr);
  *newWidth = made.width;
  *newHeight = made.height;
  return made.pixels ? made.all() : std::vector<unsigned char>();
}

GrayPicture drawnSymbol(const std::string& data, int columns, const DrawOptions& draw) {
  ModuleMatrix symbol;
  SymbolOptions options;
  options.columns = columns;
  EXPECT_TRUE(encodeSymbol(data, options, &symbol));
  return drawSymbol(symbol, draw);
}

}  // namespace

TEST(PictureVariants, PadSurroundsThePictureWithTheLevel) {
  const unsigned char gray[6] = {1, 2, 3, 4, 5, 6};
  Made padded;
  padded.pixels = padPicture(gray, 3, 2, 2, 200, &padded.width, &padded.height);
  ASSERT_NE(padded.pixels, nullptr);
  ASSERT_EQ(padded.width, 7);
  ASSERT_EQ(padded.height, 6);
  for (int y = 0; y < 6; y++)
    for (int x = 0; x < 7; x++) {
      bool inside = x >= 2 && x < 5 && y >= 2 && y < 4;
      EXPECT_EQ(padded.at(x, y), inside ? gray[(y - 2) * 3 + x - 2] : 200) << x << "," << y;
    }

  Made copy;
  copy.pixels = padPicture(gray, 3, 2, 0, 200, &copy.width, &copy.height);
  ASSERT_NE(copy.pixels, nullptr);
  EXPECT_EQ(copy.all(), std::vector<unsigned char>(gray, gray + 6));
}

TEST(PictureVariants, QuarterTurnsMoveEveryPixelClockwise) {
  // a b c      d a
  // d e f  ->  e b  (one quarter clockwise)
  //            f c
  std::vector<unsigned char> gray = {'a', 'b', 'c', 'd', 'e', 'f'};
  int w, h;
  EXPECT_EQ(turned(gray, 3, 2, 1, &w, &h), std::vector<unsigned char>({'d', 'a', 'e', 'b', 'f', 'c'}));
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(turned(gray, 3, 2, 2, &w, &h), std::vector<unsigned char>({'f', 'e', 'd', 'c', 'b', 'a'}));
  EXPECT_EQ(w, 3);
  const std::vector<unsigned char> threeQuarters = {'c', 'f', 'b', 'e', 'a', 'd'};
  EXPECT_EQ(turned(gray, 3, 2, 3, &w, &h), threeQuarters);
  EXPECT_EQ(turned(gray, 3, 2, -1, &w, &h), threeQuarters);
  EXPECT_EQ(turned(gray, 3, 2, INT_MAX, &w, &h), threeQuarters);  // 2^31 - 1 = 3 mod 4

  std::vector<unsigned char> picture = randomPicture(7, 4, 1);
  for (int whole : {0, 4, -4, 8, INT_MIN}) {
    EXPECT_EQ(turned(picture, 7, 4, whole, &w, &h), picture) << whole;
    EXPECT_EQ(w, 7);
  }
  int w1, h1;
  std::vector<unsigned char> once = turned(picture, 7, 4, 1, &w1, &h1);
  EXPECT_EQ(turned(once, w1, h1, 3, &w, &h), picture);
  int w2, h2;
  EXPECT_EQ(turned(once, w1, h1, 1, &w, &h), turned(picture, 7, 4, 2, &w2, &h2));
}

TEST(PictureVariants, QuarterTurnMatchesTheTestSymbolsTurn) {
  DrawOptions draw;
  draw.modulePixels = 2;
  draw.rowPixels = 4;
  draw.quietPixels = 3;
  GrayPicture upright = drawnSymbol("quarter", 2, draw);
  for (int quarters = 1; quarters < 4; quarters++) {
    draw.rotation = 90 * quarters;
    GrayPicture expected = drawnSymbol("quarter", 2, draw);
    int w, h;
    EXPECT_EQ(turned(upright.pixels, upright.width, upright.height, quarters, &w, &h),
              expected.pixels);
    EXPECT_EQ(w, expected.width);
    EXPECT_EQ(h, expected.height);
  }
}

TEST(PictureVariants, EnlargeInterpolatesWithAlignedCentres) {
  const unsigned char step[2] = {0, 255};
  Made big;
  big.pixels = enlargePicture(step, 2, 1, 2, &big.width, &big.height);
  ASSERT_NE(big.pixels, nullptr);
  ASSERT_EQ(big.width, 4);
  ASSERT_EQ(big.height, 2);
  // Samples at -0.25 (clamped), 0.25, 0.75, 1.25 (clamped).
  EXPECT_EQ(big.all(), std::vector<unsigned char>({0, 64, 191, 255, 0, 64, 191, 255}));

  std::vector<unsigned char> flat(9 * 5, 77);
  for (int factor = 2; factor <= 4; factor++) {
    Made enlarged;
    enlarged.pixels = enlargePicture(flat.data(), 9, 5, factor, &enlarged.width, &enlarged.height);
    ASSERT_NE(enlarged.pixels, nullptr);
    EXPECT_EQ(enlarged.width, 9 * factor);
    EXPECT_EQ(enlarged.height, 5 * factor);
    EXPECT_EQ(enlarged.all(), std::vector<unsigned char>((size_t)45 * factor * factor, 77));
  }
}

TEST(PictureVariants, EnlargedBarsKeepTheirEdges) {
  // Bars of random widths, across and down: thresholded at mid gray, the
  // enlarged picture is the nearest-neighbour enlargement, edges in place.
  std::mt19937 random(5);
  const int size = 40;
  std::vector<unsigned char> bars(size);
  for (int i = 0; i < size; i++) bars[i] = random() % 3 ? bars[i > 0 ? i - 1 : 0] : 255 - bars[i > 0 ? i - 1 : 0];
  for (bool across : {true, false}) {
    int width = across ? size : 3, height = across ? 3 : size;
    std::vector<unsigned char> picture((size_t)width * height);
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) picture[(size_t)y * width + x] = bars[across ? x : y];
    for (int factor = 2; factor <= 4; factor++) {
      Made big;
      big.pixels = enlargePicture(picture.data(), width, height, factor, &big.width, &big.height);
      ASSERT_NE(big.pixels, nullptr);
      for (int y = 0; y < big.height; y++)
        for (int x = 0; x < big.width; x++)
          ASSERT_EQ(big.at(x, y) >= 128, picture[(size_t)(y / factor) * width + x / factor] >= 128)
              << "factor " << factor << " at " << x << "," << y;
    }
  }
}

TEST(PictureVariants, ShrinkAveragesBlocksPartialOnesIncluded) {
  // 5 x 3 by 2: blocks of 4, 2 (right column), 2 (bottom row) and 1 pixel.
  const unsigned char gray[15] = {0, 10, 20, 30, 40,  //
                                  2, 12, 22, 33, 41,  //
                                  100, 200, 0, 1, 7};
  Made small;
  small.pixels = shrinkPicture(gray, 5, 3, 2, &small.width, &small.height);
  ASSERT_NE(small.pixels, nullptr);
  ASSERT_EQ(small.width, 3);
  ASSERT_EQ(small.height, 2);
  EXPECT_EQ(small.all(), std::vector<unsigned char>({6, 26, 41, 150, 1, 7}));

  for (int factor = 2; factor <= 8; factor++) {
    const int width = 23, height = 17;
    std::vector<unsigned char> picture = randomPicture(width, height, factor);
    Made shrunk;
    shrunk.pixels = shrinkPicture(picture.data(), width, height, factor, &shrunk.width, &shrunk.height);
    ASSERT_NE(shrunk.pixels, nullptr);
    ASSERT_EQ(shrunk.width, (width + factor - 1) / factor);
    ASSERT_EQ(shrunk.height, (height + factor - 1) / factor);
    for (int y = 0; y < shrunk.height; y++)
      for (int x = 0; x < shrunk.width; x++) {
        int sum = 0, count = 0;
        for (int v = y * factor; v < std::min(height, (y + 1) * factor); v++)
          for (int u = x * factor; u < std::min(width, (x + 1) * factor); u++, count++)
            sum += picture[(size_t)v * width + u];
        ASSERT_EQ(shrunk.at(x, y), (int)std::lround((double)sum / count)) << factor;
      }
  }
}

TEST(PictureVariants, RotateByQuartersIsExactAndSizesHoldTheWholePicture) {
  std::vector<unsigned char> picture = randomPicture(13, 8, 3);
  for (int quarters = -1; quarters <= 2; quarters++) {
    Made rotated;
    rotated.pixels = rotatePicture(picture.data(), 13, 8, quarters * M_PI / 2, 9, &rotated.width,
                                   &rotated.height);
    ASSERT_NE(rotated.pixels, nullptr);
    int w, h;
    EXPECT_EQ(rotated.all(), turned(picture, 13, 8, quarters, &w, &h)) << quarters;
    EXPECT_EQ(rotated.width, w);
    EXPECT_EQ(rotated.height, h);
  }

  // 100 x 60 by 30 degrees: 116.6 x 102.0, widened to 118 to keep the
  // width's parity.
  std::vector<unsigned char> flat(100 * 60, 0);
  Made tilted;
  tilted.pixels = rotatePicture(flat.data(), 100, 60, M_PI / 6, 250, &tilted.width, &tilted.height);
  ASSERT_NE(tilted.pixels, nullptr);
  EXPECT_EQ(tilted.width, 118);
  EXPECT_EQ(tilted.height, 102);
  EXPECT_EQ(tilted.at(0, 0), 250);
  EXPECT_EQ(tilted.at(117, 101), 250);
  EXPECT_EQ(tilted.at(59, 51), 0);
  // The turned picture's corners reach within a pixel of every side.
  bool dark[4] = {false, false, false, false};
  for (int x = 0; x < tilted.width; x++) dark[0] |= tilted.at(x, 1) < 128, dark[1] |= tilted.at(x, 100) < 128;
  for (int y = 0; y < tilted.height; y++) dark[2] |= tilted.at(1, y) < 128, dark[3] |= tilted.at(116, y) < 128;
  for (bool touched : dark) EXPECT_TRUE(touched);
}

TEST(PictureVariants, RotateTurnsClockwiseOnScreen) {
  // A dark spot right of the centre goes down under a small positive turn.
  std::vector<unsigned char> picture(41 * 41, 255);
  picture[20 * 41 + 35] = 0;
  Made rotated;
  rotated.pixels = rotatePicture(picture.data(), 41, 41, 0.4, 255, &rotated.width, &rotated.height);
  ASSERT_NE(rotated.pixels, nullptr);
  int darkestX = 0, darkestY = 0;
  for (int y = 0; y < rotated.height; y++)
    for (int x = 0; x < rotated.width; x++)
      if (rotated.at(x, y) < rotated.at(darkestX, darkestY)) darkestX = x, darkestY = y;
  double cx = (rotated.width - 1) / 2.0, cy = (rotated.height - 1) / 2.0;
  EXPECT_NEAR(darkestX - cx, 15 * std::cos(0.4), 1.0);
  EXPECT_NEAR(darkestY - cy, 15 * std::sin(0.4), 1.0);
}

TEST(PictureVariants, RotateThereAndBackRestoresTheCentre) {
  const int width = 90, height = 70;
  std::vector<unsigned char> picture((size_t)width * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      picture[(size_t)y * width + x] = (unsigned char)(128 + 100 * std::sin(x / 5.0) * std::cos(y / 7.0));
  for (double angle : {0.05, 0.3, -0.7, 1.2, 2.5}) {
    Made there, back;
    there.pixels = rotatePicture(picture.data(), width, height, angle, 255, &there.width, &there.height);
    ASSERT_NE(there.pixels, nullptr);
    back.pixels = rotatePicture(there.pixels, there.width, there.height, -angle, 255, &back.width,
                                &back.height);
    ASSERT_NE(back.pixels, nullptr);
    ASSERT_EQ((back.width - width) % 2, 0) << angle;
    ASSERT_EQ((back.height - height) % 2, 0) << angle;
    int offsetX = (back.width - width) / 2, offsetY = (back.height - height) / 2;
    int worst = 0;
    for (int y = height / 4; y < height * 3 / 4; y++)
      for (int x = width / 4; x < width * 3 / 4; x++)
        worst = std::max(worst, std::abs(back.at(x + offsetX, y + offsetY) - picture[(size_t)y * width + x]));
    EXPECT_LE(worst, 8) << angle;
  }
}

TEST(PictureVariants, LightLevelIsTheNinetiethPercentile) {
  std::vector<unsigned char> picture(100, 40);
  for (int i = 0; i < 10; i++) picture[i] = 220;  // exactly 90% at 40 or below
  EXPECT_EQ(lightLevel(picture.data(), 10, 10), 40);
  picture[10] = 220;
  EXPECT_EQ(lightLevel(picture.data(), 10, 10), 220);
  picture[50] = 0;
  EXPECT_EQ(lightLevel(picture.data(), 100, 1), 220);
  EXPECT_EQ(lightLevel(picture.data(), 1, 1), 220);
  EXPECT_EQ(lightLevel(picture.data() + 50, 1, 1), 0);

  EXPECT_EQ(lightLevel(nullptr, 10, 10), 255);
  EXPECT_EQ(lightLevel(picture.data(), 0, 10), 255);
  EXPECT_EQ(lightLevel(picture.data(), 10, -3), 255);
}

TEST(PictureVariants, HostileArgumentsAreRefused) {
  const unsigned char gray[4] = {1, 2, 3, 4};
  int w = 7, h = 7;
  auto refused = [&](unsigned char* made) {
    bool ok = made == nullptr && w == 0 && h == 0;
    free(made);
    w = h = 7;
    return ok;
  };
  for (int width : {0, -1, INT_MIN, kMaxPictureSide + 1, INT_MAX}) {
    EXPECT_TRUE(refused(padPicture(gray, width, 1, 1, 0, &w, &h))) << width;
    EXPECT_TRUE(refused(padPicture(gray, 1, width, 1, 0, &w, &h))) << width;
    EXPECT_TRUE(refused(enlargePicture(gray, width, 1, 2, &w, &h))) << width;
    EXPECT_TRUE(refused(enlargePicture(gray, 1, width, 2, &w, &h))) << width;
    EXPECT_TRUE(refused(shrinkPicture(gray, width, 1, 2, &w, &h))) << width;
    EXPECT_TRUE(refused(turnPictureQuarter(gray, width, 1, 1, &w, &h))) << width;
    EXPECT_TRUE(refused(turnPictureQuarter(gray, 1, width, 1, &w, &h))) << width;
    EXPECT_TRUE(refused(rotatePicture(gray, width, 1, 0.1, 0, &w, &h))) << width;
    EXPECT_TRUE(refused(rotatePicture(gray, 1, width, 0.1, 0, &w, &h))) << width;
    EXPECT_EQ(lightLevel(gray, width, 1), 255);
    unsigned char untouched[4] = {1, 2, 3, 4};
    adaptiveBinarize(untouched, width, 1, 3);
    adaptiveBinarize(untouched, 1, width, 3);
    EXPECT_EQ(untouched[3], 4);
  }
  // Sides within the limits whose product is not.
  EXPECT_TRUE(refused(padPicture(gray, 1 << 14, 1 << 14, 0, 0, &w, &h)));
  EXPECT_TRUE(refused(turnPictureQuarter(gray, 1 << 14, 1 << 14, 1, &w, &h)));

  EXPECT_TRUE(refused(padPicture(nullptr, 2, 2, 1, 0, &w, &h)));
  EXPECT_TRUE(refused(enlargePicture(nullptr, 2, 2, 2, &w, &h)));
  EXPECT_TRUE(refused(shrinkPicture(nullptr, 2, 2, 2, &w, &h)));
  EXPECT_TRUE(refused(turnPictureQuarter(nullptr, 2, 2, 1, &w, &h)));
  EXPECT_TRUE(refused(rotatePicture(nullptr, 2, 2, 0.1, 0, &w, &h)));
  EXPECT_EQ(padPicture(gray, 2, 2, 1, 0, nullptr, &h), nullptr);
  EXPECT_EQ(enlargePicture(gray, 2, 2, 2, &w, nullptr), nullptr);
  EXPECT_EQ(rotatePicture(gray, 2, 2, 0.1, 0, nullptr, nullptr), nullptr);
  adaptiveBinarize(nullptr, 2, 2, 3);

  for (int margin : {-1, INT_MIN, (int)kMaxPictureSide, INT_MAX})
    EXPECT_TRUE(refused(padPicture(gray, 2, 2, margin, 0, &w, &h))) << margin;
  for (int factor : {INT_MIN, -2, 0, 1, 5, 1000, INT_MAX})
    EXPECT_TRUE(refused(enlargePicture(gray, 2, 2, factor, &w, &h))) << factor;
  for (int factor : {INT_MIN, -2, 0, 1, 9, 1000, INT_MAX})
    EXPECT_TRUE(refused(shrinkPicture(gray, 2, 2, factor, &w, &h))) << factor;
  for (double angle : {NAN, INFINITY, -INFINITY})
    EXPECT_TRUE(refused(rotatePicture(gray, 2, 2, angle, 0, &w, &h)));

  // Valid pictures whose results would outgrow the limits.
  std::vector<unsigned char> wide((size_t)20000 * 2, 100);
  EXPECT_TRUE(refused(enlargePicture(wide.data(), 20000, 2, 2, &w, &h)));
  EXPECT_TRUE(refused(padPicture(wide.data(), 20000, 2, 7000, 0, &w, &h)));
  std::vector<unsigned char> square((size_t)3000 * 3000, 100);
  EXPECT_TRUE(refused(enlargePicture(square.data(), 3000, 3000, 4, &w, &h)));  // 1.44e8 pixels
  EXPECT_TRUE(refused(padPicture(square.data(), 3000, 3000, 5000, 0, &w, &h)));
  std::vector<unsigned char> band((size_t)20000 * 200, 100);
  EXPECT_TRUE(refused(rotatePicture(band.data(), 20000, 200, M_PI / 4, 0, &w, &h)));  // 14284 square
  EXPECT_TRUE(refused(rotatePicture(wide.data(), 20000, 2, M_PI / 2 + 0.6, 0, &w, &h)));

  // Results right at the limits are still made.
  std::vector<unsigned char> longest((size_t)kMaxPictureSide - 2, 100);
  Made padded;
  padded.pixels = padPicture(longest.data(), kMaxPictureSide - 2, 1, 1, 0, &padded.width, &padded.height);
  ASSERT_NE(padded.pixels, nullptr);
  EXPECT_EQ(padded.width, kMaxPictureSide);
  EXPECT_EQ(padded.at(kMaxPictureSide - 2, 1), 100);
  Made enlarged;
  enlarged.pixels = enlargePicture(longest.data(), 8191, 2, 4, &enlarged.width, &enlarged.height);
  ASSERT_NE(enlarged.pixels, nullptr);
  EXPECT_EQ(enlarged.width, 32764);
  Made shrunk;
  shrunk.pixels = shrinkPicture(gray, 2, 2, 8, &shrunk.width, &shrunk.height);
  ASSERT_NE(shrunk.pixels, nullptr);
  EXPECT_EQ(shrunk.width, 1);
  EXPECT_EQ(shrunk.at(0, 0), 3);  // (1 + 2 + 3 + 4 + 2) / 4
}
