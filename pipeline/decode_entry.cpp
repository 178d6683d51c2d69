#include "pipeline/decode_entry.h"

#include <cstdlib>

void freeDecodeResult(DecodeResult* result) {
  if (!result) return;
  std::free(result->text);
  std::free(result);
}
