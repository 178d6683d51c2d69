#include "locate/start_stop_search.h"

#include <cstddef>
#include <cstring>

namespace pdf417read::detail {

// Module widths, first run first. The reversed tables are how the patterns
// read left to right in a symbol turned by 180 degrees.
const int startPattern[8] = {8, 1, 1, 1, 1, 1, 1, 3};
const int stopPattern[9] = {7, 1, 1, 3, 1, 1, 1, 2, 1};
const int startPatternReversed[8] = {3, 1, 1, 1, 1, 1, 1, 8};
const int stopPatternReversed[9] = {1, 2, 1, 1, 1, 3, 1, 1, 7};

enum {
  kMaxRuns = 10,
  kRejected = 32767,
  kRunDeviation = 204,  // per run, in 1/256 module
  kScoreLimit = 107,    // summed deviation per module, in 1/256 module
};

int patternScore(const int* runs, const int* pattern, int count, int maxRunDeviation) {
  long long total = 0, patternTotal = 0;
  for (int k = 0; k < count; k++) {
    total += runs[k];
    patternTotal += pattern[k];
  }
  if (patternTotal <= 0 || total < patternTotal) return kRejected;
  // Measured width of one module and the per-run limit, in 1/256 pixel.
  long long unit = total * 256 / patternTotal;
  long long limit = (unit * maxRunDeviation) >> 8;
  long long sum = 0;
  for (int k = 0; k < count; k++) {
    long long deviation = (long long)runs[k] * 256 - (long long)pattern[k] * unit;
    if (deviation < 0) deviation = -deviation;
    if (deviation > limit) return kRejected;
    sum += deviation;
  }
  long long score = sum / total;
  return score < kRejected ? (int)score : kRejected;
}

// The oldest two runs leave the window, so the first run keeps its colour.
static void dropTwoRuns(int* runs, int count) {
  for (int k = 0; k + 2 < count; k++) runs[k] = runs[k + 2];
  runs[count - 2] = 0;
  runs[count - 1] = 0;
}

// First x in [x, stop) with line[x] == value, or stop. Runs of a few pixels
// are stepped through; what is left of a long one goes to memchr.
static long long nextEqual(const unsigned char* line, long long x, long long stop, int value) {
  if (value < 0 || value > 255) return stop;
  for (long long near = x + 8 < stop ? x + 8 : stop; x < near; x++)
    if (line[x] == value) return x;
  if (x >= stop) return stop;
  const void* hit = std::memchr(line + x, value, (size_t)(stop - x));
  return hit ? (const unsigned char*)hit - line : stop;
}

bool scanRowForPattern(const unsigned char* pixels, int width, int row, int firstX, int scanLength,
                       int terminator, const int* pattern, int count, PatternSpan* span) {
  if (!pixels || !pattern || !span || width <= 0 || row < 0 || count < 2 || count > kMaxRuns)
    return false;
  // Only the part of the range that lies inside the row is scanned.
  long long begin = firstX < 0 ? 0 : firstX;
  long long stop = (long long)firstX + scanLength;
  if (stop > width) stop = width;
  const unsigned char* line = pixels + (size_t)row * (size_t)width;
  int runs[kMaxRuns] = {0};
  int j = 0, t = terminator;
  long long spanStart = begin;
  for (long long x = begin; x < stop; x++) {
    // Pixels up to the next one equal to t extend run j.
    long long end = nextEqual(line, x, stop, t);
    runs[j] += (int)(end - x);
    x = end;
    if (x >= stop) break;
    // Pixel x ends run j and starts the next one.
    t = 1 - t;
    if (j < count - 1) {
      runs[++j] = 1;
      continue;
    }
    if (patternScore(runs, pattern, count, kRunDeviation) < kScoreLimit) {
      span->first = (int)spanStart;
      span->end = (int)x;
      return true;
    }
    spanStart += runs[0] + runs[1];
    dropTwoRuns(runs, count);
    j = count - 2;
    runs[j] = 1;
  }
  return false;
}

// Sweeps the rows from the top down (0 .. height - 1) or from the bottom up
// (height - 1 .. 1: row 0 is never taken as a bottom row) until a row holds
// the pattern; that row goes to *foundRow and the pattern's place to *span.
static bool sweepRows(const unsigned char* pixels, int width, int height, bool fromTop, int firstX,
                      int scanLength, int terminator, const int* pattern, int count, int* foundRow,
                      PatternSpan* span) {
  int y = fromTop ? 0 : height - 1;
  int step = fromTop ? 1 : -1;
  for (; fromTop ? y < height : y >= 1; y += step) {
    if (scanRowForPattern(pixels, width, y, firstX, scanLength, terminator, pattern, count, span)) {
      *foundRow = y;
      return true;
    }
  }
  return false;
}

// Point numbers of the corner record.
enum { kStartOuterTop, kStartOuterBottom, kStopOuterTop, kStopOuterBottom,
       kStartInnerTop, kStartInnerBottom, kStopInnerTop, kStopInnerBottom };

enum RowPart { kWholeRow, kLeftHalf, kRightHalf };

// One sweep of a search: where and how to look, and which corner points the
// pattern's first column and end column become.
struct SearchStep {
  bool fromTop;
  RowPart part;
  int terminator;
  const int* pattern;
  int count;
  int firstPoint, endPoint;
};

static const SearchStep kUprightSteps[4] = {
    {true, kWholeRow, 0, startPattern, 8, kStartOuterTop, kStartInnerTop},
    {false, kWholeRow, 0, startPattern, 8, kStartOuterBottom, kStartInnerBottom},
    {true, kWholeRow, 0, stopPattern, 9, kStopInnerTop, kStopOuterTop},
    {false, kWholeRow, 0, stopPattern, 9, kStopInnerBottom, kStopOuterBottom},
};

// A symbol turned by 180 degrees: its top is the image's bottom, its start
// pattern lies in the right half and its stop pattern in the left half.
static const SearchStep kRotatedSteps[4] = {
    {false, kRightHalf, 1, startPatternReversed, 8, kStartInnerTop, kStartOuterTop},
    {true, kRightHalf, 1, startPatternReversed, 8, kStartInnerBottom, kStartOuterBottom},
    {false, kLeftHalf, 0, stopPatternReversed, 9, kStopOuterTop, kStopInnerTop},
    {true, kLeftHalf, 0, stopPatternReversed, 9, kStopOuterBottom, kStopInnerBottom},
};

static void setPoint(StartStopCorners* corners, int point, int x, int y) {
  corners->entries[2 * point] = x;
  corners->entries[2 * point + 1] = y;
}

// Runs the four sweeps in order; the first that finds nothing ends the search.
static bool runSearch(const SearchStep* steps, StartStopCorners* corners, const unsigned char* pixels,
                      int width, int height) {
  if (!pixels || !corners || width <= 0 || height <= 0) return false;
  int half = width / 2;
  for (int k = 0; k < 4; k++) {
    const SearchStep* step = &steps[k];
    int firstX = step->part == kRightHalf ? half : 0;
    int scanLength = step->part == kWholeRow ? width : half;
    int y = 0;
    PatternSpan span;
    if (!sweepRows(pixels, width, height, step->fromTop, firstX, scanLength, step->terminator,
                   step->pattern, step->count, &y, &span))
      return false;
    setPoint(corners, step->firstPoint, span.first, y);
    setPoint(corners, step->endPoint, span.end, y);
  }
  return true;
}

bool findStartStopUpright(const unsigned char* pixels, int width, int height, StartStopCorners* corners) {
  return runSearch(kUprightSteps, corners, pixels, width, height);
}

bool findStartStopRotated(const unsigned char* pixels, int width, int height, StartStopCorners* corners) {
  return runSearch(kRotatedSteps, corners, pixels, width, height);
}

}  // namespace pdf417read::detail
