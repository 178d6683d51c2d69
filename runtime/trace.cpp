#include "runtime/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace pdf417read::detail {

static thread_local TraceSink currentSink = {nullptr, nullptr};

TraceSink setTraceSink(TraceSink sink) {
  TraceSink previous = currentSink;
  currentSink = sink;
  return previous;
}

void trace(const char* format, ...) {
  if (!currentSink.write) return;
  char line[512];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length < 0) return;
  if ((size_t)length < sizeof line) {
    currentSink.write(currentSink.context, line, (size_t)length);
    return;
  }
  // Longer than a line: a trace may quote the whole decoded text.
  char* text = (char*)std::malloc((size_t)length + 1);
  if (!text) return;
  va_start(args, format);
  std::vsnprintf(text, (size_t)length + 1, format, args);
  va_end(args);
  currentSink.write(currentSink.context, text, (size_t)length);
  std::free(text);
}

void writeTraceToFile(void* file, const char* text, size_t length) {
  std::fwrite(text, 1, length, (FILE*)file);
}

}  // namespace pdf417read::detail
