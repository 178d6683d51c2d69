#include "highlevel/walk_trace.h"

#include <cstring>

#include "runtime/trace.h"

namespace pdf417read::detail {

void clearTracedText(TracedText* traced) {
  traced->text[0] = 0;
  traced->length = 0;
}

void traceAppend(TracedText* traced, const char* bytes, int count) {
  const void* zero = std::memchr(bytes, 0, (size_t)count);
  if (zero) count = (int)((const char*)zero - bytes);
  int room = kTextBufferSize - 1 - traced->length;
  if (count > room) count = room;
  std::memcpy(traced->text + traced->length, bytes, (size_t)count);
  traced->length += count;
  traced->text[traced->length] = 0;
}

void traceByteGroup(const TracedText* traced) { trace("compaction result = %s\n", traced->text); }

void traceSingleByte(int codeword) { trace("without compacton show: = %c\n", codeword); }

}  // namespace pdf417read::detail
