// Macro segments of any fields through the program's --join: segments that
// disagree, counts and indexes of any size, ids and messages of any bytes.
// Each must end in joined messages or error lines, in time and memory that
// grow with the segments given, never with the numbers they hold.
// Input, per segment: picture number, flags, segment index and count (32
// bits, signed), then file id and message cut at zero bytes.
#include <cstdlib>
#include <string>
#include <vector>

#include "app/segment_join.h"
#include "fuzz_input.h"

namespace {

FoundSegment takeSegment(FuzzInput* in) {
  FoundSegment segment;
  segment.file = "picture" + std::to_string(takeU8(in));
  int flags = takeU8(in);
  pdf417read::MacroInfo macro;
  macro.segmentIndex = takeS32(in);
  int count = takeS32(in);
  if (flags & 1) macro.segmentCount = count;
  macro.lastSegment = flags & 2;
  macro.fileId = takeString(in);
  if (flags & 4) macro.fileName = "name";
  segment.symbol.bytes = takeString(in);
  if (flags & 8) segment.symbol.eci.push_back(flags & 16 ? 26 : 899);
  segment.symbol.text = segment.symbol.bytes;
  segment.symbol.macro = macro;
  return segment;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in = {data, size};
  std::vector<FoundSegment> segments;
  while (in.size > 0 && segments.size() < 64) segments.push_back(takeSegment(&in));
  JoinResult result = joinSegments(segments);
  size_t printed = 0;
  for (const JoinedMessage& message : result.messages) printed += message.message.size();
  for (const std::string& error : result.errors) printed += error.size();
  // Each line names at most a pair of segments, their files and ids, and
  // the messages are the segments' own bytes.
  size_t n = segments.size();
  if (printed > (n * n + n + 4) * (128 + 2 * size)) std::abort();
  return 0;
}
