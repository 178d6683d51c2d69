// Pixels of any layout to 8-bit gray, or to red, green, blue on white.
#ifndef PDF417_IMAGE_GRAY_CONVERSION_H
#define PDF417_IMAGE_GRAY_CONVERSION_H

#include <cstddef>

namespace pdf417read::detail {

// Pixels packed one to four bytes each (gray; gray, alpha; red, green, blue;
// red, green, blue, alpha) turned where they lie into outChannels bytes a
// pixel: 1 for gray as pixelRowToGray weighs it, 3 for red, green, blue
// composited over white. Pixel i goes to bytes i * outChannels onwards; the
// buffer keeps its size.
void packedPixelsInPlace(unsigned char* pixels, size_t count, int channels, int outChannels);

// Gray from pixels in the caller's memory, weighed as grayOf weighs:
// `height` rows of `width` pixels, each row `rowStride` bytes after the one
// before, each pixel `pixelBytes` bytes with red, green and blue at the given offsets.
// With an alpha offset (not -1) the pixel is first composited over white, as
// a picture file with transparency is. One byte a pixel without alpha is
// gray already and copied as it is. A new buffer the caller frees with
// free(); null for a null picture, a size below 1, a pixel offset outside
// the pixel, a row stride shorter than a row, or when memory runs out.
unsigned char* pixelsToGray(const unsigned char* pixels, int width, int height, long long rowStride,
                            int pixelBytes, int redOffset, int greenOffset, int blueOffset,
                            int alphaOffset);

// Gray of one pixel: blue * 0.11 + green * 0.59, then
// red * 0.3 added, in double precision and truncated. The three products
// come from tables made with the same multiplications, so the sums, and the
// gray levels, are the same to the bit.
unsigned char grayOf(unsigned char red, unsigned char green, unsigned char blue);

// A row of `count` pixels, `pixelBytes` bytes each, to gray as pixelsToGray
// weighs it (alphaOffset -1: no alpha). out may be pixels itself: each pixel
// is read before its gray is written.
void pixelRowToGray(const unsigned char* pixels, int count, int pixelBytes, int redOffset, int greenOffset,
                    int blueOffset, int alphaOffset, unsigned char* out);

// The same row to outChannels bytes a pixel: gray (1) as above, or red,
// green, blue (3) composited over white. The readers of every format hand
// their rows on through it, so that a picture's gray and its colour are
// always the same pixels.
void pixelRowTo(int outChannels, const unsigned char* pixels, int count, int pixelBytes, int redOffset,
                int greenOffset, int blueOffset, int alphaOffset, unsigned char* out);

}  // namespace pdf417read::detail

#endif
