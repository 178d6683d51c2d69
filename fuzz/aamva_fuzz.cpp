// Any bytes read as AAMVA DL/ID records, whether or not they begin like one.
// Input: the message's bytes.
#include "document/aamva.h"
#include "document_check.h"

using namespace pdf417read::detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzDocument(parseAamva, data, size);
  return 0;
}
