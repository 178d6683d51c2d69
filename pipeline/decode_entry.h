// The exact path's answer: the decoded text and where the symbol was found.
#ifndef PDF417_PIPELINE_DECODE_ENTRY_H
#define PDF417_PIPELINE_DECODE_ENTRY_H

namespace pdf417read::detail {

// The decoder's answer. Coordinates are pixels of the input picture, in the
// symbol's own frame (start pattern on the left).
struct DecodeResult {
  char* text;      // textLength bytes and a terminating zero, owned here
  int textLength;
  int topLeftX, topLeftY;          // start pattern outer edge, top row found
  int bottomLeftX, bottomLeftY;    // start pattern outer edge, bottom row found
  int bottomRightX, bottomRightY;  // stop pattern inner edge, bottom end
  int topRightX, topRightY;        // stop pattern inner edge, top end
  int verified;  // 1 when error correction confirmed the codewords, 0 when
                 // they were taken uncorrected after correction failed
};

void freeDecodeResult(DecodeResult* result);

}  // namespace pdf417read::detail

#endif
