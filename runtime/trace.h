// Where the decoder's diagnostic lines go. Each thread has its own trace
// sink, none by default: the decoder never writes to standard output itself.
// A decode entry sets the caller's sink for the length of one decode.
#ifndef PDF417_RUNTIME_TRACE_H
#define PDF417_RUNTIME_TRACE_H

#include <cstddef>

namespace pdf417read::detail {

// Receives each piece of trace text as it is formatted (not zero-terminated).
typedef void (*TraceWrite)(void* context, const char* text, size_t length);

struct TraceSink {
  TraceWrite write;  // null: the trace is dropped
  void* context;
};

// Sets the calling thread's sink; returns the one it replaces.
TraceSink setTraceSink(TraceSink sink);

// Formats like printf and hands the text to the calling thread's sink.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A sink for a stdio stream (context: the FILE*).
void writeTraceToFile(void* file, const char* text, size_t length);

}  // namespace pdf417read::detail

#endif
