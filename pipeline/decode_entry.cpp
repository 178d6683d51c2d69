#include "pipeline/decode_entry.h"

#include <cstdlib>

namespace pdf417read::detail {

void freeDecodeResult(DecodeResult* result) {
  if (!result) return;
  std::free(result->text);
  std::free(result);
}

}  // namespace pdf417read::detail
