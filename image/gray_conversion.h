// 24-bit bitmap, or pixels of any layout, to 8-bit grey.
#ifndef PDF417_IMAGE_GRAY_CONVERSION_H
#define PDF417_IMAGE_GRAY_CONVERSION_H

#include "image/picture_bitmap.h"

// Returns a heap buffer of width * height grey bytes, top row first, no row
// padding, grey = blue * 0.11 + green * 0.59 + red * 0.3 truncated. Writes the
// size through width and height. Null (after " image alloc error\n" on
// standard output) when the buffer cannot be allocated, or when the bitmap is
// null or empty. The caller frees the buffer with free().
unsigned char* bitmapToGray(const PictureBitmap* bitmap, int* width, int* height);

// Pixels packed one to four bytes each (grey; grey, alpha; red, green, blue;
// red, green, blue, alpha) turned to grey where they lie: the grey of pixel
// i goes to byte i, weighed as bitmapToGray weighs a bitmap whose pixels
// were composited over white. The buffer keeps its size.
void packedToGrayInPlace(unsigned char* pixels, size_t count, int channels);

// Grey from pixels in the caller's memory, weighed as above: `height` rows
// of `width` pixels, each row `rowStride` bytes after the one before, each
// pixel `pixelBytes` bytes with red, green and blue at the given offsets.
// With an alpha offset (not -1) the pixel is first composited over white, as
// a picture file with transparency is. One byte a pixel without alpha is
// grey already and copied as it is. A new buffer the caller frees with
// free(); null for a null picture, a size below 1, a pixel offset outside
// the pixel, a row stride shorter than a row, or when memory runs out.
unsigned char* pixelsToGray(const unsigned char* pixels, int width, int height, long long rowStride,
                            int pixelBytes, int redOffset, int greenOffset, int blueOffset,
                            int alphaOffset);

// Grey of one pixel, weighed as above: blue * 0.11 + green * 0.59, then
// red * 0.3 added, in double precision and truncated. The three products
// come from tables made with the same multiplications, so the sums, and the
// grey levels, are the same to the bit.
unsigned char grayOf(unsigned char red, unsigned char green, unsigned char blue);

// A row of `count` pixels, `pixelBytes` bytes each, to grey as pixelsToGray
// weighs it (alphaOffset -1: no alpha). out may be pixels itself: each pixel
// is read before its grey is written.
void pixelRowToGray(const unsigned char* pixels, int count, int pixelBytes, int redOffset, int greenOffset,
                    int blueOffset, int alphaOffset, unsigned char* out);

#endif
