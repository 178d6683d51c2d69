// Grey pictures of any content and shape through the robust entry, which
// pdf417read uses: every extra reading, turn and enlargement included.
// Input: width (16 bits), then the pixels; the height is what they fill.
#include <cstdint>

#include "fuzz_input.h"
#include "pipeline/robust_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  int width = takeU16(&in) % 512 + 1;
  int height = (int)(in.size / (size_t)width);
  if (height < 1) return 0;
  freeDecodeResult(decodeImageRobust(in.data, width, height));
  return 0;
}
