// Picture files of any content through the reader and the grey conversion.
#include <cstdint>
#include <cstdlib>

#include "image/gray_conversion.h"
#include "image/picture_bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PictureBitmap* bitmap = decodePictureBytes(data, size);
  if (!bitmap) return 0;
  int width = 0, height = 0;
  unsigned char* gray = bitmapToGray(bitmap, &width, &height);
  freePictureBitmap(bitmap);
  std::free(gray);
  return 0;
}
