// Projective resampling of a quadrilateral onto an upright grid, cubic filter.
#ifndef PDF417_LOCATE_GRID_SAMPLING_H
#define PDF417_LOCATE_GRID_SAMPLING_H

#include <cstddef>

namespace pdf417read::detail {

// (x, y, 1) * A with A = [a11 a12 a13; a21 a22 a23; a31 a32 a33].
struct ProjectiveMap {
  float a11, a12, a13, a21, a22, a23, a31, a32, a33;
};

ProjectiveMap mapSquareToQuad(float x0, float y0, float x1, float y1, float x2, float y2,
                              float x3, float y3);
ProjectiveMap mapQuadToSquare(float x0, float y0, float x1, float y1, float x2, float y2,
                              float x3, float y3);
ProjectiveMap composeMaps(ProjectiveMap first, ProjectiveMap second);
// from and to: eight coordinates each, corners top-left, top-right,
// bottom-right, bottom-left.
ProjectiveMap mapQuadToQuad(const float* from, const float* to);

double cubicInterpolate(double t, double p0, double p1, double p2, double p3);
// Neighbours outside the srcWidth x srcHeight picture are clamped to its
// border; a non-finite position reads nothing and samples as light (255).
double cubicSample(const unsigned char* src, float u, double v, int srcWidth, int srcHeight);
void sampleGrid(const unsigned char* src, int x0, int y0, int x1, int y1, int x2, int y2,
                int x3, int y3, int srcWidth, unsigned char* dst, int dstWidth, int dstHeight,
                int srcHeight);

// The same with corners at fractional positions: corners holds eight
// coordinates, top-left, top-right, bottom-right, bottom-left.
void sampleGridAt(const unsigned char* src, const float* corners, int srcWidth, int srcHeight,
                  unsigned char* dst, int dstWidth, int dstHeight);
// Rows [firstRow, firstRow + rowCount) of the grid sampleGridAt makes, the
// same bytes, grid row i at dst + (i - firstRow) * dstStride.
void sampleGridRows(const unsigned char* src, const float* corners, int srcWidth, int srcHeight,
                    unsigned char* dst, size_t dstStride, int dstWidth, int dstHeight, int firstRow,
                    int rowCount);

// Bilinear sampling, four taps instead of sixteen, for callers that only
// threshold the grid: the same map, several times faster. Every pixel
// outside the picture counts as `fill`: a symbol touching the picture's
// border keeps a light quiet zone.
void sampleGridLinearFill(const unsigned char* src, const float* corners, int srcWidth, int srcHeight,
                          unsigned char* dst, int dstWidth, int dstHeight, unsigned char fill);

// Bilinear samples with `fill` outside the picture at the grid points
// (x + j * dx, y + j * dy), j < count, taken through the map: a straight
// line across a grid that need not follow the grid's rows.
void sampleMappedLine(const unsigned char* src, int srcWidth, int srcHeight, const ProjectiveMap& map, double x,
                      double y, double dx, double dy, unsigned char* out, int count, unsigned char fill);

}  // namespace pdf417read::detail

#endif
