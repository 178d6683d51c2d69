// Gray pictures of any content and shape through the whole decode pipeline.
// Input: width (16 bits), then the pixels; the height is what they fill.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_input.h"
#include "pipeline/decode_pipeline.h"

using namespace pdf417read::detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  int width = takeU16(&in) % 1024 + 1;
  int height = (int)(in.size / (size_t)width);
  if (height < 1) return 0;
  unsigned char* pixels = (unsigned char*)std::malloc((size_t)width * height);
  std::memcpy(pixels, in.data, (size_t)width * height);
  freeDecodeResult(decodeImage(pixels, width, height));
  std::free(pixels);
  return 0;
}
