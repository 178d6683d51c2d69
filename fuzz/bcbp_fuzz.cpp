// Any bytes read as IATA boarding passes, whether or not they begin like one.
// Input: the message's bytes.
#include "document/bcbp.h"
#include "document_check.h"

using namespace pdf417read::detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzDocument(parseBcbp, data, size);
  return 0;
}
