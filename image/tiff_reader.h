// TIFF files through libtiff: strips and tiles, 1 to 16 bits a sample,
// gray, palette, RGB, CMYK and YCbCr, uncompressed or CCITT G3/G4, LZW,
// Deflate, JPEG or PackBits, every page of a multi-page file.
#ifndef PDF417_IMAGE_TIFF_READER_H
#define PDF417_IMAGE_TIFF_READER_H

#include <cstddef>

#include "image/decoded_picture.h"

namespace pdf417read::detail {

// Hands every page, with `channels` bytes a pixel (1 gray, 3 colour), to
// the visitor in turn; each page's size is checked from its header before
// its pixels are read. False, with the reason in *status, when a page
// cannot be read (the pages before it were visited), or for every file when
// the library was built without libtiff.
bool readTiffPages(const unsigned char* bytes, size_t size, int channels, PageVisitor visitor,
                   PictureStatus* status);

}  // namespace pdf417read::detail

#endif
