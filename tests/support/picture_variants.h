// Other views of a gray picture, for tests and benchmarks that read a symbol
// in many guises: a light border, enlarged or shrunk copies and turned copies.
//
// Every function that makes a picture returns a new malloc'd gray buffer
// (row-major, no padding, 0 black .. 255 white) that the caller frees with
// free(), and writes its size to *newWidth and *newHeight. It returns null,
// with both sizes set to 0 when their pointers are not null, for a null
// picture or size pointer, a width or height below 1, an input picture beyond
// kMaxPictureSide / kMaxPicturePixels, a factor, margin or angle outside its
// range, a result beyond those limits, or an allocation failure.
#ifndef PDF417_TESTS_SUPPORT_PICTURE_VARIANTS_H
#define PDF417_TESTS_SUPPORT_PICTURE_VARIANTS_H

namespace pdf417read::detail {

// margin >= 0 pixels of level added on every side.
unsigned char* padPicture(const unsigned char* gray, int width, int height, int margin,
                          unsigned char level, int* newWidth, int* newHeight);

// Enlarges by factor 2..4 with bilinear interpolation, pixel centres aligned:
// output (x, y) samples input ((x + 0.5) / factor - 0.5, (y + 0.5) / factor
// - 0.5), clamped at the borders.
unsigned char* enlargePicture(const unsigned char* gray, int width, int height, int factor,
                              int* newWidth, int* newHeight);

// Shrinks by factor 2..8: each output pixel is the rounded mean of a factor x
// factor block. A partial block at the right or bottom edge averages the
// pixels it holds, so the result is ceil(width / factor) x ceil(height /
// factor) and nothing at the border is lost.
unsigned char* shrinkPicture(const unsigned char* gray, int width, int height, int factor,
                             int* newWidth, int* newHeight);

// Exact turn by quarterTurns * 90 degrees clockwise (any int, taken mod 4).
unsigned char* turnPictureQuarter(const unsigned char* gray, int width, int height,
                                  int quarterTurns, int* newWidth, int* newHeight);

// Turn by angleRadians (positive = clockwise on screen) about the picture's
// centre, bilinear. The result is just large enough to hold the whole turned
// picture; area it does not cover is fill. Its width has the parity of the
// input side that lies mostly across after the turn (and likewise its
// height), so that a turn by 0 or a quarter gives back exact pixels and a turn
// and its reverse bring the centre back onto the same pixel grid.
unsigned char* rotatePicture(const unsigned char* gray, int width, int height,
                             double angleRadians, unsigned char fill, int* newWidth,
                             int* newHeight);

// The paper level: the 90th percentile of the gray levels, that is the
// smallest level at or below which 90% of the pixels lie. 255 for a null or
// empty picture or one beyond the size limits.
int lightLevel(const unsigned char* gray, int width, int height);

}  // namespace pdf417read::detail

#endif
