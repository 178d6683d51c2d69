#include "locate/binarize.h"

#include <cstddef>
#include <cstring>

#include "locate/gray_histogram.h"

namespace pdf417read::detail {

// The threshold works on a smoothed histogram scaled to 0..kProfileTop.
enum { kBins = 256, kProfileTop = 120, kSmoothingPasses = 20, kMaxExtrema = kBins + 2 };

void smoothHistogram(int bins[256], int passes) {
  for (int pass = 0; pass < passes; pass++) {
    int left = bins[0];  // bin k - 1 as it was before this pass
    for (int k = 1; k < kBins - 1; k++) {
      int centre = bins[k];
      bins[k] = (int)(((long long)left + centre + bins[k + 1]) / 3);
      left = centre;
    }
  }
}

int nthLargestCount(const int bins[256], int n) {
  if (n < 1) n = 1;
  if (n > kBins) n = kBins;
  // Selection: take the largest remaining value n times.
  int rest[kBins];
  std::memcpy(rest, bins, sizeof rest);
  int remaining = kBins;
  int value = 0;
  for (int round = 0; round < n; round++) {
    int best = 0;
    for (int k = 1; k < remaining; k++)
      if (rest[k] > rest[best]) best = k;
    value = rest[best];
    rest[best] = rest[--remaining];
  }
  return value;
}

// Sum of profile[first .. last], both inclusive, clipped to the bins.
static long long profileMass(const int* profile, int first, int last) {
  if (first < 0) first = 0;
  if (last > kBins - 1) last = kBins - 1;
  long long mass = 0;
  for (int i = first; i <= last; i++) mass += profile[i];
  return mass;
}

static void normaliseProfile(const int* smoothed, int* profile) {
  int f = nthLargestCount(smoothed, 5);
  int divisor = f / kProfileTop + 1;
  if (divisor < 1) divisor = 1;  // only a histogram with negative counts gets here
  for (int k = 0; k < kBins; k++) {
    int height = smoothed[k] / divisor;
    profile[k] = height < kProfileTop ? height : kProfileTop;
  }
}

// Alternating list 0, peak, valley, peak, ..., 255; plateaus report their
// middle bin. Returns the entry count.
static int listExtrema(const int* profile, int* extrema) {
  int count = 0;
  extrema[count++] = 0;
  bool rising = true;
  int previous = profile[0], plateauStart = 0, plateauLength = 0;
  for (int k = 0; k < kBins - 1; k++) {
    if (profile[k] == previous) {
      plateauLength++;
      continue;
    }
    if (rising && profile[k] < previous) {
      extrema[count++] = plateauStart + plateauLength / 2;
      rising = false;
    } else if (!rising && profile[k] > previous) {
      extrema[count++] = plateauStart + plateauLength / 2;
      rising = true;
    }
    plateauStart = k;
    plateauLength = 1;
    previous = profile[k];
  }
  extrema[count++] = kBins - 1;
  return count;
}

static int absolute(int value) { return value < 0 ? -value : value; }

static void deletePair(int* extrema, int* count, int at) {
  std::memmove(extrema + at, extrema + at + 2, (size_t)(*count - at - 2) * sizeof *extrema);
  *count -= 2;
}

// Folds peaks and valleys that are too close (under 10 gray levels) or too
// shallow (under 5 profile units) into their neighbours, keeping the higher
// peak and the lower valley. Returns the new entry count.
static int mergeExtrema(const int* profile, int* extrema, int count) {
  if (count < 5) return count;
  int m = 2, limit = count - 2;
  while (m < limit) {
    int peakBefore = extrema[m - 1], valley = extrema[m], peakAfter = extrema[m + 1];
    if (valley - peakBefore < 10 || absolute(profile[peakBefore] - profile[valley]) < 5) {
      if (profile[peakBefore] > profile[peakAfter]) extrema[m + 1] = peakBefore;
      if (profile[valley] > profile[extrema[m - 2]]) extrema[m] = extrema[m - 2];
      deletePair(extrema, &count, m - 2);
      limit -= 2;
    } else if (peakAfter - valley < 10 || absolute(profile[peakAfter] - profile[valley]) < 5) {
      if (profile[peakAfter] >= profile[peakBefore]) extrema[m - 1] = peakAfter;
      if (profile[valley] < profile[extrema[m + 2]]) extrema[m + 2] = valley;
      deletePair(extrema, &count, m);
      limit -= 2;
    } else {
      m += 2;
    }
  }
  return count;
}

// Among several valleys, the one that splits the profile's mass most evenly.
static int mostBalancedValley(const int* profile, const int* extrema, int count) {
  int best = extrema[2];
  long long bestBalance = -1;
  for (int k = 2; k <= count - 2; k += 2) {
    int valley = extrema[k];
    long long below = profileMass(profile, 0, valley - 1);
    long long above = profileMass(profile, valley, kBins - 1);
    long long balance = below > above ? below - above : above - below;
    if (bestBalance < 0 || balance < bestBalance) {
      bestBalance = balance;
      best = valley;
    }
  }
  return best;
}

// The 20-bin walks stop at the ends of the histogram; reaching an end does
// not count as the profile rising again (both end bins are 0 anyway, so the
// profile can never rise into them). Returns the first bin, walking away
// from the foot, where the profile rises again, or -1 when it does not.
static int leftRise(const int* profile, int c) {
  for (int j = c - 3; j > c - 20 && j >= 0; j--)
    if (profile[j + 1] < profile[j]) return j;
  return -1;
}

static int rightRise(const int* profile, int d) {
  for (int j = d + 3; j < d + 20 && j < kBins; j++)
    if (profile[j - 1] < profile[j]) return j;
  return -1;
}

// Dark-side foot of a single peak at gray level p.
static int leftFoot(const int* profile, const int* extrema, int p) {
  if (p < 10) return extrema[0];
  int c = p - 3;
  while (c > 5) {
    bool flattening = profile[c + 1] - profile[c] >= profile[c] - profile[c - 2];
    if (profile[c] <= 60 && flattening) {
      int rise = leftRise(profile, c);
      if (rise >= 0 && profile[c] - profile[rise] > 10) c = rise + 2;
      if (profile[c] < 60) return c;
    }
    c--;
  }
  return c;
}

// Light-side foot of a single peak at gray level p.
static int rightFoot(const int* profile, const int* extrema, int p) {
  if (p > 245) return extrema[2];
  for (int d = p + 3; d < 250; d++) {
    bool flattening = profile[d - 1] - profile[d] >= profile[d] - profile[d + 2];
    if (profile[d] <= 60 && flattening) {
      int rise = rightRise(profile, d);
      if (rise >= 0 && profile[d] - profile[rise] > 10) d = rise - 2;
      return d;
    }
  }
  return 250;
}

// One peak (or none): threshold at the foot on the side holding more mass
// beyond it; the light side wins a tie.
static int singlePeakThreshold(const int* profile, const int* extrema) {
  int p = extrema[1];
  int left = leftFoot(profile, extrema, p);
  int right = rightFoot(profile, extrema, p);
  long long below = left > 0 ? profileMass(profile, 0, left - 1) : 0;
  long long above = right > 0 ? profileMass(profile, right, kBins - 1) : 0;
  return below > above ? left : right;
}

// A picture of pure black and pure white only: every gray level that the
// threshold selection looks at is empty, so split the range in the middle.
static bool onlyBlackAndWhite(const int* histogram) {
  if (histogram[0] <= 0 || histogram[kBins - 1] <= 0) return false;
  for (int k = 1; k < kBins - 1; k++)
    if (histogram[k] != 0) return false;
  return true;
}

int selectThreshold(const int histogram[256]) {
  if (onlyBlackAndWhite(histogram)) return kBins / 2;
  int smoothed[kBins];
  std::memcpy(smoothed, histogram, sizeof smoothed);
  // Pure black and pure white (clipped pixels) take no part.
  smoothed[0] = 0;
  smoothed[kBins - 1] = 0;
  smoothHistogram(smoothed, kSmoothingPasses);
  int profile[kBins];
  normaliseProfile(smoothed, profile);
  int extrema[kMaxExtrema] = {0};
  int count = listExtrema(profile, extrema);
  count = mergeExtrema(profile, extrema, count);
  if (count >= 6) return mostBalancedValley(profile, extrema, count);
  if (count >= 4) return extrema[2];
  return singlePeakThreshold(profile, extrema);
}

static void countLevels(const unsigned char* pixels, int width, int height, size_t stride, int histogram[kBins]) {
  unsigned counts[kBins];
  countGrayLevels(pixels, width, height, stride, counts);
  for (int k = 0; k < kBins; k++) histogram[k] = (int)counts[k];
}

int histogramThreshold(const unsigned char* pixels, int width, int height) {
  int histogram[kBins] = {0};
  if (pixels && width > 0 && height > 0) countLevels(pixels, width, height, (size_t)width, histogram);
  return selectThreshold(histogram);
}

// Sixteen bytes at a time: each chunk is read whole before it is written.
void applyThreshold(const unsigned char* src, unsigned char* dst, size_t count, int threshold) {
  typedef unsigned char Bytes16 __attribute__((vector_size(16)));
  // Below 1 nothing is dark, above 255 everything is.
  if (threshold > 255) {
    std::memset(dst, 1, count);
    return;
  }
  unsigned char limit = (unsigned char)(threshold < 0 ? 0 : threshold);
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    Bytes16 chunk;
    std::memcpy(&chunk, src + i, sizeof chunk);
    Bytes16 dark = (Bytes16)(chunk < limit) & 1;
    std::memcpy(dst + i, &dark, sizeof dark);
  }
  for (; i < count; i++) dst[i] = src[i] < limit ? 1 : 0;
}

void binarizeImage(unsigned char* pixels, int width, int height) {
  binarizeImageInto(pixels, pixels, width, height);
}

void binarizeImageInto(const unsigned char* gray, unsigned char* binary, int width, int height) {
  if (!gray || !binary || width <= 0 || height <= 0) return;
  int threshold = histogramThreshold(gray, width, height);
  applyThreshold(gray, binary, (size_t)width * height, threshold);
}

void binarizeRows(unsigned char* pixels, int width, int height, size_t stride) {
  if (!pixels || width <= 0 || height <= 0 || stride < (size_t)width) return;
  int histogram[kBins] = {0};
  countLevels(pixels, width, height, stride, histogram);
  int threshold = selectThreshold(histogram);
  for (int y = 0; y < height; y++) {
    unsigned char* row = pixels + (size_t)y * stride;
    applyThreshold(row, row, (size_t)width, threshold);
  }
}

}  // namespace pdf417read::detail
