// Columns and diagonals of a picture gathered into rows of bytes, so that
// they are scanned as rows are.
#ifndef PDF417_LOCATE_LINE_GATHERING_H
#define PDF417_LOCATE_LINE_GATHERING_H

#include <cstddef>

namespace pdf417read::detail::pattern_scan {

// A diagonal line: its first pixel, on the top row or on the side it
// leaves from, and its length in pixels.
struct Diagonal {
  int x, y, pixels;
};

// Diagonals are told apart by c = x - y, antidiagonals by c = x + y - (height - 1).
Diagonal diagonalAt(int width, int height, int c, int dx);

// The samples of `count` diagonal lines going down a row and `dx` (1 or -1)
// across at each step, every half step; line k goes to out + k * stride
// (see line_gathering.cpp).
void gatherDiagonals(const unsigned char* gray, int width, const Diagonal* lines, int count, int dx,
                     bool fetchAhead, unsigned char* out, size_t stride);

// Columns first, first + step, ... (count of them) of the picture, column c
// to columns + c * height.
void gatherColumns(const unsigned char* gray, int width, int height, int first, int step, int count,
                   unsigned char* columns);

}  // namespace pdf417read::detail::pattern_scan

#endif
