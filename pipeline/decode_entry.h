// Decode entry point: picture file in, decoded text out.
#ifndef PDF417_PIPELINE_DECODE_ENTRY_H
#define PDF417_PIPELINE_DECODE_ENTRY_H

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

DecodeResult* decodeImageFile(const char* path);
void freeDecodeResult(DecodeResult* result);

#endif
