#include "pipeline/decode_entry.h"

#include <cstdlib>

#include "image/picture_reader.h"
#include "pipeline/decode_pipeline.h"

DecodeResult* decodeImageFile(const char* path) {
  int width = 0, height = 0;
  unsigned char* pixels = loadPictureGray(path, &width, &height);
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
