#include "locate/edge_lines.h"

#include <cmath>

namespace pdf417read::detail {

// Differences are taken in 64 bits and products in double precision, so no
// coordinate can overflow them; for picture coordinates (up to 32767) every
// intermediate value is exact.
void lineThroughPoints(const int* p1, const int* p2, float* a, float* b, float* c) {
  long long x1 = p1[0], y1 = p1[1], x2 = p2[0], y2 = p2[1];
  if (y1 == y2) {  // horizontal, also two equal points
    *a = 0.0f;
    *b = 1.0f;
    *c = (float)-y2;
  } else if (x1 == x2) {  // vertical
    *a = 1.0f;
    *b = 0.0f;
    *c = (float)-x1;
  } else {  // slanted, normalised to b = 1
    *a = (float)((double)(y2 - y1) / (double)(x1 - x2));
    *b = 1.0f;
    *c = (float)(((double)x1 * (double)y2 - (double)x2 * (double)y1) / (double)(x2 - x1));
  }
}

double pointDistance(const int* p1, const int* p2) {
  long long dx = (long long)p1[0] - p2[0];
  long long dy = (long long)p1[1] - p2[1];
  return std::sqrt((double)dx * (double)dx + (double)dy * (double)dy);
}

}  // namespace pdf417read::detail
