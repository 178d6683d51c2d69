// Row scans for the start and stop patterns of an upright or a turned symbol.
#ifndef PDF417_LOCATE_START_STOP_SEARCH_H
#define PDF417_LOCATE_START_STOP_SEARCH_H

namespace pdf417read::detail {

extern const int startPattern[8];
extern const int stopPattern[9];
extern const int startPatternReversed[8];
extern const int stopPatternReversed[9];

// Columns first <= x < end of one row.
struct PatternSpan {
  int first;
  int end;
};

// Eight (x, y) points, point k at entries 2k and 2k + 1, in the symbol's own
// frame: 0/1 start outer top/bottom, 2/3 stop outer top/bottom,
// 4/5 start inner top/bottom, 6/7 stop inner top/bottom.
struct StartStopCorners {
  int entries[16];
};

int patternScore(const int* runs, const int* pattern, int count, int maxRunDeviation);
// True when the row holds the pattern; *span is then where (the leftmost
// window that passes). *span is left alone otherwise.
bool scanRowForPattern(const unsigned char* pixels, int width, int row, int firstX, int scanLength,
                       int terminator, const int* pattern, int count, PatternSpan* span);
// True when the four sweeps found the patterns; *corners (the caller's) is
// filled then. A search that fails part way leaves the points of its
// completed sweeps written.
bool findStartStopUpright(const unsigned char* pixels, int width, int height, StartStopCorners* corners);
bool findStartStopRotated(const unsigned char* pixels, int width, int height, StartStopCorners* corners);

}  // namespace pdf417read::detail

#endif
