// Picture files in, a plain 24-bit bitmap out.
#ifndef PDF417_IMAGE_PICTURE_BITMAP_H
#define PDF417_IMAGE_PICTURE_BITMAP_H

#include <cstddef>

// Largest width or height accepted: the decoder's coordinates are 32-bit ints
// whose products (x * x + y * y, y * width + x) must not overflow.
enum { kMaxPictureSide = 32767 };
// Largest picture file read, in bytes, and largest picture, in pixels.
enum { kMaxPictureFileBytes = 1 << 30, kMaxPicturePixels = 1 << 27 };

// A picture at its native size: `pixels` holds `height` rows of `width`
// pixels, top row first, three bytes per pixel in the order blue, green, red,
// and no padding between rows.
struct PictureBitmap {
  int width;
  int height;
  unsigned char* pixels;
};

// Reads a BMP, PNG, JPEG, GIF (first frame), TGA or PNM file; transparent
// pixels are composited over white. Returns null for a null path, a file that
// cannot be read or decoded, or a picture larger than kMaxPictureSide on a
// side, than kMaxPicturePixels, or far larger than its file could hold.
PictureBitmap* loadPictureBitmap(const char* path);

// The same from the bytes of a picture file in memory.
PictureBitmap* decodePictureBytes(const unsigned char* bytes, size_t size);

void freePictureBitmap(PictureBitmap* bitmap);

// The same pictures straight to grey, as bitmapToGray weighs a bitmap, the
// same bytes without the bitmap in between: a new buffer of width * height
// bytes the caller frees with free(); null as loadPictureBitmap, or when
// memory runs out.
unsigned char* loadPictureGray(const char* path, int* width, int* height);
unsigned char* decodePictureGray(const unsigned char* bytes, size_t size, int* width, int* height);

#endif
