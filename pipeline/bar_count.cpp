#include "pipeline/bar_count.h"

#include <cmath>
#include <cstdlib>

#include "pipeline/picture_point.h"

namespace pdf417read::detail::symbol_scan {

namespace {

enum { kMaxSamples = 8192, kLines = 3 };
const double kStep = 0.5;  // pixels between samples along a line
const int kMinContrast = 24;  // gray levels between bar and space below which a stretch shows neither

// The dark runs wholly inside samples [0, n), each sample dark below the
// middle of the darkest and lightest within `reach` of it; -1 where a
// stretch shows too little contrast to tell.
int darkRuns(const int* gray, int n, int reach) {
  int runs = 0;
  bool dark = false, open = false;  // open: the run began inside
  for (int i = 0; i < n; i++) {
    int low = 255, high = 0;
    for (int k = i - reach < 0 ? 0 : i - reach, end = i + reach < n ? i + reach : n - 1; k <= end; k++)
      low = gray[k] < low ? gray[k] : low, high = gray[k] > high ? gray[k] : high;
    if (high - low < kMinContrast) return -1;
    bool now = 2 * gray[i] < low + high;
    if (now && !dark) open = i > 0;
    if (!now && dark && open) runs++;
    dark = now;
  }
  return runs;
}

// Bars along the line from a to b, started a module and a half before a
// (inside the start pattern's last space) and stopped half a module before
// b (where the stop pattern's first bar begins); -1 when it cannot tell.
int barsAlong(const ScanContext* ctx, Vec a, Vec b, double module, int* gray) {
  double length = std::hypot(b.x - a.x, b.y - a.y);
  if (!(length > 17 * module)) return -1;
  Vec unit = (b - a) * (1.0 / length);
  Vec from = a - unit * (1.5 * module);
  int n = (int)((length + module) / kStep);
  if (n > kMaxSamples) return -1;
  for (int i = 0; i < n; i++) {
    double value = grayAt(ctx, from + unit * (i * kStep));
    if (value < 0) return -1;
    gray[i] = (int)(value + 0.5);
  }
  return darkRuns(gray, n, (int)(10 * module / kStep));
}

}  // namespace

int columnsByBars(const ScanContext* ctx, const Frame& f, double module) {
  if (!(module > 0.5)) return 0;
  int* gray = (int*)std::malloc(sizeof(int) * kMaxSamples);
  if (!gray) return 0;
  int columns[kLines], counted = 0;
  for (int k = 0; k < kLines; k++) {
    double at = (k + 1.0) / (kLines + 1);
    Vec a = f.leftTop + (f.leftBottom - f.leftTop) * at, b = f.rightTop + (f.rightBottom - f.rightTop) * at;
    int bars = barsAlong(ctx, a, b, module, gray);
    // Four bars a codeword, a bar missed or split at most.
    int whole = (bars + 2) / 4;
    if (bars >= 12 && std::abs(bars - 4 * whole) <= 1) columns[counted++] = whole;
  }
  std::free(gray);
  // Most lines must agree.
  for (int i = 0; i < counted; i++) {
    int agree = 0;
    for (int j = 0; j < counted; j++) agree += columns[j] == columns[i];
    if (2 * agree > kLines && columns[i] >= 3 && columns[i] <= kMaxGridColumns) return columns[i];
  }
  return 0;
}

}  // namespace pdf417read::detail::symbol_scan
