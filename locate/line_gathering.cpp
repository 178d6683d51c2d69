#include "locate/line_gathering.h"

#include <cstddef>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pdf417read::detail::pattern_scan {

// Diagonals are told apart by c = x - y, antidiagonals by c = x + y - (height - 1).
Diagonal diagonalAt(int width, int height, int c, int dx) {
  Diagonal d;
  d.x = dx > 0 ? (c > 0 ? c : 0) : (c + height - 1 < width ? c + height - 1 : width - 1);
  d.y = dx > 0 ? d.x - c : c + height - 1 - d.x;
  int across = dx > 0 ? width - d.x : d.x + 1;
  d.pixels = height - d.y < across ? height - d.y : across;
  return d;
}

namespace {

#ifdef __SSE2__
// Sixteen rows of sixteen bytes turned into sixteen columns, in place.
__attribute__((always_inline)) inline void transpose16(__m128i* m) {
  __m128i t[16];
  for (int i = 0; i < 8; i++) {  // rows 2i and 2i + 1, by 16-bit pairs
    t[i] = _mm_unpacklo_epi8(m[2 * i], m[2 * i + 1]);
    t[i + 8] = _mm_unpackhi_epi8(m[2 * i], m[2 * i + 1]);
  }
  for (int h = 0; h < 2; h++)
    for (int i = 0; i < 4; i++) {  // four rows, by 32-bit quads
      m[h * 8 + i] = _mm_unpacklo_epi16(t[h * 8 + 2 * i], t[h * 8 + 2 * i + 1]);
      m[h * 8 + i + 4] = _mm_unpackhi_epi16(t[h * 8 + 2 * i], t[h * 8 + 2 * i + 1]);
    }
  for (int g = 0; g < 4; g++)
    for (int i = 0; i < 2; i++) {  // eight rows, by 64-bit halves
      t[g * 4 + i] = _mm_unpacklo_epi32(m[g * 4 + 2 * i], m[g * 4 + 2 * i + 1]);
      t[g * 4 + i + 2] = _mm_unpackhi_epi32(m[g * 4 + 2 * i], m[g * 4 + 2 * i + 1]);
    }
  for (int g = 0; g < 8; g++) {  // all sixteen rows of columns 2g and 2g + 1
    m[2 * g] = _mm_unpacklo_epi64(t[2 * g], t[2 * g + 1]);
    m[2 * g + 1] = _mm_unpackhi_epi64(t[2 * g], t[2 * g + 1]);
  }
}
#endif

}  // namespace

// The samples of `count` diagonal lines going down a row and `dx` (1 or -1)
// across at each step, every half step: the pixels on the line and, between
// two of them, the mean of the two pixels beside the middle. Line k goes to
// out + k * stride. The lines are gathered together a band of rows at a
// time, so that what each band fetches of the picture serves all of them;
// with `fetchAhead`, for a picture larger than the processor's caches, the
// next band is fetched while one is read.
void gatherDiagonals(const unsigned char* gray, int width, const Diagonal* lines, int count, int dx,
                     bool fetchAhead, unsigned char* out, size_t stride) {
  enum { kBand = 64 };
  int top = lines[0].y, bottom = 0;
  for (int k = 0; k < count; k++) {
    top = lines[k].y < top ? lines[k].y : top;
    bottom = lines[k].y + lines[k].pixels > bottom ? lines[k].y + lines[k].pixels : bottom;
  }
  const ptrdiff_t next = (ptrdiff_t)width + dx;
  int firstKey = dx > 0 ? lines[0].x - lines[0].y : lines[0].x + lines[0].y;
  int lastKey = dx > 0 ? lines[count - 1].x - lines[count - 1].y : lines[count - 1].x + lines[count - 1].y;
  int lowKey = firstKey < lastKey ? firstKey : lastKey, highKey = firstKey < lastKey ? lastKey : firstKey;
  for (int band = top; band < bottom; band += kBand) {
    // The next band's stretch of each row, fetched while this band is read.
    for (int y = band + kBand; fetchAhead && y < band + 2 * kBand && y < bottom; y++) {
      int from = dx > 0 ? lowKey + y - 1 : lowKey - y - 1, to = dx > 0 ? highKey + y + 1 : highKey - y + 1;
      from = from < 0 ? 0 : from;
      to = to >= width ? width - 1 : to;
      for (int x = from & ~63; x <= to; x += 64) __builtin_prefetch(gray + (size_t)y * width + x, 0, 3);
    }
    for (int k = 0; k < count; k++) {
      const Diagonal& d = lines[k];
      int from = band > d.y ? band - d.y : 0;
      int to = band + kBand - d.y < d.pixels ? band + kBand - d.y : d.pixels;
      unsigned char* samples = out + (size_t)k * stride;
      const unsigned char* p = gray + (size_t)(d.y + from) * width + d.x + dx * from;
      // Every pixel but the line's last has a mean after it.
      int pairsEnd = to < d.pixels - 1 ? to : d.pixels - 1;
      int t = from;
      for (; t < pairsEnd; t++, p += next) {
        samples[2 * t] = p[0];
        samples[2 * t + 1] = (unsigned char)((p[dx] + p[width] + 1) >> 1);
      }
      if (t < to) samples[2 * t] = p[0];
    }
  }
}

namespace {

#ifdef __SSE2__
// Sixteen pixels `step` (1, 2 or 4) apart from p on.
inline __m128i everyStep(const unsigned char* p, int step) {
  if (step == 1) return _mm_loadu_si128((const __m128i*)p);
  if (step == 2) {
    __m128i low = _mm_set1_epi16(0xff);
    return _mm_packus_epi16(_mm_and_si128(_mm_loadu_si128((const __m128i*)p), low),
                            _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 16)), low));
  }
  __m128i low = _mm_set1_epi32(0xff);
  __m128i a = _mm_and_si128(_mm_loadu_si128((const __m128i*)p), low);
  __m128i b = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 16)), low);
  __m128i c = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 32)), low);
  __m128i d = _mm_and_si128(_mm_loadu_si128((const __m128i*)(p + 48)), low);
  return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}
#endif

}  // namespace

// Columns first, first + step, ... (count of them) of the picture, column c
// to columns + c * height: blocks of sixteen rows and sixteen columns are
// turned by one transpose where the step allows it.
void gatherColumns(const unsigned char* gray, int width, int height, int first, int step, int count,
                   unsigned char* columns) {
  int c = 0;
#ifdef __SSE2__
  if (step == 1 || step == 2 || step == 4) {
    for (; c + 16 <= count && first + (c + 16) * step <= width; c += 16) {
      int y = 0;
      for (; y + 16 <= height; y += 16) {
        __m128i block[16];
        for (int r = 0; r < 16; r++) block[r] = everyStep(gray + (size_t)(y + r) * width + first + c * step, step);
        transpose16(block);
        for (int i = 0; i < 16; i++) _mm_storeu_si128((__m128i*)(columns + (size_t)(c + i) * height + y), block[i]);
      }
      for (; y < height; y++)
        for (int i = 0; i < 16; i++)
          columns[(size_t)(c + i) * height + y] = gray[(size_t)y * width + first + (c + i) * step];
    }
  }
#endif
  for (int y = 0; y < height; y++) {
    const unsigned char* row = gray + (size_t)y * width + first;
    for (int i = c; i < count; i++) columns[(size_t)i * height + y] = row[i * step];
  }
}

}  // namespace pdf417read::detail::pattern_scan
