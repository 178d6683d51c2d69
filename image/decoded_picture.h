// A picture as the format readers hand it on: gray or colour, as asked.
#ifndef PDF417_IMAGE_DECODED_PICTURE_H
#define PDF417_IMAGE_DECODED_PICTURE_H

#include <cstddef>

#include "image/picture_status.h"

namespace pdf417read::detail {

// `height` rows of `width` pixels, top row first, no padding between rows,
// `channels` bytes a pixel: 1 for gray (weighed as grayOf weighs), 3 for
// red, green, blue. Transparent pixels lie on white paper. The pixels come
// from malloc; freeDecodedPicture releases them.
struct DecodedPicture {
  int width = 0;
  int height = 0;
  int channels = 1;
  unsigned char* pixels = nullptr;
};

// Takes width * height * channels bytes for the picture, sizes checked
// beforehand (pictureSizeAllowed). False, with kPictureOutOfMemory, when
// memory runs out.
bool allocatePicture(DecodedPicture* picture, int width, int height, int channels, PictureStatus* status);
void freeDecodedPicture(DecodedPicture* picture);

// Takes a whole decoded picture of `decoded` bytes a pixel (gray; gray,
// alpha; RGB; RGBA) from malloc, turns it into `channels` bytes a pixel
// where it lies (no second copy beside it) and hands it to *picture.
void adoptPackedPixels(unsigned char* pixels, int width, int height, int decoded, int channels,
                       DecodedPicture* picture);

// Row y of the picture.
inline unsigned char* pictureRow(const DecodedPicture& picture, int y) {
  return picture.pixels + (size_t)y * picture.width * picture.channels;
}

// Receives every page of a file in turn: index counts from 0 among count
// pages. The page is the visitor's to keep (it then clears page->pixels) or
// to leave, to be freed after the call. Returning false stops the reading.
struct PageVisitor {
  bool (*visit)(void* context, DecodedPicture* page, int index, int count);
  void* context;
};

}  // namespace pdf417read::detail

#endif
