// 24-bit bitmap to 8-bit grey.
#ifndef PDF417_IMAGE_GRAY_CONVERSION_H
#define PDF417_IMAGE_GRAY_CONVERSION_H

#include "image/picture_bitmap.h"

// Returns a heap buffer of width * height grey bytes, top row first, no row
// padding, grey = blue * 0.11 + green * 0.59 + red * 0.3 truncated. Writes the
// size through width and height. Null (after " image alloc error\n" on
// standard output) when the buffer cannot be allocated, or when the bitmap is
// null or empty. The caller frees the buffer with free().
unsigned char* bitmapToGray(const PictureBitmap* bitmap, int* width, int* height);

#endif
