// WebP files through libwebp, lossy and lossless, with or without alpha.
#ifndef PDF417_IMAGE_WEBP_READER_H
#define PDF417_IMAGE_WEBP_READER_H

#include <cstddef>

#include "image/decoded_picture.h"

namespace pdf417read::detail {

// The picture with `channels` bytes a pixel (1 gray, 3 colour), its size
// checked from the header first. An animated file is refused as
// unsupported, and every file when the library was built without libwebp.
bool decodeWebp(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                PictureStatus* status);

}  // namespace pdf417read::detail

#endif
