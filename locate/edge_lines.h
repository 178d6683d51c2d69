// Implicit lines a*x + b*y + c = 0 through two points, and point distances.
#ifndef PDF417_LOCATE_EDGE_LINES_H
#define PDF417_LOCATE_EDGE_LINES_H

namespace pdf417read::detail {

// Points are two ints, x then y.
void lineThroughPoints(const int* p1, const int* p2, float* a, float* b, float* c);
double pointDistance(const int* p1, const int* p2);

}  // namespace pdf417read::detail

#endif
