// Codeword buffers of any content through the walk over the data codewords,
// traced and untraced: watching the trace must not change the message, and
// a message without zero bytes or control block reads as the trace shows it.
// Input: total codeword count (signed 16 bits), then codewords (signed 16 bits
// each, folded to -1001..1001).
#include <cstdlib>
#include <cstring>

#include "codeword/row_reader.h"
#include "fuzz_input.h"
#include "highlevel/data_decoder.h"
#include "highlevel/walk_trace.h"

using namespace pdf417read::detail;

namespace {

bool sameMessage(const DecodedMessage& a, const DecodedMessage& b) {
  if (a.length != b.length || std::memcmp(a.bytes, b.bytes, (size_t)a.length) != 0) return false;
  if (a.readerInit != b.readerInit || a.macro.present != b.macro.present) return false;
  if (a.ecis.count != b.ecis.count) return false;
  for (int i = 0; i < a.ecis.count; i++)
    if (a.ecis.marks[i].position != b.ecis.marks[i].position || a.ecis.marks[i].eci != b.ecis.marks[i].eci)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  int total = takeS16(&in);
  static int codewords[kCodewordBufferSize];
  for (int i = 0; i < kCodewordBufferSize; i++)
    codewords[i] = in.size > 0 ? takeS16(&in) % 1002 : -2;
  static DecodedMessage traced, untraced;
  static TracedText shown;
  int tracedOutcome = decodeDataCodewords(codewords, total, &traced, &shown);
  int untracedOutcome = decodeDataCodewords(codewords, total, &untraced);
  if (tracedOutcome != untracedOutcome || !sameMessage(traced, untraced)) std::abort();
  for (int i = 0; i < traced.ecis.count; i++)
    if (traced.ecis.marks[i].position < 0 || traced.ecis.marks[i].position > traced.length) std::abort();
  bool plain = !traced.macro.present && !std::memchr(traced.bytes, 0, (size_t)traced.length);
  if (plain && (shown.length != traced.length || std::memcmp(shown.text, traced.bytes, (size_t)shown.length)))
    std::abort();
  return 0;
}
