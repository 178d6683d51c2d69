// Grids of any content and shape through the row reader.
// Input: row length (16 bits), then the grid bytes.
#include "codeword/row_reader.h"
#include "fuzz_input.h"

using namespace pdf417read::detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  int rowLen = takeU16(&in) % 4096 + 1;
  int rows = (int)(in.size / (size_t)rowLen);
  static int codewords[kCodewordBufferSize];
  RowReaderState state;
  detectBStoCW(in.data, rowLen, rows, codewords, &state);
  return 0;
}
