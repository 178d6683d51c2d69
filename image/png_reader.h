// PNG files through libspng, which inflates faster than the general picture
// reader, for the common kinds: 8-bit gray, gray with alpha, RGB and RGBA
// without a transparency chunk, and, not interlaced, palettes of 1 to 8
// bits (with or without alpha) and gray of 1, 2 or 4 bits. Other PNGs are
// left to the general reader.
#ifndef PDF417_IMAGE_PNG_READER_H
#define PDF417_IMAGE_PNG_READER_H

#include <cstddef>

#include "image/decoded_picture.h"

namespace pdf417read::detail {

// Whether the bytes start with the PNG signature.
bool isPng(const unsigned char* bytes, size_t size);

// The picture with `channels` bytes a pixel (1 gray, 3 colour), a row at a
// time, without the file's own pixels in between. *handled says whether the
// file was of a kind this reader takes, so that a damaged one is not tried
// again elsewhere; false, with the reason in *status, when it could not be
// read.
bool decodeCommonPng(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                     PictureStatus* status, bool* handled);

}  // namespace pdf417read::detail

#endif
