// Picture files of any content through the public readMemory and
// loadPicture: both take the same bytes with the same reader, so they must
// agree on whether the bytes hold a picture. And the grey the readers take,
// decoded straight from the file, must be the grey of the colour bitmap
// loadPicture's pixels come from, pixel for pixel.
#include <pdf417read/pdf417read.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/gray_conversion.h"
#include "image/picture_bitmap.h"

namespace {

void checkGreyPaths(const uint8_t* data, size_t size) {
  int bitmapWidth = 0, bitmapHeight = 0, width = 0, height = 0;
  PictureBitmap* bitmap = decodePictureBytes(data, size);
  unsigned char* viaBitmap = bitmap ? bitmapToGray(bitmap, &bitmapWidth, &bitmapHeight) : nullptr;
  freePictureBitmap(bitmap);
  unsigned char* direct = decodePictureGray(data, size, &width, &height);
  if ((viaBitmap == nullptr) != (direct == nullptr)) std::abort();
  if (direct && (width != bitmapWidth || height != bitmapHeight ||
                 std::memcmp(direct, viaBitmap, (size_t)width * height) != 0))
    std::abort();
  std::free(viaBitmap);
  std::free(direct);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pdf417read::ReadResult result = pdf417read::readMemory(data, size);
  pdf417read::Picture picture;
  bool loaded = pdf417read::loadPicture(data, size, &picture);
  if (loaded != (result.status != pdf417read::Status::NoPicture)) std::abort();
  if (loaded && picture.rgb.size() != (size_t)picture.width * picture.height * 3) std::abort();
  if ((result.status == pdf417read::Status::Decoded) != !result.symbols.empty()) std::abort();
  checkGreyPaths(data, size);
  return 0;
}
