// Codewords read from gray profiles by their whole shape. A profile across
// one codeword is compared with how each of the 929 patterns of its row's
// cluster looks once blurred: where modules measure a pixel or so, or the
// picture is blurry, one-module bars and spaces fade below any threshold,
// but the shape of the 17 modules together still tells the codeword.
// Positions and blur are in modules; profiles hold kShapeSamples samples a
// module, darker higher.
#ifndef PDF417_CODEWORD_SHAPE_MATCHING_H
#define PDF417_CODEWORD_SHAPE_MATCHING_H

namespace pdf417read::detail {

enum {
  kShapeSamples = 3,
  kClusterCodewords = 929,
  // A codeword with a module either side: the space that ends the codeword
  // before it and the bar that starts the one after it.
  kShapeWindow = 19 * kShapeSamples,
};

// Every codeword's shape under one blur, each of mean 0 and length 1, and
// its bars as a 17-module key for a quick first look.
struct ShapeTable {
  double blur;    // Gaussian sigma, modules
  float* shapes;  // [cluster 0..2][codeword][kShapeWindow]
  int keys[3][kClusterCodewords];
  float keyWeights[3][kClusterCodewords];  // 1 / the length of the key's bars less their mean
};

// Null when out of memory. blur is taken as at least 0.1.
ShapeTable* buildShapeTable(double blur);
void freeShapeTable(ShapeTable* table);

struct ShapeMatch {
  int codeword;    // -1: the profile has no contrast there
  int cluster;     // 0..2
  float score;     // its correlation with the profile, -1..1
  float runnerUp;  // the best correlation of any other codeword looked at
};

// The codeword of cluster 0..2 (-1: of any cluster) whose shape best fits
// darkness[0..length) where the codeword starts at sample `start` + shift,
// |shift| <= reach. The module means at `start` first pick a few likely
// codewords; only those are compared shape to shape, at every shift.
ShapeMatch matchCodeword(const ShapeTable& table, int cluster, const float* darkness, int length, int start,
                         int reach);

// The guard patterns with their neighbours: the start pattern, less most of
// its wide bar, up to the left row indicator's first bar; the stop pattern
// between the right row indicator's last space and the quiet zone.
enum GuardPattern { kStartGuard, kStopGuard };

enum {
  kGuardScales = 19,  // module widths 0.7 to 1.4 times kShapeSamples, 4% apart
  kMaxGuardWindow = 86,
};

// Both guards' shapes under one blur at every scale, each of mean 0 and
// length 1.
struct GuardShapes {
  double blur;
  double scales[kGuardScales];
  int offsets[2][kGuardScales];  // samples from the guard's first module to its window's first
  int lengths[2][kGuardScales];
  float shapes[2][kGuardScales][kMaxGuardWindow];
};

void buildGuardShapes(double blur, GuardShapes* guards);

struct GuardPlace {
  double position;  // where the guard's first module starts, samples
  double scale;     // its module width over kShapeSamples
  float score;      // the shape's correlation there; -1: not found
};

// The guard in darkness[0..length) with its first module within `reach`
// samples of `expected`, at the scale that fits it best (any scale when
// `anyScale`, else 1 alone); a fit at the end of the search counts as not
// found.
GuardPlace findGuard(const GuardShapes& guards, int guard, const float* darkness, int length, int expected,
                     int reach, bool anyScale);

}  // namespace pdf417read::detail

#endif
