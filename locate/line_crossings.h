// Where a line of gray values crosses its threshold, and how often: sixteen
// or thirty-two pixels compared at once where the processor allows it.
#ifndef PDF417_LOCATE_LINE_CROSSINGS_H
#define PDF417_LOCATE_LINE_CROSSINGS_H

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pdf417read::detail::pattern_scan {

// The threshold of a line: one level, or a gray level per pixel.
struct LevelThreshold {
  int level;
  int at(int) const { return level; }
};
struct PixelThresholds {
  const unsigned char* levels;
  int at(int x) const { return levels[x]; }
};

// The set bits of a 16-bit mask, without a processor instruction for it.
inline int bitsSet16(unsigned int x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0f0fu;
  return (int)((x + (x >> 8)) & 0x1fu);
}

// The set bits of a 32-bit mask, likewise.
inline int bitsSet32(unsigned int x) {
  x = x - ((x >> 1) & 0x55555555u);
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  x = (x + (x >> 4)) & 0x0f0f0f0fu;
  return (int)((x * 0x01010101u) >> 24);
}

// Appends base + k for every set bit k of the 32-bit `changes` (not zero).
// Four places are written whatever the count, so that print, whose lines
// cross a few times in every 32 pixels, does not pay a mispredicted branch
// per crossing; what lies past the count is overwritten or never read.
// Needs room for count + 4 entries.
inline int appendChanges(unsigned int changes, int base, int* crossings, int count) {
  int* out = crossings + count;
  unsigned int bits = changes;
  for (int k = 0; k < 4; k++) {
    out[k] = base + __builtin_ctz(bits | 0x80000000u);
    bits &= bits - 1;
  }
  int n = bitsSet32(changes);
  for (int k = 4; k < n; k++) {
    out[k] = base + __builtin_ctz(bits);
    bits &= bits - 1;
  }
  return count + n;
}

#ifdef __SSE2__
// Darker than the threshold: 16 pixels to 16 bits.
inline unsigned int darkBits(const unsigned char* values, __m128i levels) {
  __m128i v = _mm_loadu_si128((const __m128i*)values);
  __m128i light = _mm_cmpeq_epi8(_mm_max_epu8(v, levels), v);
  return ~(unsigned int)_mm_movemask_epi8(light) & 0xffffu;
}
inline __m128i levelsAt(LevelThreshold threshold, int) { return _mm_set1_epi8((char)threshold.level); }
inline __m128i levelsAt(PixelThresholds threshold, int x) {
  return _mm_loadu_si128((const __m128i*)(threshold.levels + x));
}
#endif

// Where the line crosses its threshold: the index of the first pixel of each
// run, written to starts (room for `length + 1` entries) from starts[0] = 0
// on, and `length` after the last. Sixteen pixels are compared at once and
// only their colour changes visited, so a line costs little where it runs
// through plain paper or a solid bar. Returns the number of crossings.
// Inlined: it is the hot loop of every line scanned.
template <typename Threshold>
__attribute__((always_inline)) inline int findCrossings(const unsigned char* values, int length, Threshold threshold,
                                                        int* starts) {
  int* crossings = starts + 1;
  int count = 0, x = 0;
  unsigned int previous = values[0] < threshold.at(0);
#ifdef __SSE2__
  // 32 pixels a step: where a line runs through paper or a solid bar, one
  // test passes them all.
  for (; x + 32 <= length; x += 32) {
    unsigned int dark = darkBits(values + x, levelsAt(threshold, x)) |
                        darkBits(values + x + 16, levelsAt(threshold, x + 16)) << 16;
    unsigned int changes = dark ^ ((dark << 1) | previous);
    previous = dark >> 31;
    // At most x crossings lie before x, so the four places fit in the
    // room while x + 32 <= length.
    if (changes) count = appendChanges(changes, x, crossings, count);
  }
  if (x + 16 <= length) {
    unsigned int dark = darkBits(values + x, levelsAt(threshold, x));
    unsigned int changes = (dark ^ ((dark << 1) | previous)) & 0xffffu;
    previous = dark >> 15;
    if (changes) count = appendChanges(changes, x, crossings, count);
    x += 16;
  }
#endif
  for (; x < length; x++) {
    unsigned int dark = values[x] < threshold.at(x);
    if (dark != previous) crossings[count++] = x;
    previous = dark;
  }
  starts[0] = 0;
  starts[count + 1] = length;
  return count;
}

// How many times the line crosses its threshold, sixteen pixels at a time:
// far cheaper than noting where, so a line of noise is told before that.
template <typename Threshold>
int countCrossings(const unsigned char* values, int length, Threshold threshold) {
  int count = 0, x = 0;
  unsigned int previous = values[0] < threshold.at(0);
#ifdef __SSE2__
  for (; x + 16 <= length; x += 16) {
    unsigned int dark = darkBits(values + x, levelsAt(threshold, x));
    count += bitsSet16((dark ^ ((dark << 1) | previous)) & 0xffffu);
    previous = dark >> 15;
  }
#endif
  for (; x < length; x++) {
    unsigned int dark = values[x] < threshold.at(x);
    count += dark != previous;
    previous = dark;
  }
  return count;
}

// More crossings than this in a line of `length` pixels: some 0.48 a pixel.
// A symbol of 1-pixel modules crosses 0.47 a pixel within its rows (eight
// bars and spaces every seventeen modules), and a line also runs through
// its quiet zones and what lies around; a line of noise about the threshold
// crosses every other pixel.
inline int noiseCrossings(int length) { return (int)(((long long)length * 31) >> 6); }

// Whether a line crosses its threshold as often as noise does, told from
// the count alone: the line's first quarter is counted first, and the whole
// line only when that part crosses nearly as often (0.44 a pixel, below the
// limit, so that few lines of noise slip through on a short count), so that
// other lines pay little.
template <typename Threshold>
bool noiseLine(const unsigned char* values, int length, Threshold threshold) {
  int head = (length / 4) & ~15;
  if (head >= 64 && countCrossings(values, head, threshold) * 64 <= head * 28) return false;
  return countCrossings(values, length, threshold) > noiseCrossings(length);
}

}  // namespace pdf417read::detail::pattern_scan

#endif
