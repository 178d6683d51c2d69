#include "locate/grid_sampling.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pdf417read::detail {

static const double kOneEighteenth = 1.0 / 18.0;
static const double kLight = 255.0;

// Maps are built in single precision throughout.
ProjectiveMap mapSquareToQuad(float x0, float y0, float x1, float y1, float x2, float y2,
                              float x3, float y3) {
  ProjectiveMap m;
  float dx3 = x0 - x1 + x2 - x3;
  float dy3 = y0 - y1 + y2 - y3;
  if (dx3 == 0.0f && dy3 == 0.0f) {  // parallelogram: affine
    m.a11 = x1 - x0, m.a21 = x2 - x1, m.a31 = x0;
    m.a12 = y1 - y0, m.a22 = y2 - y1, m.a32 = y0;
    m.a13 = 0.0f, m.a23 = 0.0f, m.a33 = 1.0f;
    return m;
  }
  float dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
  float denominator = dx1 * dy2 - dx2 * dy1;
  m.a13 = (dx3 * dy2 - dx2 * dy3) / denominator;
  m.a23 = (dx1 * dy3 - dx3 * dy1) / denominator;
  m.a11 = x1 - x0 + m.a13 * x1, m.a21 = x3 - x0 + m.a23 * x3, m.a31 = x0;
  m.a12 = y1 - y0 + m.a13 * y1, m.a22 = y3 - y0 + m.a23 * y3, m.a32 = y0;
  m.a33 = 1.0f;
  return m;
}

// The adjugate stands in for the inverse: the division by w' cancels the
// determinant it leaves out.
ProjectiveMap mapQuadToSquare(float x0, float y0, float x1, float y1, float x2, float y2,
                              float x3, float y3) {
  ProjectiveMap s = mapSquareToQuad(x0, y0, x1, y1, x2, y2, x3, y3);
  ProjectiveMap m;
  m.a11 = s.a22 * s.a33 - s.a23 * s.a32;
  m.a21 = s.a23 * s.a31 - s.a21 * s.a33;
  m.a31 = s.a21 * s.a32 - s.a22 * s.a31;
  m.a12 = s.a13 * s.a32 - s.a12 * s.a33;
  m.a22 = s.a11 * s.a33 - s.a13 * s.a31;
  m.a32 = s.a12 * s.a31 - s.a11 * s.a32;
  m.a13 = s.a12 * s.a23 - s.a13 * s.a22;
  m.a23 = s.a13 * s.a21 - s.a11 * s.a23;
  m.a33 = s.a11 * s.a22 - s.a12 * s.a21;
  return m;
}

// Matrix product first * second: apply first, then second.
ProjectiveMap composeMaps(ProjectiveMap f, ProjectiveMap s) {
  ProjectiveMap m;
  m.a11 = f.a11 * s.a11 + f.a12 * s.a21 + f.a13 * s.a31;
  m.a12 = f.a11 * s.a12 + f.a12 * s.a22 + f.a13 * s.a32;
  m.a13 = f.a11 * s.a13 + f.a12 * s.a23 + f.a13 * s.a33;
  m.a21 = f.a21 * s.a11 + f.a22 * s.a21 + f.a23 * s.a31;
  m.a22 = f.a21 * s.a12 + f.a22 * s.a22 + f.a23 * s.a32;
  m.a23 = f.a21 * s.a13 + f.a22 * s.a23 + f.a23 * s.a33;
  m.a31 = f.a31 * s.a11 + f.a32 * s.a21 + f.a33 * s.a31;
  m.a32 = f.a31 * s.a12 + f.a32 * s.a22 + f.a33 * s.a32;
  m.a33 = f.a31 * s.a13 + f.a32 * s.a23 + f.a33 * s.a33;
  return m;
}

ProjectiveMap mapQuadToQuad(const float* from, const float* to) {
  ProjectiveMap toSquare = mapQuadToSquare(from[0], from[1], from[2], from[3], from[4], from[5],
                                           from[6], from[7]);
  ProjectiveMap fromSquare =
      mapSquareToQuad(to[0], to[1], to[2], to[3], to[4], to[5], to[6], to[7]);
  return composeMaps(toSquare, fromSquare);
}

// Mitchell-Netravali cubic with B = C = 1/3; t runs from p1 towards p2.
// Value is double, or a vector of doubles that each take the same steps.
template <typename Value>
static inline Value cubicPolynomial(Value t, Value p0, Value p1, Value p2, Value p3) {
  return ((((7.0 * p3 - 7.0 * p0 + 21.0 * p1 - 21.0 * p2) * t + (15.0 * p0 - 36.0 * p1 + 27.0 * p2 - 6.0 * p3)) * t +
           (9.0 * p2 - 9.0 * p0)) * t +
          (p0 + 16.0 * p1 + p2)) *
         kOneEighteenth;
}

double cubicInterpolate(double t, double p0, double p1, double p2, double p3) {
  return cubicPolynomial<double>(t, p0, p1, p2, p3);
}

static long long clampIndex(long long index, int size) {
  if (index < 0) return 0;
  if (index >= size) return size - 1;
  return index;
}

// Source byte at (x, y), taken from the nearest border pixel when outside.
static double sourceAt(const unsigned char* src, long long x, long long y, int srcWidth,
                       int srcHeight) {
  size_t row = (size_t)clampIndex(y, srcHeight);
  size_t column = (size_t)clampIndex(x, srcWidth);
  return src[row * (size_t)srcWidth + column];
}

double cubicSample(const unsigned char* src, float u, double v, int srcWidth, int srcHeight) {
  if (!src || srcWidth <= 0 || srcHeight <= 0) return kLight;
  if (!std::isfinite(u) || !std::isfinite(v)) return kLight;
  // Further out every tap lands on the border pixel, so pulling the position
  // in changes nothing and keeps the integer parts in range.
  double x = u, y = v;
  if (x < -2.0) x = -2.0;
  if (x > srcWidth + 1.0) x = srcWidth + 1.0;
  if (y < -2.0) y = -2.0;
  if (y > srcHeight + 1.0) y = srcHeight + 1.0;
  long long xi = (long long)x, yi = (long long)y;  // toward zero
  double fx = x - (double)xi, fy = y - (double)yi;
  double rows[4];
  for (int k = 0; k < 4; k++) {
    long long r = yi - 1 + k;
    rows[k] = cubicPolynomial<double>(fx, sourceAt(src, xi - 1, r, srcWidth, srcHeight),
                               sourceAt(src, xi, r, srcWidth, srcHeight),
                               sourceAt(src, xi + 1, r, srcWidth, srcHeight),
                               sourceAt(src, xi + 2, r, srcWidth, srcHeight));
  }
  return cubicPolynomial<double>(fy, rows[0], rows[1], rows[2], rows[3]);
}

// Rounded to single precision; magnitudes beyond float range (far outside
// any picture) are pulled in first, infinities and NaN pass unchanged.
static float toSingle(double value) {
  if (!std::isfinite(value)) return (float)value;
  if (value > 1e30) return 1e30f;
  if (value < -1e30) return -1e30f;
  return (float)value;
}

// Rounded half up and clamped to a gray level: the filter overshoots near
// sharp edges, and wrapping would turn a light pixel dark.
static unsigned char grayLevel(double value) {
  double rounded = value + 0.5;
  if (!(rounded > 0.0)) return 0;
  if (rounded >= 255.0) return 255;
  return (unsigned char)(int)rounded;
}

// Grid points are mapped, then sampled, this many at a time.
enum { kSampleRun = 256 };

// The picture a grid is sampled from, with the bounds the samplers test
// against worked out once.
struct SampleSource {
  const unsigned char* pixels;
  int width, height;
  double innerRight, innerBottom;  // cubic taps need no clamping left of and above these
};

// Two lanes of doubles: each lane takes exactly the operations, in the same
// order, that the scalar code takes, so the values are the same bits.
typedef double Double2 __attribute__((vector_size(16)));
typedef long long Long2 __attribute__((vector_size(16)));
typedef float Float2 __attribute__((vector_size(8)));

// Byte values as doubles, read instead of converted.
struct ByteValues {
  double of[256];
  constexpr ByteValues() : of() {
    for (int v = 0; v < 256; v++) of[v] = v;
  }
};
constexpr ByteValues kByteValues;

// The first pass of the cubic filter over two rows of taps at once, lane 0
// at a, lane 1 at b, each at its own t. With whole-number taps every
// coefficient of the filter's polynomial is a small integer that double
// holds exactly, whichever way it is summed, so only the Horner steps and
// the final scaling need to be as in cubicInterpolate.
static inline Double2 rowPasses(Double2 t, const unsigned char* a, const unsigned char* b) {
  Double2 p0 = {kByteValues.of[a[0]], kByteValues.of[b[0]]}, p1 = {kByteValues.of[a[1]], kByteValues.of[b[1]]};
  Double2 p2 = {kByteValues.of[a[2]], kByteValues.of[b[2]]}, p3 = {kByteValues.of[a[3]], kByteValues.of[b[3]]};
  // In differences of the taps: c3 = 7(p3 - p0) + 21(p1 - p2),
  // c2 = 15p0 - 36p1 + 27p2 - 6p3, c1 = 9(p2 - p0), c0 = p0 + 16p1 + p2.
  Double2 outer = p3 - p0, inner = p1 - p2;
  Double2 c1 = 9.0 * (p2 - p0);
  Double2 c3 = 7.0 * outer + 21.0 * inner;
  Double2 c2 = -(6.0 * outer + 36.0 * inner) - c1;
  Double2 c0 = p0 + 16.0 * p1 + p2;
  return (((c3 * t + c2) * t + c1) * t + c0) * kOneEighteenth;
}

static inline uint32_t fourBytes(const unsigned char* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// A point of a run whose sixteen taps lie inside the picture and differ:
// its top-left tap and its fractions.
struct FilterPoint {
  const unsigned char* taps;
  double fx, fy;
  int index;
};

// The cubic filter's gray level at two such points, one per lane.
static inline void cubicPair(const FilterPoint& a, const FilterPoint& b, size_t stride, unsigned char* out) {
  Double2 fx = {a.fx, b.fx}, fy = {a.fy, b.fy};
  Double2 rows[4];
  for (int k = 0; k < 4; k++) rows[k] = rowPasses(fx, a.taps + k * stride, b.taps + k * stride);
  Double2 value = cubicPolynomial<Double2>(fy, rows[0], rows[1], rows[2], rows[3]);
  out[a.index] = grayLevel(value[0]);
  out[b.index] = grayLevel(value[1]);
}

// The same at one point.
static inline unsigned char cubicSingle(const FilterPoint& p, size_t stride) {
  Double2 fx = {p.fx, p.fx};
  Double2 upper = rowPasses(fx, p.taps, p.taps + stride);
  Double2 lower = rowPasses(fx, p.taps + 2 * stride, p.taps + 3 * stride);
  return grayLevel(cubicPolynomial<double>(p.fy, upper[0], upper[1], lower[0], lower[1]));
}

// The cubic filter's gray levels at n points (us[k], vs[k]), as
// grayLevel(cubicSample(...)) gives them, with short cuts that change no
// byte. Inside the picture the sixteen taps are read without clamping.
// Sixteen equal taps v give v: every difference term of the filter cancels
// exactly, the first pass returns 18v / 18, and what the second pass leaves
// is some 1e-13 off v, which rounding half up takes back to v. The other
// inside points are filtered two at a time.
static void cubicRun(const SampleSource& s, const float* us, const double* vs, int n, unsigned char* out) {
  FilterPoint points[kSampleRun];
  int pending = 0;
  size_t stride = (size_t)s.width;
  for (int k = 0; k < n; k++) {
    double x = us[k], y = vs[k];
    if (!(x >= 1.0 && y >= 1.0 && x < s.innerRight && y < s.innerBottom)) {
      out[k] = grayLevel(cubicSample(s.pixels, us[k], vs[k], s.width, s.height));
      continue;
    }
    long long xi = (long long)x, yi = (long long)y;
    const unsigned char* taps = s.pixels + (size_t)(yi - 1) * stride + (size_t)(xi - 1);
    // Four taps of a row at once, each row against four copies of the first.
    uint32_t first = taps[0] * 0x01010101u;
    uint32_t differ = (fourBytes(taps) ^ first) | (fourBytes(taps + stride) ^ first) |
                      (fourBytes(taps + 2 * stride) ^ first) | (fourBytes(taps + 3 * stride) ^ first);
    // Without a branch, which would guess wrong at every edge: the point is
    // written as uniform and, when it is not, listed for the filter, which
    // writes it again.
    out[k] = taps[0];
    points[pending] = {taps, x - (double)xi, y - (double)yi, k};
    pending += differ != 0;
  }
  int p = 0;
  for (; p + 2 <= pending; p += 2) cubicPair(points[p], points[p + 1], stride, out);
  if (p < pending) out[points[p].index] = cubicSingle(points[p], stride);
}

// Samples rows [firstRow, endRow) of a dstWidth x dstHeight grid, row i at
// dst + (i - firstRow) * dstStride. Where each grid point lands is worked out
// a run of points at a time, two at once, before the points are sampled.
typedef void (*RunSampler)(const SampleSource& s, const float* us, const double* vs, int n, unsigned char* out);

template <RunSampler sampleRun>
static void sampleQuad(const unsigned char* src, const float* corners, int srcWidth, int srcHeight,
                       unsigned char* dst, size_t dstStride, int dstWidth, int dstHeight, int firstRow,
                       int endRow) {
  if (!dst || !corners || dstWidth <= 0 || dstHeight <= 0) return;
  if (!src || srcWidth <= 0 || srcHeight <= 0) {  // every point samples as light
    for (int i = firstRow; i < endRow; i++) std::memset(dst + (size_t)(i - firstRow) * dstStride, 255, (size_t)dstWidth);
    return;
  }
  const SampleSource source = {src, srcWidth, srcHeight, srcWidth - 2.0, srcHeight - 2.0};
  float w = (float)dstWidth, h = (float)dstHeight;
  const float grid[8] = {0.0f, 0.0f, w, 0.0f, w, h, 0.0f, h};
  ProjectiveMap m = mapQuadToQuad(grid, corners);
  double vs[kSampleRun];
  float singles[kSampleRun];
  const Double2 a11 = {m.a11, m.a11}, a12 = {m.a12, m.a12}, a13 = {m.a13, m.a13};
  for (int i = firstRow; i < endRow; i++) {
    unsigned char* out = dst + (size_t)(i - firstRow) * dstStride;
    // Evaluated in double as (a1k * j + a2k * i) + a3k; u is then rounded to
    // single precision.
    double rowU = (double)m.a21 * i, rowV = (double)m.a22 * i, rowW = (double)m.a23 * i;
    for (int start = 0; start < dstWidth; start += kSampleRun) {
      int n = dstWidth - start < kSampleRun ? dstWidth - start : kSampleRun;
      for (int k = 0; k < n; k += 2) {  // an odd run's last pair computes one point too many
        Double2 j = {(double)(start + k), (double)(start + k + 1)};
        Double2 wp = a13 * j + rowW + (double)m.a33;
        Double2 u = (a11 * j + rowU + (double)m.a31) / wp;
        Double2 v = (a12 * j + rowV + (double)m.a32) / wp;
        std::memcpy(vs + k, &v, sizeof v);
        Long2 inRange = (u >= -1e30) & (u <= 1e30);
        if (inRange[0] && inRange[1]) {  // toSingle rounds both as a plain conversion does
          Float2 rounded = __builtin_convertvector(u, Float2);
          std::memcpy(singles + k, &rounded, sizeof rounded);
        } else {
          singles[k] = toSingle(u[0]);
          singles[k + 1] = toSingle(u[1]);
        }
      }
      sampleRun(source, singles, vs, n, out + start);
    }
  }
}

void sampleGridAt(const unsigned char* src, const float* corners, int srcWidth, int srcHeight,
                  unsigned char* dst, int dstWidth, int dstHeight) {
  sampleQuad<cubicRun>(src, corners, srcWidth, srcHeight, dst, (size_t)dstWidth, dstWidth, dstHeight, 0,
                       dstHeight);
}

void sampleGridRows(const unsigned char* src, const float* corners, int srcWidth, int srcHeight,
                    unsigned char* dst, size_t dstStride, int dstWidth, int dstHeight, int firstRow,
                    int rowCount) {
  if (rowCount <= 0 || firstRow < 0 || firstRow >= dstHeight || dstStride < (size_t)dstWidth) return;
  int endRow = rowCount < dstHeight - firstRow ? firstRow + rowCount : dstHeight;
  sampleQuad<cubicRun>(src, corners, srcWidth, srcHeight, dst, dstStride, dstWidth, dstHeight, firstRow,
                        endRow);
}

void sampleGrid(const unsigned char* src, int x0, int y0, int x1, int y1, int x2, int y2,
                int x3, int y3, int srcWidth, unsigned char* dst, int dstWidth, int dstHeight,
                int srcHeight) {
  const float corners[8] = {(float)x0, (float)y0, (float)x1, (float)y1,
                            (float)x2, (float)y2, (float)x3, (float)y3};
  sampleGridAt(src, corners, srcWidth, srcHeight, dst, dstWidth, dstHeight);
}

// Source byte at (x, y), or fill outside the picture.
static double sourceOrFill(const unsigned char* src, int x, int y, int srcWidth, int srcHeight,
                           unsigned char fill) {
  if (x < 0 || y < 0 || x >= srcWidth || y >= srcHeight) return fill;
  return src[(size_t)y * (size_t)srcWidth + (size_t)x];
}

// Bilinear value at (x, y); taps outside the picture read `fill`.
static unsigned char filledSample(const unsigned char* src, double x, double y, int srcWidth, int srcHeight,
                                  unsigned char fill) {
  if (!(x > -1.0 && y > -1.0 && x < srcWidth && y < srcHeight)) return fill;
  double left = std::floor(x), top = std::floor(y);
  int xi = (int)left, yi = (int)top;
  double fx = x - left, fy = y - top;
  double p00, p01, p10, p11;
  if (xi >= 0 && yi >= 0 && xi + 1 < srcWidth && yi + 1 < srcHeight) {
    const unsigned char* row = src + (size_t)yi * (size_t)srcWidth + (size_t)xi;
    p00 = row[0], p01 = row[1], p10 = row[srcWidth], p11 = row[srcWidth + 1];
  } else {
    p00 = sourceOrFill(src, xi, yi, srcWidth, srcHeight, fill);
    p01 = sourceOrFill(src, xi + 1, yi, srcWidth, srcHeight, fill);
    p10 = sourceOrFill(src, xi, yi + 1, srcWidth, srcHeight, fill);
    p11 = sourceOrFill(src, xi + 1, yi + 1, srcWidth, srcHeight, fill);
  }
  double value = (p00 * (1 - fx) + p01 * fx) * (1 - fy) + (p10 * (1 - fx) + p11 * fx) * fy;
  return (unsigned char)(value + 0.5);
}

#ifdef __SSE2__
// The two pixels side by side at p.
static inline int pixelPair(const unsigned char* p) {
  uint16_t pair;
  std::memcpy(&pair, p, sizeof pair);
  return pair;
}

// The two pixels side by side at each of four places and, in the upper
// half, the two below them, as bytes a0 b0 a1 b1 ...
static inline __m128i pixelPairs(const unsigned char* const at[4], size_t below) {
  __m128i pairs = _mm_cvtsi32_si128(pixelPair(at[0]));
  pairs = _mm_insert_epi16(pairs, pixelPair(at[1]), 1);
  pairs = _mm_insert_epi16(pairs, pixelPair(at[2]), 2);
  pairs = _mm_insert_epi16(pairs, pixelPair(at[3]), 3);
  pairs = _mm_insert_epi16(pairs, pixelPair(at[0] + below), 4);
  pairs = _mm_insert_epi16(pairs, pixelPair(at[1] + below), 5);
  pairs = _mm_insert_epi16(pairs, pixelPair(at[2] + below), 6);
  return _mm_insert_epi16(pairs, pixelPair(at[3] + below), 7);
}

// Each lane's 8-bit weight w as the 16-bit pair (256 - w, w).
static inline __m128i weightPairs(__m128i positions) {
  __m128i w = _mm_and_si128(_mm_srli_epi32(positions, 8), _mm_set1_epi32(255));
  return _mm_or_si128(_mm_sub_epi32(_mm_set1_epi32(256), w), _mm_slli_epi32(w, 16));
}

// sampleRowInside four samples a step, to the same values: a row's two
// pixels weigh in as a * (256 - wx) + b * wx, and the rows' two sums, split
// into high and low bytes, as top * (256 - wy) + bottom * wy. Returns how
// many samples it wrote, the positions moved on past them.
static int sampleFourAtATime(const unsigned char* src, int srcWidth, int* x32, int* y32, int sx32, int sy32,
                             unsigned char* out, int count) {
  const __m128i zero = _mm_setzero_si128(), lowByte = _mm_set1_epi32(255), half = _mm_set1_epi32(32768);
  unsigned x = (unsigned)*x32, y = (unsigned)*y32, sx = (unsigned)sx32, sy = (unsigned)sy32;
  __m128i xs = _mm_setr_epi32((int)x, (int)(x + sx), (int)(x + 2 * sx), (int)(x + 3 * sx));
  __m128i ys = _mm_setr_epi32((int)y, (int)(y + sy), (int)(y + 2 * sy), (int)(y + 3 * sy));
  const __m128i stepX = _mm_set1_epi32((int)(4 * sx)), stepY = _mm_set1_epi32((int)(4 * sy));
  int j = 0;
  for (; j + 4 <= count; j += 4) {
    const unsigned char* at[4];
    for (int k = 0; k < 4; k++, x += sx, y += sy)
      at[k] = src + (size_t)(unsigned)((int)y >> 16) * (size_t)srcWidth + (unsigned)((int)x >> 16);
    __m128i xWeights = weightPairs(xs), yWeights = weightPairs(ys);
    __m128i pairs = pixelPairs(at, (size_t)srcWidth);
    __m128i top = _mm_madd_epi16(_mm_unpacklo_epi8(pairs, zero), xWeights);
    __m128i bottom = _mm_madd_epi16(_mm_unpackhi_epi8(pairs, zero), xWeights);
    __m128i highs = _mm_or_si128(_mm_srli_epi32(top, 8), _mm_slli_epi32(_mm_srli_epi32(bottom, 8), 16));
    __m128i lows = _mm_or_si128(_mm_and_si128(top, lowByte), _mm_slli_epi32(_mm_and_si128(bottom, lowByte), 16));
    __m128i sums = _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(highs, yWeights), 8), _mm_madd_epi16(lows, yWeights));
    __m128i values = _mm_srli_epi32(_mm_add_epi32(sums, half), 16);
    values = _mm_packs_epi32(values, values);
    values = _mm_packus_epi16(values, values);
    int four = _mm_cvtsi128_si32(values);
    std::memcpy(out + j, &four, sizeof four);
    xs = _mm_add_epi32(xs, stepX);
    ys = _mm_add_epi32(ys, stepY);
  }
  *x32 = (int)x, *y32 = (int)y;
  return j;
}
#endif

// One grid row of bilinear samples from (x, y) in steps of (dx, dy), all of
// them inside the picture with a pixel to spare: 16.16 fixed point, 8-bit
// weights.
static void sampleRowInside(const unsigned char* src, int srcWidth, double x, double y, double dx, double dy,
                            unsigned char* out, int count) {
  // Positions are positive here, steps of either sign: rounded by hand.
  long long fx = (long long)(x * 65536.0 + 0.5), fy = (long long)(y * 65536.0 + 0.5);
  long long sx = (long long)std::floor(dx * 65536.0 + 0.5), sy = (long long)std::floor(dy * 65536.0 + 0.5);
  // Inside a picture of at most 32767 pixels a side every position fits
  // 32-bit fixed point, and so do the steps between two of them.
  int x32 = (int)fx, y32 = (int)fy, sx32 = (int)sx, sy32 = (int)sy;
  int j = 0;
#ifdef __SSE2__
  j = sampleFourAtATime(src, srcWidth, &x32, &y32, sx32, sy32, out, count);
#endif
  for (; j < count; j++, x32 += sx32, y32 += sy32) {
    const unsigned char* p = src + (size_t)(unsigned)(y32 >> 16) * (size_t)srcWidth + (unsigned)(x32 >> 16);
    int wx = (x32 >> 8) & 255, wy = (y32 >> 8) & 255;
    // a * (256 - w) + b * w, with one multiplication.
    int top = (p[0] << 8) + (p[1] - p[0]) * wx;
    int bottom = (p[srcWidth] << 8) + (p[srcWidth + 1] - p[srcWidth]) * wx;
    out[j] = (unsigned char)(((top << 8) + (bottom - top) * wy + 32768) >> 16);
  }
}

// Where the map takes grid point (gx, gy).
static inline void mapPoint(const ProjectiveMap& m, double gx, double gy, double* px, double* py) {
  double w = m.a13 * gx + m.a23 * gy + (double)m.a33;
  *px = (m.a11 * gx + m.a21 * gy + (double)m.a31) / w;
  *py = (m.a12 * gx + m.a22 * gy + (double)m.a32) / w;
}

// The samples j of [first, end) whose straight-line position from (x, y) in
// steps (dx, dy) lies inside the picture with half a pixel to spare (for
// the bend of the map between a piece's ends) and room for the neighbours
// on the right and below, as [*from, *to): a straight piece meets the
// rectangle in one run.
static void insideRun(double x, double y, double dx, double dy, int first, int end, int srcWidth, int srcHeight,
                      int* from, int* to) {
  // Both ends inside by a margin that dwarfs the rounding of the divisions
  // below, in steps short enough for the margin to count: all of it is
  // inside, as the divisions would find, without them.
  const double margin = 1e-6, right = srcWidth - 1.5 - margin, bottom = srcHeight - 1.5 - margin;
  if (std::fabs(dx) < 1024 && std::fabs(dy) < 1024) {
    double firstX = x + dx * first, firstY = y + dy * first, lastX = x + dx * (end - 1), lastY = y + dy * (end - 1);
    if (firstX >= 0.5 + margin && lastX >= 0.5 + margin && firstX <= right && lastX <= right &&
        firstY >= 0.5 + margin && lastY >= 0.5 + margin && firstY <= bottom && lastY <= bottom) {
      *from = first, *to = end;
      return;
    }
  }
  double low = first, high = end - 1;
  const double bounds[2][2] = {{0.5, srcWidth - 1.5}, {0.5, srcHeight - 1.5}};
  const double start[2] = {x, y}, step[2] = {dx, dy};
  for (int axis = 0; axis < 2 && low <= high; axis++) {
    double lo = bounds[axis][0], hi = bounds[axis][1] - 1e-9;
    if (step[axis] == 0) {
      if (start[axis] < lo || start[axis] > hi) low = 1, high = 0;
      continue;
    }
    double a = (lo - start[axis]) / step[axis], b = (hi - start[axis]) / step[axis];
    if (a > b) std::swap(a, b);
    // As fmax and fmin, which are calls; a NaN bound leaves the run as it is.
    low = a > low ? a : low;
    high = b < high ? b : high;
  }
  *from = low <= high ? (int)std::ceil(low) : first;
  *to = low <= high ? (int)std::floor(high) + 1 : first;
  if (*to < *from) *to = *from;
}

// Whether every sample of a piece, grid points (gx0, gy0) to (gx1, gy1) taken
// to picture points (x0, y0) and (x1, y1), lies more than a pixel beyond one
// side of the picture, where filledSample gives the fill. A projective map
// takes the piece's straight line to a straight line and, where its
// denominator keeps one sign between the ends, the piece to the segment
// between their images; the margin dwarfs the rounding of each sample.
static bool pieceBeyondPicture(const ProjectiveMap& m, double gx0, double gy0, double gx1, double gy1, double x0,
                               double y0, double x1, double y1, int srcWidth, int srcHeight) {
  double w0 = m.a13 * gx0 + m.a23 * gy0 + (double)m.a33, w1 = m.a13 * gx1 + m.a23 * gy1 + (double)m.a33;
  if (!((w0 > 0 && w1 > 0) || (w0 < 0 && w1 < 0))) return false;
  const double margin = 1e-3, low = -1.0 - margin;
  double right = srcWidth + margin, bottom = srcHeight + margin;
  return (x0 <= low && x1 <= low) || (y0 <= low && y1 <= low) || (x0 >= right && x1 >= right) ||
         (y0 >= bottom && y1 >= bottom);
}

// A grid row is split into pieces short enough that the projective map is
// straight along them to a hundredth of a pixel (a whole row when the map
// bends less than that over it, as a frame seen face on does); what lies
// inside the picture is stepped through, the rest sampled point by point
// with the fill outside.
enum { kSamplePiece = 16 };

void sampleMappedLine(const unsigned char* src, int srcWidth, int srcHeight, const ProjectiveMap& m, double x,
                      double y, double dx, double dy, unsigned char* out, int count, unsigned char fill) {
  if (!src || !out || count <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
  // The bend at the row's middle, against the chord between its ends; it
  // falls with the square of a piece's length.
  double ax, ay, bx, by, cx, cy;
  mapPoint(m, x, y, &ax, &ay);
  mapPoint(m, x + dx * count * 0.5, y + dy * count * 0.5, &bx, &by);
  mapPoint(m, x + dx * count, y + dy * count, &cx, &cy);
  double bend = std::hypot(bx - (ax + cx) * 0.5, by - (ay + cy) * 0.5);
  int piece = count;
  if (!(bend < 0.01)) {
    double shorter = std::isfinite(bend) ? count * std::sqrt(0.01 / bend) : 0.0;
    piece = shorter > kSamplePiece ? (int)shorter : kSamplePiece;
  }
  // Each piece starts where the one before it ended.
  double x0 = ax, y0 = ay;
  for (int first = 0; first < count; first += piece) {
    int n = count - first < piece ? count - first : piece;
    double x1 = cx, y1 = cy;
    if (first + n < count) mapPoint(m, x + dx * (first + n), y + dy * (first + n), &x1, &y1);
    int from = first, to = first;
    double stepX = (x1 - x0) / n, stepY = (y1 - y0) / n;
    if (std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))
      insideRun(x0 - stepX * first, y0 - stepY * first, stepX, stepY, first, first + n, srcWidth, srcHeight, &from,
                &to);
    if (to > from)
      sampleRowInside(src, srcWidth, x0 + stepX * (from - first), y0 + stepY * (from - first), stepX, stepY,
                      out + from, to - from);
    else if (pieceBeyondPicture(m, x + dx * first, y + dy * first, x + dx * (first + n), y + dy * (first + n), x0, y0,
                                x1, y1, srcWidth, srcHeight)) {
      std::memset(out + first, fill, (size_t)n);
      from = first, to = first + n;  // nothing left to sample point by point
    }
    for (int j = first; j < first + n; j++) {
      if (j == from && to > from) j = to;
      if (j >= first + n) break;
      double px, py;
      mapPoint(m, x + dx * j, y + dy * j, &px, &py);
      out[j] = std::isfinite(px) && std::isfinite(py) ? filledSample(src, px, py, srcWidth, srcHeight, fill) : fill;
    }
    x0 = x1, y0 = y1;
  }
}

void sampleGridLinearFill(const unsigned char* src, const float* corners, int srcWidth, int srcHeight,
                          unsigned char* dst, int dstWidth, int dstHeight, unsigned char fill) {
  if (!src || !dst || !corners || dstWidth <= 0 || dstHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
  float w = (float)dstWidth, h = (float)dstHeight;
  const float grid[8] = {0.0f, 0.0f, w, 0.0f, w, h, 0.0f, h};
  ProjectiveMap m = mapQuadToQuad(grid, corners);
  for (int i = 0; i < dstHeight; i++)
    sampleMappedLine(src, srcWidth, srcHeight, m, 0.0, i, 1.0, 0.0, dst + (size_t)i * (size_t)dstWidth, dstWidth, fill);
}

}  // namespace pdf417read::detail
