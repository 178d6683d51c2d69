#include "codeword/shape_matching.h"

#include <cmath>
#include <cstdlib>

#include "codeword/pattern_table.h"

namespace pdf417read::detail {

namespace {

enum {
  kS = kShapeSamples,
  // Edge offsets the shapes need: (edge module + 1) * kS - sample, for edges
  // at modules -1..20 and samples 0..kGuardWindow.
  kEdgeLow = -21 * kS,
  kEdgeHigh = 22 * kS,
  kGuardWindow = 20 * kS,
};

// How much of a blurred edge has passed at each offset: the Gaussian's
// integral up to (offset - 0.5) / kS modules, offset kEdgeLow..kEdgeHigh.
struct EdgeTable {
  float passed[kEdgeHigh - kEdgeLow + 1];
};

void fillEdgeTable(double blur, EdgeTable* table) {
  double sigma = (blur < 0.1 ? 0.1 : blur) * kS;
  for (int k = kEdgeLow; k <= kEdgeHigh; k++)
    table->passed[k - kEdgeLow] = (float)(0.5 * std::erfc(-(k - 0.5) / (sigma * std::sqrt(2.0))));
}

// Adds the blurred bar over modules [from, to) (window module 0 is the
// module before the codeword or guard) to shape[0..length).
void addBar(const EdgeTable& edges, int from, int to, float* shape, int length) {
  for (int j = 0; j < length; j++)
    shape[j] += edges.passed[to * kS - j - kEdgeLow] - edges.passed[from * kS - j - kEdgeLow];
}

// The bars of a 17-module key (leftmost module in bit 16) placed from
// window module `first`.
void addKeyBars(const EdgeTable& edges, int key, int first, float* shape, int length) {
  for (int m = 0; m < 17;) {
    if (!(key >> (16 - m) & 1)) {
      m++;
      continue;
    }
    int end = m;
    while (end < 17 && key >> (16 - end) & 1) end++;
    addBar(edges, first + m, first + end, shape, length);
    m = end;
  }
}

// Shifted to mean 0 and scaled to length 1; false when flat.
bool normalise(float* shape, int length) {
  double sum = 0, squares = 0;
  for (int j = 0; j < length; j++) sum += shape[j];
  float mean = (float)(sum / length);
  for (int j = 0; j < length; j++) {
    shape[j] -= mean;
    squares += (double)shape[j] * shape[j];
  }
  if (squares <= 0) return false;
  float scale = (float)(1.0 / std::sqrt(squares));
  for (int j = 0; j < length; j++) shape[j] *= scale;
  return true;
}

// The length of window[0..length) once its mean is taken away; 0 when flat.
float centredLength(const float* window, int length) {
  double sum = 0, squares = 0;
  for (int j = 0; j < length; j++) sum += window[j], squares += (double)window[j] * window[j];
  double centred = squares - sum * sum / length;
  return centred > 1e-6 * (squares + 1) ? (float)std::sqrt(centred) : 0.0f;
}

float dotProduct(const float* a, const float* b, int length) {
  float sum = 0;
  for (int j = 0; j < length; j++) sum += a[j] * b[j];
  return sum;
}

// The start pattern 81111113 and the stop pattern 711311121 as 17-module
// keys, the stop pattern's eighteenth module (a bar) apart.
const int kStartKey = 0x1fea8;
const int kStopKey = 0x1fd14;

// The share of a blurred edge passed `modules` from it, from a table a
// sixty-fourth of a module apart.
struct BlurredEdge {
  enum { kPerModule = 64, kReach = 6 * kPerModule };
  float passed[2 * kReach + 1];
  float at(double modules) const {
    double k = modules * kPerModule + kReach;
    if (k <= 0) return passed[0];
    if (k >= 2 * kReach) return passed[2 * kReach];
    int i = (int)k;
    float f = (float)(k - i);
    return passed[i] + (passed[i + 1] - passed[i]) * f;
  }
};

void fillBlurredEdge(double blur, BlurredEdge* edge) {
  double sigma = (blur < 0.1 ? 0.1 : blur) * std::sqrt(2.0);
  for (int k = 0; k <= 2 * BlurredEdge::kReach; k++)
    edge->passed[k] = (float)(0.5 * std::erfc(-((double)(k - BlurredEdge::kReach) / BlurredEdge::kPerModule) / sigma));
}

// A guard's shape over `length` samples of `width` samples a module, its
// first sample `offset` samples after the guard's first module starts. Guard
// module 17 is a bar: the indicator's first, or the stop pattern's last.
void scaledGuardShape(int guard, const BlurredEdge& edge, double width, int offset, float* shape, int length) {
  int key = guard == kStartGuard ? kStartKey : kStopKey;
  for (int j = 0; j < length; j++) {
    double u = (j + 0.5 + offset) / width;
    float dark = edge.at(18 - u) - edge.at(17 - u);
    for (int m = 0; m < 17; m++)
      if (key >> (16 - m) & 1) dark += edge.at(m + 1 - u) - edge.at(m - u);
    shape[j] = dark;
  }
  normalise(shape, length);
}

}  // namespace

ShapeTable* buildShapeTable(double blur) {
  ShapeTable* table = (ShapeTable*)std::malloc(sizeof(ShapeTable));
  float* shapes = (float*)std::calloc((size_t)3 * kClusterCodewords * kShapeWindow, sizeof(float));
  if (!table || !shapes) {
    std::free(table);
    std::free(shapes);
    return nullptr;
  }
  table->blur = blur;
  table->shapes = shapes;
  EdgeTable edges;
  fillEdgeTable(blur, &edges);
  for (int i = 0; i < kPatternTableSize; i++) {
    int value = codewordPatternValues[i] - 1, key = codewordPatternKeys[i];
    float* shape = table->shapes + (size_t)value * kShapeWindow;
    addKeyBars(edges, key, 1, shape, kShapeWindow);
    addBar(edges, 18, 19, shape, kShapeWindow);  // the next codeword's first bar
    normalise(shape, kShapeWindow);
    int cluster = value / kClusterCodewords, codeword = value % kClusterCodewords;
    int bars = __builtin_popcount((unsigned)key);
    table->keys[cluster][codeword] = key;
    table->keyWeights[cluster][codeword] = (float)(1.0 / std::sqrt(bars * (17.0 - bars) / 17.0));
  }
  return table;
}

void freeShapeTable(ShapeTable* table) {
  if (!table) return;
  std::free(table->shapes);
  std::free(table);
}

namespace {

enum { kLikely = 8 };  // codewords a first look keeps per shift

// Codewords worth a full comparison, best first look first.
struct Likely {
  int count;
  float look[kLikely];
  int value[kLikely];  // cluster * 929 + codeword
};

void keepLikely(Likely* likely, float look, int value) {
  if (likely->count == kLikely && look <= likely->look[kLikely - 1]) return;
  int k = likely->count < kLikely ? likely->count++ : kLikely - 1;
  while (k > 0 && likely->look[k - 1] < look) {
    likely->look[k] = likely->look[k - 1];
    likely->value[k] = likely->value[k - 1];
    k--;
  }
  likely->look[k] = look;
  likely->value[k] = value;
}

// The first look at one window: each module's darkness less their mean,
// summed over a codeword's bars (from two tables of the key's halves) and
// weighed by its pattern's length, is its correlation with the window's
// modules taken as flat.
void lookAtWindow(const ShapeTable& table, int firstCluster, int lastCluster, const float* window, Likely* likely) {
  float modules[17], mean = 0;
  for (int i = 0; i < 17; i++) {
    const float* m = window + kS * (i + 1);
    modules[i] = 0;
    for (int t = 0; t < kS; t++) modules[i] += m[t];
    mean += modules[i];
  }
  mean /= 17;
  // Bits 8..0 are modules 8..16, bits 16..9 modules 0..7.
  float low[512], high[256];
  low[0] = high[0] = 0;
  for (int k = 1; k < 512; k++) low[k] = low[k & (k - 1)] + modules[16 - __builtin_ctz(k)] - mean;
  for (int k = 1; k < 256; k++) high[k] = high[k & (k - 1)] + modules[7 - __builtin_ctz(k)] - mean;
  for (int cluster = firstCluster; cluster <= lastCluster; cluster++) {
    const int* keys = table.keys[cluster];
    const float* weights = table.keyWeights[cluster];
    for (int c = 0; c < kClusterCodewords; c++) {
      float look = (low[keys[c] & 511] + high[keys[c] >> 9]) * weights[c];
      if (likely->count < kLikely || look > likely->look[kLikely - 1])
        keepLikely(likely, look, cluster * kClusterCodewords + c);
    }
  }
}

}  // namespace

ShapeMatch matchCodeword(const ShapeTable& table, int cluster, const float* darkness, int length, int start,
                         int reach) {
  ShapeMatch match = {-1, 0, -1.0f, -1.0f};
  if (!table.shapes || cluster < -1 || cluster > 2 || !darkness || reach < 0) return match;
  int firstCluster = cluster < 0 ? 0 : cluster, lastCluster = cluster < 0 ? 2 : cluster;
  // The likely codewords of every shift, each compared at every shift.
  enum { kMaxShifts = 7 };
  int shifts = 0, firsts[kMaxShifts];
  float inverses[kMaxShifts];
  int candidates[kMaxShifts * kLikely], candidateCount = 0;
  for (int shift = -reach; shift <= reach && shifts < kMaxShifts; shift++) {
    int first = start + shift - kS;
    if (first < 0 || first + kShapeWindow > length) continue;
    float norm = centredLength(darkness + first, kShapeWindow);
    if (norm <= 0) continue;
    firsts[shifts] = first;
    inverses[shifts++] = 1.0f / norm;
    // A sample (a third of a module) either way hardly moves the module
    // means: the first look at the expected place serves the other shifts
    // too, and the last shift looks only when that place was out of reach.
    if (shift != 0 && (shift != reach || candidateCount > 0)) continue;
    Likely likely;
    likely.count = 0;
    lookAtWindow(table, firstCluster, lastCluster, darkness + first, &likely);
    for (int k = 0; k < likely.count; k++) {
      bool seen = false;
      for (int j = 0; j < candidateCount && !seen; j++) seen = candidates[j] == likely.value[k];
      if (!seen) candidates[candidateCount++] = likely.value[k];
    }
  }
  for (int k = 0; k < candidateCount; k++) {
    const float* shape = table.shapes + (size_t)candidates[k] * kShapeWindow;
    float best = -1.0f;
    for (int s = 0; s < shifts; s++) {
      float score = dotProduct(shape, darkness + firsts[s], kShapeWindow) * inverses[s];
      best = score > best ? score : best;
    }
    if (best > match.score) {
      match.runnerUp = match.score;
      match.score = best;
      match.codeword = candidates[k] % kClusterCodewords;
      match.cluster = candidates[k] / kClusterCodewords;
    } else if (best > match.runnerUp) {
      match.runnerUp = best;
    }
  }
  return match;
}

void buildGuardShapes(double blur, GuardShapes* guards) {
  BlurredEdge edge;
  fillBlurredEdge(blur, &edge);
  guards->blur = blur;
  for (int i = 0; i < kGuardScales; i++) {
    double scale = 0.7 * std::pow(1.04, i);
    double width = scale * kS;
    guards->scales[i] = scale;
    for (int guard = 0; guard < 2; guard++) {
      // The start pattern's window runs from the last four modules of its
      // wide bar, whose outer edge often lies in shading, at the picture's
      // border or beyond where the rows were fitted, to the indicator's
      // first bar; the stop pattern's from the indicator's last space to
      // the quiet module after it.
      int offset = (int)std::lround((guard == kStartGuard ? 4 : -1) * width);
      int length = (int)((guard == kStartGuard ? 18 : 19) * width) - offset;
      guards->offsets[guard][i] = offset;
      guards->lengths[guard][i] = length < kMaxGuardWindow ? length : (int)kMaxGuardWindow;
      scaledGuardShape(guard, edge, width, offset, guards->shapes[guard][i], guards->lengths[guard][i]);
    }
  }
}

namespace {

// The guard's correlation at one scale with its window from sample `first`;
// -2 where the window leaves the profile or the profile is flat.
float guardScore(const GuardShapes& guards, int guard, int scale, const float* darkness, int length, int first) {
  int window = guards.lengths[guard][scale];
  if (first < 0 || first + window > length) return -2.0f;
  float norm = centredLength(darkness + first, window);
  return norm > 0 ? dotProduct(guards.shapes[guard][scale], darkness + first, window) / norm : -2.0f;
}

}  // namespace

GuardPlace findGuard(const GuardShapes& guards, int guard, const float* darkness, int length, int expected,
                     int reach, bool anyScale) {
  GuardPlace place = {(double)expected, 1.0, -1.0f};
  if ((guard != kStartGuard && guard != kStopGuard) || !darkness || reach < 0) return place;
  int unit = 0;
  while (unit < kGuardScales - 1 && guards.scales[unit] < 0.999) unit++;
  int firstScale = anyScale ? 0 : unit, lastScale = anyScale ? kGuardScales - 1 : unit;
  int bestFirst = 0, bestScale = -1, bestShift = 0;
  float best = -2.0f;
  for (int s = firstScale; s <= lastScale; s++) {
    int offset = guards.offsets[guard][s];
    for (int shift = -reach; shift <= reach; shift++) {
      float score = guardScore(guards, guard, s, darkness, length, expected + shift + offset);
      if (score > best) best = score, bestFirst = expected + shift + offset, bestScale = s, bestShift = shift;
    }
  }
  // A best fit at the end of the search is no peak: the pattern lies further.
  if (bestScale < 0 || (reach > 0 && (bestShift == -reach || bestShift == reach))) return place;
  place.position = bestFirst - guards.offsets[guard][bestScale];
  place.scale = guards.scales[bestScale];
  place.score = best;
  // The peak between the samples, from a parabola through its neighbours.
  float left = guardScore(guards, guard, bestScale, darkness, length, bestFirst - 1);
  float right = guardScore(guards, guard, bestScale, darkness, length, bestFirst + 1);
  double curve = left - 2.0 * best + right;
  if (left > -2.0f && right > -2.0f && curve < 0) place.position += 0.5 * (left - right) / curve;
  return place;
}

}  // namespace pdf417read::detail
