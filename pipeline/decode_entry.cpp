#include "pipeline/decode_entry.h"

#include <cstdlib>

#include "image/gray_conversion.h"
#include "pipeline/decode_pipeline.h"

DecodeResult* decodeImageFile(const char* path) {
  PictureBitmap* bitmap = loadPictureBitmap(path);
  if (!bitmap) {
    decodeFailure = kDecodeNoPicture;
    return nullptr;
  }
  return decodeBitmap(bitmap);
}

DecodeResult* decodeBitmap(PictureBitmap* bitmap) {
  int width = 0, height = 0;
  unsigned char* pixels = bitmapToGray(bitmap, &width, &height);
  // The grey copy holds all the decoder needs; the bitmap can go now.
  freePictureBitmap(bitmap);
  if (!pixels) {
    decodeFailure = kDecodeNoPicture;
    return nullptr;
  }
  DecodeResult* result = decodeImage(pixels, width, height);
  std::free(pixels);
  return result;
}

void freeDecodeResult(DecodeResult* result) {
  if (!result) return;
  std::free(result->text);
  std::free(result);
}
