// BMP, PNG, JPEG, GIF and TGA files through Debian's stb_image, compiled
// into one unit with internal linkage so that a program linking this
// library may carry its own stb_image, of any version and settings, without
// a clash.
#ifndef PDF417_IMAGE_PICTURE_CODEC_H
#define PDF417_IMAGE_PICTURE_CODEC_H

#include <cstddef>

#include "image/decoded_picture.h"

namespace pdf417read::detail {

// The picture with `channels` bytes a pixel (1 gray, 3 colour). Its size is
// checked from the header before the pixels are decoded. False, with the
// reason in *status: a status->format already set names the format the
// caller recognised, and a file the reader does not know is then damaged.
bool decodeWithStb(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
                   PictureStatus* status);

}  // namespace pdf417read::detail

#endif
