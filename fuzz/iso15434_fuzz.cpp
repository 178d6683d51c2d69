// Any bytes read as ISO/IEC 15434 envelopes, whether or not they begin like one.
// Input: the message's bytes.
#include "document/iso15434.h"
#include "document_check.h"

using namespace pdf417read::detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzDocument(parseIso15434, data, size);
  return 0;
}
