// Codeword buffers of any content through the data decoder.
// Input: total codeword count (signed 16 bits), then codewords (signed 16 bits
// each, folded to -1001..1001).
#include "codeword/row_reader.h"
#include "fuzz_input.h"
#include "highlevel/data_decoder.h"
#include "highlevel/text_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  int total = takeS16(&in);
  // The low bit of the count also chooses whether zero bytes are kept.
  KeptBytes kept = {0};
  KeptBytes* keep = (total & 1) ? &kept : nullptr;
  static int codewords[kCodewordBufferSize];
  for (int i = 0; i < kCodewordBufferSize; i++)
    codewords[i] = in.size > 0 ? takeS16(&in) % 1002 : -2;
  static char text[kTextBufferSize];
  for (int i = 0; i < kTextBufferSize; i++) text[i] = 0;
  decodeDataCodewords(codewords, total, text, keep);
  return 0;
}
