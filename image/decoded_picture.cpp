#include "image/decoded_picture.h"

#include <cstdlib>

#include "image/gray_conversion.h"

namespace pdf417read::detail {

bool allocatePicture(DecodedPicture* picture, int width, int height, int channels, PictureStatus* status) {
  picture->width = width;
  picture->height = height;
  picture->channels = channels;
  picture->pixels = (unsigned char*)std::malloc((size_t)width * height * channels);
  return picture->pixels ? true : pictureFails(status, kPictureOutOfMemory);
}

void freeDecodedPicture(DecodedPicture* picture) {
  std::free(picture->pixels);
  picture->pixels = nullptr;
}

void adoptPackedPixels(unsigned char* pixels, int width, int height, int decoded, int channels,
                       DecodedPicture* picture) {
  size_t count = (size_t)width * height;
  packedPixelsInPlace(pixels, count, decoded, channels);
  // Shrinking keeps the bytes; should it fail, the larger buffer serves.
  unsigned char* shrunk = (unsigned char*)std::realloc(pixels, count * channels);
  picture->width = width;
  picture->height = height;
  picture->channels = channels;
  picture->pixels = shrunk ? shrunk : pixels;
}

}  // namespace pdf417read::detail
