// Test support: collects what the decoder traces on this thread while the
// capture lives.
#ifndef PDF417_TESTS_SUPPORT_TRACE_CAPTURE_H
#define PDF417_TESTS_SUPPORT_TRACE_CAPTURE_H

#include <string>

#include "runtime/trace.h"

namespace pdf417read::detail {

class TraceCapture {
 public:
  TraceCapture() { previous_ = setTraceSink({append, &text_}); }
  ~TraceCapture() { setTraceSink(previous_); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  const std::string& text() const { return text_; }

 private:
  static void append(void* text, const char* piece, size_t length) {
    static_cast<std::string*>(text)->append(piece, length);
  }
  std::string text_;
  TraceSink previous_;
};

}  // namespace pdf417read::detail

#endif
