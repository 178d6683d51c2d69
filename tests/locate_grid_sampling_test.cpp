#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "locate/grid_sampling.h"

using namespace pdf417read::detail;

namespace {

struct Picture {
  int width, height;
  std::vector<unsigned char> pixels;
  unsigned char at(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

Picture randomPicture(int width, int height, int levels, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> level(0, levels - 1);
  Picture p{width, height, std::vector<unsigned char>((size_t)width * height)};
  for (auto& v : p.pixels) v = (unsigned char)level(random);
  return p;
}

std::vector<unsigned char> sample(const Picture& src, const int corners[8], int w, int h) {
  std::vector<unsigned char> out((size_t)w * h);
  sampleGrid(src.pixels.data(), corners[0], corners[1], corners[2], corners[3], corners[4],
             corners[5], corners[6], corners[7], src.width, out.data(), w, h, src.height);
  return out;
}

// Where map m sends (x, y).
void apply(const ProjectiveMap& m, double x, double y, double* u, double* v) {
  double w = m.a13 * x + m.a23 * y + m.a33;
  *u = (m.a11 * x + m.a21 * y + m.a31) / w;
  *v = (m.a12 * x + m.a22 * y + m.a32) / w;
}

}  // namespace

TEST(CubicFilter, WeightsAndSmoothing) {
  EXPECT_DOUBLE_EQ(cubicInterpolate(0.0, 18, 36, 54, 1000), (18 + 16 * 36 + 54) / 18.0);
  for (double t : {0.0, 0.25, 0.5, 0.9}) EXPECT_NEAR(cubicInterpolate(t, 7, 7, 7, 7), 7.0, 1e-12);
  EXPECT_NEAR(cubicInterpolate(0.5, 0, 0, 1, 1), 0.5, 1e-12);
  // Overshoot beside an edge: the negative outer weights push past 0..255.
  EXPECT_GT(cubicInterpolate(0.5, 0, 255, 255, 255), 255.0);
  EXPECT_LT(cubicInterpolate(0.5, 0, 0, 0, 255), 0.0);
}

TEST(ProjectiveMaps, TrapezoidCornersMapOntoEachOther) {
  const float rect[8] = {0, 0, 120, 0, 120, 40, 0, 40};
  const float trapezoid[8] = {30, 10, 90, 10, 110, 60, 10, 60};
  ProjectiveMap toSquare = mapQuadToSquare(30, 10, 90, 10, 110, 60, 10, 60);
  EXPECT_NE(toSquare.a13 * toSquare.a13 + toSquare.a23 * toSquare.a23, 0.0f);  // projective
  const double square[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  ProjectiveMap m = mapQuadToQuad(rect, trapezoid);
  for (int k = 0; k < 4; k++) {
    double u, v;
    apply(toSquare, trapezoid[2 * k], trapezoid[2 * k + 1], &u, &v);
    EXPECT_NEAR(u, square[2 * k], 1e-5);
    EXPECT_NEAR(v, square[2 * k + 1], 1e-5);
    apply(m, rect[2 * k], rect[2 * k + 1], &u, &v);
    EXPECT_NEAR(u, trapezoid[2 * k], 1e-4);
    EXPECT_NEAR(v, trapezoid[2 * k + 1], 1e-4);
  }
  // Composition applies the first map, then the second.
  ProjectiveMap scale{2, 0, 0, 0, 3, 0, 0, 0, 1}, shift{1, 0, 0, 0, 1, 0, 5, 7, 1};
  double u, v;
  apply(composeMaps(scale, shift), 1, 1, &u, &v);
  EXPECT_EQ(u, 7.0);
  EXPECT_EQ(v, 10.0);
}

TEST(SampleGrid, AxisAlignedRectangleReadsTheSourceOneToOne) {
  Picture src = randomPicture(140, 100, 256, 3);
  const int corners[8] = {10, 20, 110, 20, 110, 70, 10, 70};
  const float rect[8] = {0, 0, 100, 0, 100, 50, 0, 50};
  const float quad[8] = {10, 20, 110, 20, 110, 70, 10, 70};
  ProjectiveMap m = mapQuadToQuad(rect, quad);
  std::vector<unsigned char> out = sample(src, corners, 100, 50);
  const int weight[3] = {1, 16, 1};
  for (int i = 0; i < 50; i++) {
    for (int j = 0; j < 100; j++) {
      double u, v;
      apply(m, j, i, &u, &v);
      ASSERT_EQ(u, 10.0 + j);
      ASSERT_EQ(v, 20.0 + i);
      // The filter at t = 0 both ways: a 3 x 3 mean weighted 1 16 1.
      int sum = 0;
      for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
          sum += weight[dx + 1] * weight[dy + 1] * src.at(10 + j + dx, 20 + i + dy);
      ASSERT_NEAR(out[(size_t)i * 100 + j], sum / 324.0, 0.5 + 1e-9) << j << "," << i;
    }
  }
}

TEST(SampleGrid, TwoLevelPictureSamplesToTwoLevels) {
  Picture src = randomPicture(90, 70, 2, 5);
  const int quads[][8] = {{12, 9, 80, 14, 72, 60, 5, 55}, {20, 20, 60, 20, 70, 50, 10, 50}};
  for (const auto& corners : quads) {
    std::vector<unsigned char> out = sample(src, corners, 61, 37);
    for (unsigned char value : out) ASSERT_LE(value, 1);
    // Output (0, 0) reads exactly at the top-left corner.
    double atCorner = cubicSample(src.pixels.data(), (float)corners[0], corners[1], src.width,
                                  src.height);
    EXPECT_EQ(out[0], (unsigned char)(atCorner + 0.5));
  }
}

TEST(SampleGrid, OvershootIsClampedNotWrapped) {
  // Dark left of column 30, light from it on; sampled at half-pixel steps,
  // u = 10 + j / 2, so the filter overshoots at u = 28.5 and u = 30.5.
  Picture src{60, 60, std::vector<unsigned char>(60 * 60)};
  for (int y = 0; y < 60; y++)
    for (int x = 0; x < 60; x++) src.pixels[(size_t)y * 60 + x] = x < 30 ? 0 : 255;
  const int corners[8] = {10, 10, 60, 10, 60, 60, 10, 60};
  std::vector<unsigned char> out = sample(src, corners, 100, 100);
  for (int i = 0; i < 100; i += 7) {
    const unsigned char* row = &out[(size_t)i * 100];
    EXPECT_EQ(row[37], 0);    // u = 28.5, filtered below 0
    EXPECT_EQ(row[41], 255);  // u = 30.5, filtered above 255
    for (int j = 0; j < 39; j++) ASSERT_LT(row[j], 128) << j;  // u < 29.5
    for (int j = 40; j < 100; j++) ASSERT_GT(row[j], 128) << j;
  }
}

TEST(SampleGrid, NeverReadsOutsideTheSource) {
  // Exactly sized buffers: under the sanitizers any stray read fails.
  Picture src = randomPicture(31, 17, 256, 9);
  const int quads[][8] = {
      {0, 0, 31, 0, 31, 17, 0, 17},           // the whole picture, borders included
      {30, 16, 0, 16, 0, 0, 30, 0},           // the same turned halfway
      {-40, -30, 90, -10, 70, 60, -20, 50},   // reaching far outside
      {-2147483647, 0, 2147483647, 0, 2147483647, 5, -2147483647, 5},
  };
  for (const auto& corners : quads) {
    std::vector<unsigned char> out = sample(src, corners, 23, 29);
    EXPECT_EQ(out.size(), 23u * 29u);
  }
  // Far outside, every tap lands on the nearest border pixel.
  EXPECT_NEAR(cubicSample(src.pixels.data(), -1e6f, 1e6, 31, 17), src.at(0, 16), 1e-9);
  EXPECT_NEAR(cubicSample(src.pixels.data(), 3e9f, -5.0, 31, 17), src.at(30, 0), 1e-9);
}

TEST(SampleGrid, DegenerateCornersSampleAsLight) {
  Picture src = randomPicture(40, 40, 2, 1);
  EXPECT_EQ(cubicSample(src.pixels.data(), NAN, 3.0, 40, 40), 255.0);
  EXPECT_EQ(cubicSample(src.pixels.data(), 3.0f, INFINITY, 40, 40), 255.0);
  // Top-right, bottom-right and bottom-left on one line: the map is undefined.
  const int corners[8] = {0, 0, 10, 10, 20, 20, 30, 30};
  std::vector<unsigned char> out = sample(src, corners, 8, 6);
  for (unsigned char value : out) EXPECT_EQ(value, 255);
  // Empty grids write nothing.
  unsigned char untouched = 7;
  sampleGrid(src.pixels.data(), 0, 0, 9, 0, 9, 9, 0, 9, 40, &untouched, 0, 5, 40);
  sampleGrid(src.pixels.data(), 0, 0, 9, 0, 9, 9, 0, 9, 40, &untouched, 5, -1, 40);
  EXPECT_EQ(untouched, 7);
}

namespace {

// The grid sampler as it was before its short cuts, kept to prove them: every
// pixel through cubicSample, rounded half up and clamped.
void referenceGrid(const Picture& src, const float corners[8], int w, int h, std::vector<unsigned char>* out) {
  const float grid[8] = {0.0f, 0.0f, (float)w, 0.0f, (float)w, (float)h, 0.0f, (float)h};
  ProjectiveMap m = mapQuadToQuad(grid, corners);
  out->assign((size_t)w * h, 0);
  for (int i = 0; i < h; i++)
    for (int j = 0; j < w; j++) {
      double wp = (double)m.a13 * j + (double)m.a23 * i + m.a33;
      float u = (float)(((double)m.a11 * j + (double)m.a21 * i + m.a31) / wp);
      double v = ((double)m.a12 * j + (double)m.a22 * i + m.a32) / wp;
      double rounded = cubicSample(src.pixels.data(), u, v, src.width, src.height) + 0.5;
      (*out)[(size_t)i * w + j] = !(rounded > 0.0) ? 0 : rounded >= 255.0 ? 255 : (unsigned char)(int)rounded;
    }
}

// Bars of a few pixels in flat light and dark, as a symbol is drawn, with a
// blurred copy and a 0/1 copy as the pipeline binarises it.
Picture barPicture(int width, int height, int blur, bool binary, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<int> columns(width);
  for (int x = 0, dark = 0; x < width; dark ^= 1)
    for (int run = 1 + random() % 6; run > 0 && x < width; run--) columns[x++] = dark;
  Picture p{width, height, std::vector<unsigned char>((size_t)width * height)};
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      int sum = 0, n = 0;
      for (int k = -blur; k <= blur; k++)
        if (x + k >= 0 && x + k < width) sum += columns[x + k], n++;
      int dark = (y / 9) % 5 == 4 ? columns[(x + 3) % width] : sum * 2 > n;
      p.pixels[(size_t)y * width + x] = binary ? (unsigned char)dark : (unsigned char)(230 - 200 * sum / n);
    }
  return p;
}

}  // namespace

// The sampler's short cuts (taps read unclamped inside the picture, equal
// taps taken as they are) change no byte of any grid.
TEST(GridSampling, ShortCutsGiveTheSameBytesAsEveryPixelFiltered) {
  const float quads[][8] = {
      {20.0f, 15.0f, 280.0f, 15.0f, 280.0f, 175.0f, 20.0f, 175.0f},      // upright
      {31.5f, 12.25f, 290.0f, 40.0f, 270.0f, 190.0f, 12.0f, 160.5f},     // tilted
      {40.0f, 30.0f, 250.0f, 10.0f, 290.0f, 195.0f, 25.0f, 170.0f},      // perspective
      {-15.0f, -8.0f, 320.0f, 5.0f, 310.0f, 215.0f, -20.0f, 190.0f},     // partly outside
  };
  for (int kind = 0; kind < 3; kind++) {
    Picture src = barPicture(300, 200, kind == 1 ? 1 : 0, kind == 2, 7 + kind);
    for (const auto& quad : quads)
      for (int size : {97, 260}) {
        std::vector<unsigned char> expected, got((size_t)size * (size / 2));
        referenceGrid(src, quad, size, size / 2, &expected);
        sampleGridAt(src.pixels.data(), quad, src.width, src.height, got.data(), size, size / 2);
        EXPECT_EQ(got, expected) << "kind " << kind << " size " << size << " quad " << quad[0];
        // The same grid in bands of 7 rows, each row followed by a spare byte.
        size_t stride = (size_t)size + 1;
        std::vector<unsigned char> banded(stride * (size / 2), 77), rows;
        for (int first = 0; first < size / 2; first += 7)
          sampleGridRows(src.pixels.data(), quad, src.width, src.height, banded.data() + first * stride, stride,
                         size, size / 2, first, 7);
        for (int y = 0; y < size / 2; y++) {
          rows.insert(rows.end(), banded.begin() + y * stride, banded.begin() + y * stride + size);
          EXPECT_EQ(banded[y * stride + size], 77);
        }
        EXPECT_EQ(rows, expected) << "in bands, kind " << kind << " size " << size;
      }
  }
}

// A line of the linear sampler reads the fill beyond the picture and the
// picture wherever a sample lands in it, even where the map's denominator
// changes sign between two samples that both land beyond the same side.
TEST(GridSampling, LinearLinesReadTheFillOnlyBeyondThePicture) {
  Picture src = randomPicture(40, 30, 141, 3);
  for (auto& v : src.pixels) v = (unsigned char)(v + 60);  // 60..200, never the fill
  const unsigned char fill = 7;
  std::vector<unsigned char> out(100);
  // Grid (x, y) to picture (x, y - 8): row 3 lies above the picture, row 20 in it.
  const ProjectiveMap shift = {1, 0, 0, 0, 1, 0, 0, -8, 1};
  sampleMappedLine(src.pixels.data(), 40, 30, shift, -30.0, 3.0, 1.0, 0.0, out.data(), 100, fill);
  for (unsigned char v : out) EXPECT_EQ(v, fill);
  sampleMappedLine(src.pixels.data(), 40, 30, shift, 2.0, 20.0, 0.3, 0.0, out.data(), 100, fill);
  for (unsigned char v : out) EXPECT_NE(v, fill);
  // x = (150 - 3.5 gx) / (gx - 50), y = 10: grid x 38 and 54 both land left
  // of the picture, yet x 43 to 49 land inside it, past the pole at 50.
  const ProjectiveMap pole = {-3.5f, 10, 1, 0, 0, 0, 150, -500, -50};
  sampleMappedLine(src.pixels.data(), 40, 30, pole, -10.0, 0.0, 1.0, 0.0, out.data(), 100, fill);
  for (int gx = 43; gx <= 49; gx++) EXPECT_NE(out[gx + 10], fill) << gx;
  for (int gx = 55; gx <= 89; gx++) EXPECT_EQ(out[gx + 10], fill) << gx;
}
