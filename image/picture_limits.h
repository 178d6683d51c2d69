// The largest pictures and picture files the reader takes.
#ifndef PDF417_IMAGE_PICTURE_LIMITS_H
#define PDF417_IMAGE_PICTURE_LIMITS_H

namespace pdf417read::detail {

// Largest width or height accepted: the decoder's coordinates are 32-bit ints
// whose products (x * x + y * y, y * width + x) must not overflow.
enum { kMaxPictureSide = 32767 };
// Largest picture file read, in bytes, and largest picture, in pixels.
enum { kMaxPictureFileBytes = 1 << 30, kMaxPicturePixels = 1 << 27 };

}  // namespace pdf417read::detail

#endif
