#include "locate/pattern_scan.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "image/picture_limits.h"
#include "locate/line_gathering.h"
#include "locate/line_thresholds.h"
#include "locate/run_matching.h"

namespace pdf417read::detail {

using namespace pattern_scan;

namespace {

// A line whose gray levels span less than this cannot show a pattern.
enum { kMinLineContrast = 24 };

// Diagonal lines gathered together.
enum { kDiagonalBlock = 32 };

// Pictures up to this many pixels stay in the processor's caches while
// they are scanned.
enum { kCachedPicture = 1 << 20 };

// The darkest and lightest gray levels of a line.
void lineRange(const unsigned char* values, int length, int* low, int* high) {
  unsigned char darkest = 255, lightest = 0;
  int x = 0;
#ifdef __SSE2__
  __m128i lows = _mm_set1_epi8((char)255), highs = _mm_setzero_si128();
  for (; x + 16 <= length; x += 16) {
    __m128i v = _mm_loadu_si128((const __m128i*)(values + x));
    lows = _mm_min_epu8(lows, v);
    highs = _mm_max_epu8(highs, v);
  }
  unsigned char l[16], h[16];
  _mm_storeu_si128((__m128i*)l, lows);
  _mm_storeu_si128((__m128i*)h, highs);
  for (int k = 0; k < 16; k++) {
    darkest = l[k] < darkest ? l[k] : darkest;
    lightest = h[k] > lightest ? h[k] : lightest;
  }
#endif
  for (; x < length; x++) {
    darkest = values[x] < darkest ? values[x] : darkest;
    lightest = values[x] > lightest ? values[x] : lightest;
  }
  *low = darkest;
  *high = lightest;
}

// Working room for one line at a time, `longest` pixels at most.
struct LineRoom {
  unsigned char* thresholds;  // longest
  int* starts;                // longest + 1
  unsigned short* sums;       // longest + 1
};

// `keep`: where the line's crossings at the global threshold are kept, null
// on lines whose crossings are not.
void scanWithThresholds(const unsigned char* values, int length, const ScanSettings& settings, int window,
                        float line, int direction, const LineRoom& room, HitList* hits, KeptCrossings* keep = nullptr) {
  if (length < 17) return;
  int low = 255, high = 0;
  lineRange(values, length, &low, &high);
  if (high - low < kMinLineContrast) return;
  bool crossesGlobal = low < settings.globalLevel && high >= settings.globalLevel;
  // Rows and columns look for blurred patterns too; diagonals, whose
  // samples between pixels are means of two, would find blur everywhere.
  int blurLow = direction == kScanRows || direction == kScanColumns ? low : -1;
  if ((settings.thresholds & (1 << kGlobalThreshold)) && crossesGlobal) {
    LevelThreshold level = {settings.globalLevel};
    // Noise about the picture's level is noise about the line's own: such
    // a line is neither searched nor given its local threshold.
    if (noiseLine(values, length, level) ||
        !scanRuns(values, length, level, line, direction, kGlobalThreshold, room.starts, hits, blurLow, keep))
      return;
  }
  if (settings.thresholds & (1 << kLocalThreshold)) {
    localThresholds(values, length, window, room.sums, room.thresholds);
    scanRuns(values, length, PixelThresholds{room.thresholds}, line, direction, kLocalThreshold, room.starts, hits);
  }
}

// Every diagonalStep-th diagonal and antidiagonal, gathered `block` lines at
// a time into room (block * 2 * the shorter side bytes). Positions along a
// line come out in samples, half a pixel step apart, and are turned into
// the line's own pixel measure.
void scanDiagonals(const unsigned char* gray, int width, int height, const ScanSettings& settings,
                   const LineRoom& room, unsigned char* values, int block, HitList* hits) {
  const float rootHalf = 0.70710678f;
  int step = settings.diagonalStep;
  // The global threshold only: the rows and columns carry the local one for
  // unevenly lit symbols, and diagonals are there for low symbols at a
  // steep angle, which the global threshold finds as well at half the cost.
  ScanSettings globalOnly = settings;
  globalOnly.thresholds &= 1 << kGlobalThreshold;
  int shorter = width < height ? width : height;
  size_t stride = (size_t)2 * shorter;
  Diagonal lines[kDiagonalBlock];
  block = block > kDiagonalBlock ? kDiagonalBlock : block;
  bool fetchAhead = (long long)width * height > kCachedPicture;
  for (int dx = 1; dx >= -1; dx -= 2) {
    int direction = dx > 0 ? kScanDiagonals : kScanAntidiagonals;
    for (int first = step / 2 - (height - 1); first < width; first += block * step) {
      int count = 0;
      for (int c = first; c < width && count < block; c += step) lines[count++] = diagonalAt(width, height, c, dx);
      gatherDiagonals(gray, width, lines, count, dx, fetchAhead, values, stride);
      for (int k = 0; k < count; k++) {
        const Diagonal& d = lines[k];
        int hitsBefore = hits->count;
        float line = dx > 0 ? (d.x - d.y) * rootHalf : (d.x + d.y + 1) * rootHalf;
        scanWithThresholds(values + (size_t)k * stride, 2 * d.pixels - 1, globalOnly, settings.window, line,
                           direction, room, hits);
        float offset = dx > 0 ? d.x + d.y + 0.5f : d.y - d.x - 0.5f;
        for (int i = hitsBefore; i < hits->count; i++) {
          hits->hits[i].inner = (hits->hits[i].inner + offset) * rootHalf;
          hits->hits[i].outer = (hits->hits[i].outer + offset) * rootHalf;
        }
      }
    }
  }
}

}  // namespace

bool scanForPatterns(const unsigned char* gray, int width, int height, const ScanSettings& settings,
                     HitList* hits) {
  if (!gray || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide || !hits)
    return true;
  int step = settings.step < 1 ? 1 : settings.step;
  // A diagonal holds up to twice the shorter side in samples.
  int longest = width > height ? width : height;
  int shorter = width < height ? width : height;
  longest = 2 * shorter > longest ? 2 * shorter : longest;
  LineRoom room = {(unsigned char*)std::malloc((size_t)longest),
                   (int*)std::malloc(sizeof(int) * (size_t)(longest + 1)),
                   (unsigned short*)std::malloc(sizeof(unsigned short) * (size_t)(longest + 1))};
  // Columns are gathered a block at a time, so that each pass over the
  // picture's rows serves many columns.
  enum { kColumnBlock = 64 };
  size_t columnRoom = (size_t)kColumnBlock * height, diagonalRoom = (size_t)kDiagonalBlock * 2 * shorter;
  unsigned char* columns = (unsigned char*)std::malloc(columnRoom > diagonalRoom ? columnRoom : diagonalRoom);
  bool ok = room.thresholds && room.starts && room.sums && columns;
  if (ok) {
    // Every other line is kept for the light-on-dark look-out.
    for (int y = step / 2, line = 0; y < height; y += step, line++)
      scanWithThresholds(gray + (size_t)y * width, width, settings, settings.window, y + 0.5f, kScanRows, room, hits,
                         line % 2 ? nullptr : settings.lightLines);
    for (int first = step / 2; first < width; first += kColumnBlock * step) {
      int count = 0;
      for (int x = first; x < width && count < kColumnBlock; x += step) count++;
      gatherColumns(gray, width, height, first, step, count, columns);
      // Each block starts an even number of columns in: c tells the parity.
      for (int c = 0; c < count; c++)
        scanWithThresholds(columns + (size_t)c * height, height, settings, settings.window, first + c * step + 0.5f,
                           kScanColumns, room, hits, c % 2 ? nullptr : settings.lightLines);
    }
    if (settings.diagonalStep > 0) scanDiagonals(gray, width, height, settings, room, columns, kDiagonalBlock, hits);
  }
  std::free(room.thresholds);
  std::free(room.starts);
  std::free(room.sums);
  std::free(columns);
  return ok;
}

namespace {

// Line `index` of a direction as the scan numbers them (a row's y, a
// column's x, a diagonal's c of diagonalAt), and the stretch [from, to) of
// its samples copied into values: pixels on rows and columns, half pixel
// steps on diagonals. *offset turns a sample position into the line's own
// measure (see PatternHit). Returns the samples copied, `capacity` at most.
int lineStretch(const unsigned char* gray, int width, int height, int direction, int index, int from, int to,
                unsigned char* values, int capacity, float* offset) {
  *offset = 0;
  to = to - from > capacity ? from + capacity : to;
  if (direction == kScanRows || direction == kScanColumns) {
    bool rows = direction == kScanRows;
    int length = rows ? width : height;
    from = from < 0 ? 0 : from;
    to = to > length ? length : to;
    for (int k = from; k < to; k++) values[k - from] = rows ? gray[(size_t)index * width + k] : gray[(size_t)k * width + index];
    *offset = (float)from;
    return to > from ? to - from : 0;
  }
  int dx = direction == kScanDiagonals ? 1 : -1;
  Diagonal d = diagonalAt(width, height, index, dx);
  if (d.pixels < 1 || d.x < 0 || d.x >= width || d.y < 0 || d.y >= height) return 0;
  from = from < 0 ? 0 : from;
  to = to > 2 * d.pixels - 1 ? 2 * d.pixels - 1 : to;
  for (int k = from; k < to; k++) {
    const unsigned char* p = gray + (size_t)(d.y + k / 2) * width + d.x + dx * (k / 2);
    values[k - from] = k % 2 ? (unsigned char)((p[dx] + p[width] + 1) >> 1) : p[0];
  }
  *offset = (float)from + (dx > 0 ? d.x + d.y + 0.5f : d.y - d.x - 0.5f);
  return to > from ? to - from : 0;
}

}  // namespace

bool rescanAround(const unsigned char* gray, int width, int height, const ScanSettings& settings,
                  const PatternHit& hit, HitList* hits) {
  if (!gray || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide || !hits ||
      hit.direction > kScanAntidiagonals)
    return true;
  const float rootHalf = 0.70710678f;
  bool diagonal = hit.direction == kScanDiagonals || hit.direction == kScanAntidiagonals;
  int step = diagonal ? settings.diagonalStep : settings.step;
  if (step <= 1 || !std::isfinite(hit.line) || !std::isfinite(hit.inner) || !std::isfinite(hit.outer)) return true;
  // The line's number, and its pattern's stretch in samples along it (on
  // diagonals as sample numbers plus the line's own offset: the same for a
  // place of the picture on every diagonal).
  float scale = diagonal ? 1.0f / rootHalf : 1.0f;
  float line = hit.direction == kScanAntidiagonals ? hit.line * scale - height : hit.line * scale;
  int centre = diagonal ? (int)std::lround(line) : (int)std::floor(line);
  float first = std::fmin(hit.inner, hit.outer) * scale, last = std::fmax(hit.inner, hit.outer) * scale;
  float module = (last - first) / (hit.kind == kStartPatternKind ? 17.0f : 18.0f);
  float margin = 20.0f * module;
  if (!(first > -1e6f && last < 1e6f && module < 1e4f)) return true;
  int span = (int)(last - first + 2 * margin) + 2;
  if (span < 17 || span > 4 * kMaxPictureSide) return true;
  LineRoom room = {(unsigned char*)std::malloc((size_t)span), (int*)std::malloc(sizeof(int) * (size_t)(span + 1)),
                   (unsigned short*)std::malloc(sizeof(unsigned short) * (size_t)(span + 1))};
  unsigned char* values = (unsigned char*)std::malloc((size_t)span);
  bool ok = room.thresholds && room.starts && room.sums && values;
  // The global threshold alone, as on diagonals (see scanDiagonals): a low
  // symbol askew is sharp and evenly lit over the few lines it needs, and
  // one threshold costs half.
  ScanSettings these = settings;
  these.thresholds &= 1 << kGlobalThreshold;
  int firstLine = diagonal ? (step / 2 - (height - 1)) : step / 2;
  for (int index = centre - 2 * step + 1; ok && index < centre + 2 * step; index++) {
    if (((index - firstLine) % step + step) % step == 0) continue;  // scanned already
    if (!diagonal && (index < 0 || index >= (hit.direction == kScanRows ? height : width))) continue;
    if (diagonal && (index < -(height - 1) || index >= width)) continue;
    float shift = 0, own = 0;
    if (diagonal) {
      Diagonal d = diagonalAt(width, height, index, hit.direction == kScanDiagonals ? 1 : -1);
      own = hit.direction == kScanDiagonals ? d.x + d.y + 0.5f : d.y - d.x - 0.5f;
    }
    int from = (int)std::floor(first - margin - own), to = (int)std::ceil(last + margin - own);
    int count = lineStretch(gray, width, height, hit.direction, index, from, to, values, span, &shift);
    if (count < 17) continue;
    int before = hits->count;
    float lineValue = hit.direction == kScanRows || hit.direction == kScanColumns ? index + 0.5f
                      : hit.direction == kScanDiagonals                          ? index * rootHalf
                                                                                 : (index + height) * rootHalf;
    scanWithThresholds(values, count, these, settings.window, lineValue, hit.direction, room, hits);
    for (int i = before; i < hits->count; i++) {
      hits->hits[i].inner = (hits->hits[i].inner + shift) / scale;
      hits->hits[i].outer = (hits->hits[i].outer + shift) / scale;
      hits->hits[i].closer = 1;
    }
  }
  std::free(room.thresholds);
  std::free(room.starts);
  std::free(room.sums);
  std::free(values);
  return ok;
}

}  // namespace pdf417read::detail
