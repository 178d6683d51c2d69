#include "locate/line_thresholds.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pdf417read::detail::pattern_scan {

namespace {

// Darker than the mean of the window around it by 2 levels plus 1/32 of the
// mean: a small margin keeps paper grain light, and blurred thin bars beside
// the start pattern's wide bar, which pulls the mean down, still count dark.
inline unsigned char localLevel(int mean) {
  int level = mean - 2 - mean / 32;
  return (unsigned char)(level < 0 ? 0 : level);
}

// sums[x] = values[0] + ... + values[x - 1], for x = 0 .. length, modulo
// 65536: a window of at most 255 values sums to less than that, so the
// difference of two running sums, taken modulo 65536 too, is its sum
// exactly. Sixteen values at a time, eight to a register.
void runningSums(const unsigned char* values, int length, unsigned short* sums) {
  sums[0] = 0;
  int x = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
  for (; x + 16 <= length; x += 16) {
    __m128i v = _mm_loadu_si128((const __m128i*)(values + x));
    __m128i low = _mm_unpacklo_epi8(v, zero), high = _mm_unpackhi_epi8(v, zero);
    low = _mm_add_epi16(low, _mm_slli_si128(low, 2));
    high = _mm_add_epi16(high, _mm_slli_si128(high, 2));
    low = _mm_add_epi16(low, _mm_slli_si128(low, 4));
    high = _mm_add_epi16(high, _mm_slli_si128(high, 4));
    low = _mm_add_epi16(low, _mm_slli_si128(low, 8));
    high = _mm_add_epi16(high, _mm_slli_si128(high, 8));
    low = _mm_add_epi16(low, total);
    __m128i lowLast = _mm_shufflehi_epi16(low, 0xff);
    high = _mm_add_epi16(high, _mm_unpackhi_epi64(lowLast, lowLast));
    _mm_storeu_si128((__m128i*)(sums + x + 1), low);
    _mm_storeu_si128((__m128i*)(sums + x + 9), high);
    __m128i highLast = _mm_shufflehi_epi16(high, 0xff);
    total = _mm_unpackhi_epi64(highLast, highLast);
  }
#endif
  for (; x < length; x++) sums[x + 1] = (unsigned short)(sums[x] + values[x]);
}

// The mean of [from, to), at most 255 values, from the line's running
// sums, rounded down.
inline int windowMean(const unsigned short* sums, int from, int to) {
  return (unsigned short)(sums[to] - sums[from]) / (to - from);
}

}  // namespace

// sums: room for length + 1 values, the line's running sums.
void localThresholds(const unsigned char* values, int length, int window, unsigned short* sums,
                     unsigned char* thresholds) {
  int radius = window / 2;
  if (radius < 1) radius = 1;
  if (radius > 127) radius = 127;
  if (2 * radius + 1 > length) radius = (length - 1) / 2;
  runningSums(values, length, sums);
  // Near the ends the window is cut short; in between a whole window's sum
  // divides by a multiplication: sum * floor(65536 / n) / 65536, rounded
  // down, is the quotient or one less, and one more is taken where it still
  // fits in the sum.
  int x = 0;
  for (; x < radius && x < length; x++) thresholds[x] = localLevel(windowMean(sums, 0, x + radius + 1));
  int middleEnd = length - radius;  // windows ending at or before the line's end
#ifdef __SSE2__
  const int n = 2 * radius + 1;
  const __m128i divisor = _mm_set1_epi16((short)n), scale = _mm_set1_epi16((short)(65536 / n));
  const __m128i one = _mm_set1_epi16(1), two = _mm_set1_epi16(2), zero = _mm_setzero_si128();
  for (; x + 16 <= middleEnd; x += 16) {
    __m128i levels[2];
    for (int k = 0; k < 2; k++) {
      const unsigned short* ahead = sums + x + 8 * k + radius + 1;
      const unsigned short* behind = sums + x + 8 * k - radius;
      __m128i sum = _mm_sub_epi16(_mm_loadu_si128((const __m128i*)ahead), _mm_loadu_si128((const __m128i*)behind));
      __m128i mean = _mm_mulhi_epu16(sum, scale);
      // (mean + 1) * n <= 256 * 255: the product is exact.
      __m128i over = _mm_subs_epu16(_mm_mullo_epi16(_mm_add_epi16(mean, one), divisor), sum);
      mean = _mm_sub_epi16(mean, _mm_cmpeq_epi16(over, zero));
      levels[k] = _mm_sub_epi16(_mm_sub_epi16(mean, two), _mm_srli_epi16(mean, 5));
    }
    // The saturating pack clamps below 0 as localLevel does.
    _mm_storeu_si128((__m128i*)(thresholds + x), _mm_packus_epi16(levels[0], levels[1]));
  }
#endif
  for (; x < middleEnd; x++) thresholds[x] = localLevel(windowMean(sums, x - radius, x + radius + 1));
  for (; x < length; x++) thresholds[x] = localLevel(windowMean(sums, x - radius, length));
}

}  // namespace pdf417read::detail::pattern_scan
