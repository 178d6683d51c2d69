// Picture files of any content through the public readMemory and
// loadPicture: both take the same bytes with the same reader, so they must
// agree on whether the bytes hold a picture.
#include <pdf417read/pdf417read.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pdf417read::ReadResult result = pdf417read::readMemory(data, size);
  pdf417read::Picture picture;
  bool loaded = pdf417read::loadPicture(data, size, &picture);
  if (loaded != (result.status != pdf417read::Status::NoPicture)) std::abort();
  if (loaded && picture.rgb.size() != (size_t)picture.width * picture.height * 3) std::abort();
  if ((result.status == pdf417read::Status::Decoded) != !result.symbols.empty()) std::abort();
  if (result.status != pdf417read::Status::Decoded && result.error.empty()) std::abort();
  return 0;
}
