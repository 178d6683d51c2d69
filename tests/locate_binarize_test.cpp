#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "locate/binarize.h"

using namespace pdf417read::detail;

namespace {

struct Histogram {
  int bins[256] = {0};
};

// Adds a bell of the given height around gray level centre.
void addBell(Histogram* h, int centre, double spread, double height) {
  for (int k = 1; k < 255; k++)
    h->bins[k] += (int)(height * std::exp(-(k - centre) * (k - centre) / (2 * spread * spread)));
}

// Dark peak at 50 and two light peaks at the given levels and spread.
int twoLightPeaksThreshold(int first, int second, double spread) {
  Histogram h;
  addBell(&h, 50, 4, 100);
  addBell(&h, first, spread, 200);
  addBell(&h, second, spread, 200);
  return selectThreshold(h.bins);
}

std::vector<unsigned char> filled(size_t count, unsigned char value) {
  return std::vector<unsigned char>(count, value);
}

}  // namespace

TEST(Binarize, BimodalPictureSplitsBetweenItsPeaks) {
  std::mt19937 random(7);
  std::normal_distribution<double> dark(40, 10), light(200, 15);
  std::vector<unsigned char> pixels(200 * 100);
  for (size_t i = 0; i < pixels.size(); i++) {
    double value = (i % 200) < 60 ? dark(random) : light(random);
    pixels[i] = (unsigned char)std::fmin(254, std::fmax(1, value));
  }
  int threshold = histogramThreshold(pixels.data(), 200, 100);
  EXPECT_GT(threshold, 80);
  EXPECT_LT(threshold, 160);

  // Darker than the threshold is a bar; the threshold level itself is light.
  pixels[0] = (unsigned char)threshold;
  pixels[1] = (unsigned char)(threshold - 1);
  std::vector<unsigned char> gray = pixels;
  binarizeImage(pixels.data(), 200, 100);
  for (size_t i = 0; i < pixels.size(); i++)
    ASSERT_EQ(pixels[i], gray[i] < threshold ? 1 : 0) << "pixel " << i;
  EXPECT_EQ(pixels[0], 0);
  EXPECT_EQ(pixels[1], 1);
}

TEST(Binarize, SingleLevelPicturesTurnLight) {
  for (unsigned char level : {0, 255}) {
    std::vector<unsigned char> pixels = filled(64 * 32, level);
    EXPECT_EQ(histogramThreshold(pixels.data(), 64, 32), 0) << "level " << (int)level;
    binarizeImage(pixels.data(), 64, 32);
    EXPECT_EQ(pixels, filled(64 * 32, 0));
  }
}

TEST(Binarize, PureBlackAndWhitePictureSplitsInTheMiddle) {
  std::vector<unsigned char> pixels(40 * 10, 255);
  for (int x = 0; x < 40; x += 4) pixels[x] = 0;
  EXPECT_EQ(histogramThreshold(pixels.data(), 40, 10), 128);
  binarizeImage(pixels.data(), 40, 10);
  for (int i = 0; i < 40 * 10; i++) ASSERT_EQ(pixels[i], i < 40 && i % 4 == 0 ? 1 : 0);

  // One gray pixel is enough to bring back the usual selection.
  Histogram h;
  h.bins[0] = 100;
  h.bins[255] = 100;
  h.bins[100] = 1;
  EXPECT_NE(selectThreshold(h.bins), 128);
}

TEST(Binarize, ClosePeaksMerge) {
  // Light peaks 10 levels apart merge, so the only valley left is the one
  // after the dark peak; 25 levels apart they stay, and the valley that
  // splits the mass most evenly lies between them.
  int merged = twoLightPeaksThreshold(150, 162, 3);
  EXPECT_GT(merged, 80);
  EXPECT_LT(merged, 120);
  int apart = twoLightPeaksThreshold(150, 175, 3);
  EXPECT_GT(apart, 155);
  EXPECT_LT(apart, 170);
}

TEST(Binarize, ShallowValleyMerges) {
  // 30 levels apart, but wide enough that the valley between the light peaks
  // is only a unit deep (spread 13) against eight units (spread 12).
  EXPECT_EQ(twoLightPeaksThreshold(145, 175, 12), 160);
  int merged = twoLightPeaksThreshold(145, 175, 13);
  EXPECT_GT(merged, 70);
  EXPECT_LT(merged, 100);
}

TEST(Binarize, SinglePeakTakesTheFootOnTheHeavierSide) {
  Histogram darkTail;  // light peak with a long dark tail: dark-side foot
  addBell(&darkTail, 200, 6, 1000);
  for (int k = 1; k < 190; k++) darkTail.bins[k] += 40;
  int threshold = selectThreshold(darkTail.bins);
  EXPECT_GT(threshold, 170);
  EXPECT_LT(threshold, 200);

  Histogram lightTail;  // dark peak with a long light tail: light-side foot
  addBell(&lightTail, 60, 6, 1000);
  for (int k = 70; k < 255; k++) lightTail.bins[k] += 40;
  threshold = selectThreshold(lightTail.bins);
  EXPECT_GT(threshold, 60);
  EXPECT_LT(threshold, 90);

  Histogram alone;  // nothing on either side: the light-side foot wins the tie
  addBell(&alone, 128, 6, 1000);
  threshold = selectThreshold(alone.bins);
  EXPECT_GT(threshold, 128);
  EXPECT_LT(threshold, 160);
}

TEST(Binarize, PeaksNearTheEndsStayInsideTheHistogram) {
  // The foot walks reach past bin 0 and bin 255 here; under the sanitizers
  // any read outside the 256 bins fails the test.
  for (int centre : {3, 8, 12, 15, 20, 236, 240, 245, 250}) {
    Histogram h;
    addBell(&h, centre, 3, 1000);
    int threshold = selectThreshold(h.bins);
    EXPECT_GE(threshold, 0);
    EXPECT_LE(threshold, 255);
  }
  std::mt19937 random(11);
  std::uniform_int_distribution<int> count(0, 5000), level(0, 255);
  for (int round = 0; round < 300; round++) {
    Histogram h;
    int spikes = 1 + round % 12;
    for (int s = 0; s < spikes; s++) h.bins[level(random)] += count(random);
    int threshold = selectThreshold(h.bins);
    ASSERT_GE(threshold, 0);
    ASSERT_LE(threshold, 255);
  }
}

TEST(Binarize, SmoothingAndRanking) {
  Histogram h;
  h.bins[0] = 9;
  h.bins[10] = 9;
  h.bins[255] = 9;
  smoothHistogram(h.bins, 1);
  EXPECT_EQ(h.bins[0], 9);  // the end bins keep their values
  EXPECT_EQ(h.bins[1], 3);
  EXPECT_EQ(h.bins[9], 3);
  EXPECT_EQ(h.bins[10], 3);
  EXPECT_EQ(h.bins[11], 3);
  EXPECT_EQ(h.bins[254], 3);
  EXPECT_EQ(h.bins[255], 9);
  h.bins[50] = 5;
  EXPECT_EQ(nthLargestCount(h.bins, 1), 9);
  EXPECT_EQ(nthLargestCount(h.bins, 2), 9);  // equal values count separately
  EXPECT_EQ(nthLargestCount(h.bins, 3), 5);
  EXPECT_EQ(nthLargestCount(h.bins, 4), 3);
  EXPECT_EQ(nthLargestCount(h.bins, 256), 0);
}
