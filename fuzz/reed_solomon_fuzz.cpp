// Words, counts and erasure lists of any value through the Reed-Solomon decoder.
// Input: n, t, ne (signed 16 bits each), ne erasure positions, then codewords.
#include "codeword/row_reader.h"
#include "ecc/reed_solomon.h"
#include "fuzz_input.h"

using namespace pdf417read::detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  int n = takeS16(&in);
  int t = takeS16(&in);
  int ne = takeS16(&in);
  static int codewords[kCodewordBufferSize];
  static int erasures[929];
  for (int i = 0; i < 929; i++) erasures[i] = i < ne && in.size > 0 ? takeS16(&in) : 0;
  for (int i = 0; i < kCodewordBufferSize; i++) codewords[i] = in.size > 0 ? takeS16(&in) % 1000 : -2;
  rsDecode(codewords, erasures, ne, n, t, (t & 1) != 0);
  return 0;
}
