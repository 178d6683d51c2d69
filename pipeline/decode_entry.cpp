#include "pipeline/decode_entry.h"

#include <cstdlib>

#include "image/gray_conversion.h"
#include "pipeline/decode_pipeline.h"

static DecodeResult* noPicture(DecodeRecord* record) {
  if (record) record->failure = kDecodeNoPicture;
  return nullptr;
}

DecodeResult* decodeImageFile(const char* path, DecodeRecord* record) {
  PictureBitmap* bitmap = loadPictureBitmap(path);
  if (!bitmap) return noPicture(record);
  return decodeBitmap(bitmap, record);
}

DecodeResult* decodeBitmap(PictureBitmap* bitmap, DecodeRecord* record) {
  int width = 0, height = 0;
  unsigned char* pixels = bitmapToGray(bitmap, &width, &height);
  // The grey copy holds all the decoder needs; the bitmap can go now.
  freePictureBitmap(bitmap);
  if (!pixels) return noPicture(record);
  DecodeResult* result = decodeImage(pixels, width, height, record);
  std::free(pixels);
  return result;
}

void freeDecodeResult(DecodeResult* result) {
  if (!result) return;
  std::free(result->text);
  std::free(result);
}
