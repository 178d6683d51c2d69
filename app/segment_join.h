// Macro PDF417: the segments of a message spread over several symbols, put
// back together.
#ifndef PDF417_APP_SEGMENT_JOIN_H
#define PDF417_APP_SEGMENT_JOIN_H

#include <pdf417read/pdf417read.h>

#include <string>
#include <vector>

struct FoundSegment {
  std::string file;  // the picture it was read from
  pdf417read::Symbol symbol;  // holds a control block
};

struct JoinedMessage {
  std::string fileId;
  std::string message;  // each segment's printed message, in index order
};

struct JoinResult {
  std::vector<JoinedMessage> messages;  // complete messages, by first appearance
  std::vector<std::string> errors;      // missing segments and conflicts, one line each
};

// Groups segments by file id and joins each group whose indexes run from 0
// to the segment count less one; the count comes from a segment-count field,
// else from the segment marked last. A group is not joined, and an error
// says why, when segments are missing or when its segments conflict: two
// different segments with one index, segment counts that disagree, an index
// at or beyond the count, a last segment elsewhere than count - 1, or an
// index missing here that a segment of another file id claims. The same
// segment read twice is taken once.
JoinResult joinSegments(const std::vector<FoundSegment>& segments);

#endif
