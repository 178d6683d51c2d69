// Picture files in, gray or colour pixels out: one reader per format, each
// writing what its caller asks for, gray for decoding and colour for
// drawing over the picture.
#ifndef PDF417_IMAGE_PICTURE_READER_H
#define PDF417_IMAGE_PICTURE_READER_H

#include <cstddef>

#include "image/decoded_picture.h"
#include "image/picture_limits.h"

namespace pdf417read::detail {

// Reads every page of a picture file in memory (BMP, PNG, JPEG, GIF's first
// frame, TGA, PBM, PGM, PPM, TIFF, WebP) with `channels` bytes a pixel (1 or
// 3), handing each page to the visitor in turn; most formats hold one page.
// False, with the reason in *status, when a page cannot be read: the pages
// before it were visited. Sizes are checked before the pixels are decoded.
bool readPicturePages(const unsigned char* bytes, size_t size, int channels, PageVisitor visitor,
                      PictureStatus* status);

// The same for a file by name: a missing file, a directory, one that may
// not be read, an empty or an oversized one are told apart in *status.
bool readPictureFilePages(const char* path, int channels, PageVisitor visitor, PictureStatus* status);

// The first page of a picture file in memory.
bool decodePicture(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                   PictureStatus* status);

// The first page's gray pixels: a new buffer of width * height bytes the
// caller frees with free(); null when the picture cannot be read.
unsigned char* loadPictureGray(const char* path, int* width, int* height);
unsigned char* decodePictureGray(const unsigned char* bytes, size_t size, int* width, int* height);

}  // namespace pdf417read::detail

#endif
