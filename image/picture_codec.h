// Picture file formats to RGBA pixels: Debian's stb_image, compiled into one
// unit with internal linkage so that a program linking this library may carry
// its own stb_image, of any version and settings, without a clash.
#ifndef PDF417_IMAGE_PICTURE_CODEC_H
#define PDF417_IMAGE_PICTURE_CODEC_H

#include <cstddef>

// The width and height a picture file's header claims, without decoding its
// pixels. False when the format is not recognised or the header is refused.
bool readPictureSize(const unsigned char* bytes, size_t size, int* width, int* height);

// The pixels, four bytes each (red, green, blue, alpha), top row first; null
// when they cannot be decoded. Freed with freePictureRgba.
unsigned char* decodePictureRgba(const unsigned char* bytes, size_t size, int* width, int* height);

// The same with `channels` bytes a pixel: 3 (red, green, blue: a picture's
// transparency is lost) or 4. The buffer comes from malloc, for realloc and
// free as well as freePictureRgba.
unsigned char* decodePicturePixels(const unsigned char* bytes, size_t size, int channels, int* width,
                                   int* height);

void freePictureRgba(unsigned char* rgba);

#endif
