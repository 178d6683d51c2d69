// Caller-made image views of any geometry through the public read, with the
// default options and with options of the input's choice (view_input.h).
// Each read only ever returns a status: it never crashes, hangs, or reads
// past the view's buffer.
#include <pdf417read/pdf417read.h>

#include <cstdint>
#include <cstdlib>

#include "fuzz/view_input.h"

namespace {

void check(const pdf417read::ReadResult& result, bool readable) {
  if (readable != (result.status != pdf417read::Status::NoPicture)) std::abort();
  if ((result.status == pdf417read::Status::Decoded) != !result.symbols.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ViewInput input;
  // Larger views are skipped, not to spend the run on a few reads.
  if (!takeViewInput(data, size, 4 << 20, 1 << 20, &input)) return 0;
  check(pdf417read::read(input.view), input.readable);
  check(pdf417read::read(input.view, input.options), input.readable);
  return 0;
}
