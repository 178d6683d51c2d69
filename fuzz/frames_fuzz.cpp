// A caller-made view (view_input.h) pushed to a FrameReader as a clip: the
// view under a white band over each third of its width in turn, then the
// view itself. Every push only ever returns a status and
// verified symbols: it never crashes, hangs, or reads past the view.
#include <pdf417read/pdf417read.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/view_input.h"

namespace {

void check(const pdf417read::ReadResult& result, bool readable) {
  if (readable != (result.status != pdf417read::Status::NoPicture)) std::abort();
  if ((result.status == pdf417read::Status::Decoded) != !result.symbols.empty()) std::abort();
  for (const pdf417read::Symbol& symbol : result.symbols)
    if (!symbol.verified) std::abort();
}

// The view's pixels with those of the band `third` (0..2) of its width white.
std::vector<uint8_t> glared(const ViewInput& input, int third) {
  std::vector<uint8_t> pixels = input.buffer;
  const pdf417read::ImageView& view = input.view;
  size_t pixelBytes = (size_t)pdf417read::bytesPerPixel(view.format);
  size_t stride = view.rowStrideBytes ? (size_t)view.rowStrideBytes : view.width * pixelBytes;
  size_t from = (size_t)view.width * third / 3, to = (size_t)view.width * (third + 1) / 3;
  for (int y = 0; y < view.height; y++)
    std::memset(pixels.data() + y * stride + from * pixelBytes, 255, (to - from) * pixelBytes);
  return pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ViewInput input;
  // Larger views are skipped, not to spend the run on a few reads.
  if (!takeViewInput(data, size, 1 << 20, 1 << 18, &input)) return 0;
  pdf417read::FrameReader reader(input.options);
  if (!input.readable) {
    check(reader.push(input.view), false);
    return 0;
  }
  for (int third = 0; third < 3; third++) {
    std::vector<uint8_t> pixels = glared(input, third);
    pdf417read::ImageView view = input.view;
    view.pixels = pixels.data();
    check(reader.push(view), true);
  }
  check(reader.push(input.view), true);
  return 0;
}
