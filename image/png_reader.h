// PNG files through libspng, which inflates faster than the general picture
// reader, for the common kinds: 8-bit grey, grey with alpha, RGB and RGBA
// without a transparency chunk, and, not interlaced, palettes of 1 to 8
// bits (with or without alpha) and grey of 1, 2 or 4 bits. Other PNGs are
// left to the general reader.
#ifndef PDF417_IMAGE_PNG_READER_H
#define PDF417_IMAGE_PNG_READER_H

#include <cstddef>

#include "image/picture_bitmap.h"

// Whether the bytes start with the PNG signature.
bool isPng(const unsigned char* bytes, size_t size);

// The picture, alpha composited over white; null when the file is not such
// a PNG (or is damaged): *handled says whether it was one this reader takes,
// so that a damaged one is not tried again elsewhere.
PictureBitmap* decodeCommonPng(const unsigned char* bytes, size_t size, bool* handled);

// The same picture straight to grey (as bitmapToGray weighs it), a row at a
// time, without the picture's own pixels or a bitmap in between. A new
// buffer the caller frees with free(); null as above.
unsigned char* decodeCommonPngGray(const unsigned char* bytes, size_t size, int* width, int* height, bool* handled);

#endif
